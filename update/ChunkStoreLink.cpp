#include "update/ChunkStoreLink.h"

#include "net/HttpConnection.h"
#include "net/UrlEscape.h"
#include "update/ServerLink.h"
#include "update/UpdateLog.h"

namespace {

// Reads the first `count` bytes of the body of the answer on `connection`
// into `out`.
bool readBody(HttpConnection& connection, int64_t count, std::string& out) {
    out.resize(static_cast<size_t>(count));
    connection.input().read(&out[0], static_cast<std::streamsize>(out.size()));
    return connection.input().gcount() == static_cast<std::streamsize>(out.size());
}

// Reads the body of the answer on `connection` to the range asked for,
// `length` bytes from `from` (-1: to its end), into `out`. A server that
// ignored the range sends the whole file (200): it is read no further than
// the range, whatever its length, and `wholeFile` tells that the rest of the
// body is left unread.
bool readRange(HttpConnection& connection, int64_t from, int64_t length, std::string& out, bool& wholeFile) {
    const auto bodyLength = static_cast<int64_t>(connection.contentLength);
    wholeFile = connection.status != 206 && (from > 0 || length >= 0);
    if (!wholeFile) {
        return bodyLength <= ChunkStoreLink::replyLimit &&
               (connection.status != 206 ||
                (connection.rangeStart == from && (length < 0 || bodyLength == length))) &&
               readBody(connection, bodyLength, out);
    }
    const int64_t end = length >= 0 ? from + length : bodyLength;
    if (end > bodyLength || end - from > ChunkStoreLink::replyLimit || !readBody(connection, end, out))
        return false;
    out.erase(0, static_cast<size_t>(from));
    return true;
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
    bool wholeFile = false;
    if (!readRange(connection, from, length, out, wholeFile)) {
        link_.drop();
        updateLog("update: the server answered another range of %s, or its answer ended early",
                  relative.c_str());
        return failed;
    }
    // The rest of a whole file sent for a range is never read: the
    // connection goes with it.
    if (!connection.keepAlive || wholeFile)
        link_.drop();
    return 0;
}

bool ChunkStoreLink::readAnswer(HttpConnection& connection, const StoreRange& range, std::string& out,
                                bool& wholeFile) {
    connection.status = 0;
    return connection.readResponseHead() && readRange(connection, range.from, range.length, out, wholeFile);
}

int32_t ChunkStoreLink::readAll(const std::vector<StoreRange>& ranges, const Take& take) {
    size_t sent = 0, done = 0;
    int failures = 0;
    // A server that ignores ranges gets one request at a time: each of its
    // answers ends the connection it came on.
    size_t window = requestsInFlight;
    std::string bytes;
    while (done < ranges.size()) {
        HttpConnection* connection = link_.connect();
        if (connection == nullptr)
            return failed;
        // Requests go ahead as far as the window allows; any other request
        // on this connection was answered already.
        for (; sent < ranges.size() && sent - done < window; ++sent) {
            const StoreRange& range = ranges[sent];
            const std::string path = urlEscape(link_.location().basePath + "/" + range.relative);
            if (!connection->sendGetRequest(link_.location().host, path, range.from,
                                            range.from + range.length - 1))
                break;
        }
        bool wholeFile = false;
        if (sent > done && readAnswer(*connection, ranges[done], bytes, wholeFile)) {
            failures = 0;
            const bool more = take(done++, bytes);
            if (wholeFile)
                window = 1;
            if (!connection->keepAlive || !more || wholeFile) {
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
