#include "update/ChunkStoreLink.h"

#include "net/HttpConnection.h"
#include "net/UrlEscape.h"
#include "update/ServerLink.h"
#include "update/UpdateLog.h"

namespace {

// Reads the whole body of the answer on `connection` into `out`.
bool readBody(HttpConnection& connection, std::string& out) {
    out.resize(static_cast<size_t>(connection.contentLength));
    connection.input().read(&out[0], static_cast<std::streamsize>(out.size()));
    return connection.input().gcount() == static_cast<std::streamsize>(out.size());
}

} // namespace

int32_t ChunkStoreLink::read(const std::string& relative, int64_t from, int64_t length, std::string& out) {
    out.clear();
    const std::string path = urlEscape(link_.location().basePath + "/" + relative);
    const bool ranged = from > 0 || length >= 0;
    if (!link_.get(path, ranged ? from : -1, ranged && length > 0 ? from + length - 1 : -1)) {
        HttpConnection* connection = link_.connection();
        if (connection == nullptr || !connection->connected() || connection->status == 0)
            link_.drop();
        updateLog("update: cannot read %s of the chunk store", relative.c_str());
        return failed;
    }
    HttpConnection& connection = *link_.connection();
    const bool partial = connection.status == 206;
    if (static_cast<int64_t>(connection.contentLength) > replyLimit ||
        (partial && (connection.rangeStart != from ||
                     (length >= 0 && static_cast<int64_t>(connection.contentLength) != length)))) {
        link_.drop();
        updateLog("update: the server answered another range of %s", relative.c_str());
        return failed;
    }
    if (!readBody(connection, out)) {
        link_.drop();
        updateLog("update: the answer for %s of the chunk store ended early", relative.c_str());
        return failed;
    }
    if (!connection.keepAlive)
        link_.drop();
    if (!partial && ranged) {
        // The whole file came: its range is cut out here.
        if (from > static_cast<int64_t>(out.size()) ||
            (length >= 0 && static_cast<int64_t>(out.size()) - from < length))
            return failed;
        out = out.substr(static_cast<size_t>(from),
                         length < 0 ? std::string::npos : static_cast<size_t>(length));
    }
    return 0;
}

bool ChunkStoreLink::readAnswer(HttpConnection& connection, const StoreRange& range, std::string& out) {
    connection.status = 0;
    if (!connection.readResponseHead() || static_cast<int64_t>(connection.contentLength) > replyLimit)
        return false;
    const bool partial = connection.status == 206;
    if (partial && (connection.rangeStart != range.from ||
                    static_cast<int64_t>(connection.contentLength) != range.length))
        return false;
    if (!readBody(connection, out))
        return false;
    if (!partial) {
        // The whole file came: its range is cut out here.
        if (static_cast<int64_t>(out.size()) < range.from + range.length)
            return false;
        out = out.substr(static_cast<size_t>(range.from), static_cast<size_t>(range.length));
    }
    return true;
}

int32_t ChunkStoreLink::readAll(const std::vector<StoreRange>& ranges, const Take& take) {
    size_t sent = 0, done = 0;
    int failures = 0;
    std::string bytes;
    while (done < ranges.size()) {
        HttpConnection* connection = link_.connect();
        if (connection == nullptr)
            return failed;
        // Requests go ahead as far as the window allows; any other request
        // on this connection was answered already.
        for (; sent < ranges.size() && sent - done < requestsInFlight; ++sent) {
            const StoreRange& range = ranges[sent];
            const std::string path = urlEscape(link_.location().basePath + "/" + range.relative);
            if (!connection->sendGetRequest(link_.location().host, path, range.from,
                                            range.from + range.length - 1))
                break;
        }
        if (sent > done && readAnswer(*connection, ranges[done], bytes)) {
            failures = 0;
            const bool more = take(done++, bytes);
            if (!connection->keepAlive || !more) {
                // The requests still in flight would answer the next ones.
                link_.drop();
                sent = done;
            }
            if (!more)
                return 0;
            continue;
        }
        link_.drop();
        sent = done;
        updateLog("update: reading the chunk store failed at %s", ranges[done].relative.c_str());
        if (++failures >= attemptsWithoutProgress)
            return failed;
    }
    // Done with requests answered: the connection may serve the lane's next file.
    return 0;
}
