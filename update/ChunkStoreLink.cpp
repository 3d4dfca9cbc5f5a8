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
        out = out.substr(static_cast<size_t>(from), length < 0 ? std::string::npos : static_cast<size_t>(length));
    }
    return 0;
}
