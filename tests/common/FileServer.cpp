#include "tests/common/FileServer.h"

#include "platform/FileSystem.h"
#include "platform/ProgramPath.h"
#include "tests/common/ReferenceMd5.h"
#include "tests/common/UrlDecode.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <zlib.h>

namespace fs = std::filesystem;

namespace updatetest {

namespace {

// Reads up to the end of the next request's head, which goes to `head`;
// what follows stays in `pending`. False when the client is gone.
bool readHead(INet::TCP::Socket& socket, std::string& pending, std::string& head) {
    char buffer[8192];
    size_t end;
    while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
        const int32_t got = socket.read(buffer, sizeof buffer);
        if (got <= 0)
            return false;
        pending.append(buffer, static_cast<size_t>(got));
    }
    head = pending.substr(0, end);
    pending.erase(0, end + 4);
    return true;
}

// Sends the bytes; answers how many the socket took (all of them unless
// it failed).
size_t sendCounted(INet::TCP::Socket& socket, const char* data, size_t length) {
    size_t done = 0;
    while (done < length) {
        const int32_t sent =
            socket.write(data + done, static_cast<int32_t>(std::min<size_t>(length - done, 1 << 20)));
        if (sent <= 0)
            break;
        done += static_cast<size_t>(sent);
    }
    return done;
}

bool sendAll(INet::TCP::Socket& socket, const char* data, size_t length) {
    return sendCounted(socket, data, length) == length;
}

} // namespace

FileServer::FileServer() : listener_(InetAddress("127.0.0.1", 0), 16) {
    // No updater test could run without it.
    if (!listener_.bound())
        std::abort();
    acceptor_ = std::thread([this] { acceptLoop(); });
}

FileServer::~FileServer() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopping_ = true;
        for (Socket* socket : open_)
            socket->abort();
    }
    changed_.notify_all();
    acceptor_.join();
    for (std::thread& worker : workers_)
        worker.join();
}

void FileServer::put(const std::string& path, const std::string& bytes) {
    auto shared = std::make_shared<const std::string>(bytes);
    std::lock_guard<std::mutex> guard(mutex_);
    files_[path] = std::move(shared);
}

void FileServer::remove(const std::string& path) {
    std::lock_guard<std::mutex> guard(mutex_);
    files_.erase(path);
}

void FileServer::putDirectory(const std::string& dir, const std::string& prefix) {
    // Names are UTF-8 on every system, as the publisher writes them.
    const fs::path root = platform::filePath(dir);
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file())
            put(prefix + "/" + fs::relative(entry.path(), root).generic_u8string(),
                readFile(entry.path().u8string()));
    }
}

void FileServer::setFault(const std::string& path, Fault fault, size_t offset, int times) {
    std::lock_guard<std::mutex> guard(mutex_);
    rules_[path] = Rule{fault, offset, times};
}

void FileServer::setReplacement(const std::string& path, const std::string& bytes, int times) {
    std::lock_guard<std::mutex> guard(mutex_);
    replacements_[path] = {bytes, times};
}

void FileServer::closeEveryConnection(bool yes) {
    std::lock_guard<std::mutex> guard(mutex_);
    closeEvery_ = yes;
}

void FileServer::cutEveryConnectionAfter(size_t bytes) {
    std::lock_guard<std::mutex> guard(mutex_);
    cutAfter_ = bytes;
}

void FileServer::ignoreRanges(bool yes) {
    std::lock_guard<std::mutex> guard(mutex_);
    ignoreRanges_ = yes;
}

std::vector<int64_t> FileServer::rangesAsked(const std::string& path) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = ranges_.find(path);
    return it == ranges_.end() ? std::vector<int64_t>() : it->second;
}

uint64_t FileServer::bodyBytesSent() {
    std::lock_guard<std::mutex> guard(mutex_);
    return bodyBytes_;
}

int FileServer::gets(const std::string& path) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = gets_.find(path);
    return it == gets_.end() ? 0 : it->second;
}

std::vector<std::string> FileServer::requested() {
    std::lock_guard<std::mutex> guard(mutex_);
    return requested_;
}

int FileServer::connections() {
    std::lock_guard<std::mutex> guard(mutex_);
    return connections_;
}

void FileServer::waitForGets(const std::string& path, int count) {
    std::unique_lock<std::mutex> guard(mutex_);
    changed_.wait(guard, [&] { return gets_[path] >= count; });
}

void FileServer::waitForSilence(int count) {
    std::unique_lock<std::mutex> guard(mutex_);
    changed_.wait(guard, [&] { return silences_ >= count; });
}

void FileServer::release() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        released_ = true;
    }
    changed_.notify_all();
}

void FileServer::acceptLoop() {
    for (;;) {
        std::unique_ptr<Socket> socket = listener_.accept(10);
        std::lock_guard<std::mutex> guard(mutex_);
        if (stopping_)
            return;
        if (!socket)
            continue;
        ++connections_;
        open_.push_back(socket.get());
        workers_.emplace_back(
            [this, connection = std::move(socket)]() mutable { serve(std::move(connection)); });
    }
}

bool FileServer::sendBody(Socket& socket, const char* data, size_t length, size_t& connectionBytes) {
    size_t cutAfter;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        cutAfter = cutAfter_;
    }
    size_t allowed = length;
    if (cutAfter > 0)
        allowed = std::min(length, cutAfter > connectionBytes ? cutAfter - connectionBytes : 0);
    // Only the bytes the socket took count: a client that closes early
    // is not counted as having been sent the rest.
    const size_t sent = sendCounted(socket, data, allowed);
    connectionBytes += sent;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        bodyBytes_ += sent;
    }
    return sent == length;
}

bool FileServer::drip(Socket& socket, std::string_view bytes, size_t piece) {
    for (size_t at = 0; at < bytes.size(); at += piece) {
        {
            std::unique_lock<std::mutex> guard(mutex_);
            if (changed_.wait_for(guard, std::chrono::milliseconds(20), [&] { return stopping_; }))
                return false;
        }
        if (!sendAll(socket, bytes.data() + at, std::min(piece, bytes.size() - at)))
            return false;
    }
    return true;
}

bool FileServer::waitWhileSilent(Socket& socket, std::string& pending) {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        ++silences_;
    }
    changed_.notify_all();
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(mutex_);
            if (changed_.wait_for(guard, std::chrono::milliseconds(20),
                                  [&] { return released_ || stopping_; }))
                return !stopping_;
        }
        // A client that went away ends the wait.
        if (socket.readable(0)) {
            char buffer[4096];
            const int32_t got = socket.read(buffer, sizeof buffer);
            if (got <= 0)
                return false;
            pending.append(buffer, static_cast<size_t>(got));
        }
    }
}

void FileServer::serve(std::unique_ptr<Socket> connection) {
    Socket& socket = *connection;
    // Wine can leave a blocking send waiting for ever once its client has
    // gone; a send that moves nothing for this long gives up instead.
    socket.setSendTimeout(5000);
    std::string pending;
    std::string head;
    size_t connectionBytes = 0;
    while (readHead(socket, pending, head)) {
        std::istringstream line(head);
        std::string method, target;
        line >> method >> target;
        int64_t rangeFrom = -1, rangeTo = -1;
        const std::string rangeHeader = "\r\nRange: bytes=";
        const size_t range = head.find(rangeHeader);
        if (range != std::string::npos) {
            char* end = nullptr;
            rangeFrom = std::strtoll(head.c_str() + range + rangeHeader.size(), &end, 10);
            if (end[0] == '-' && end[1] >= '0' && end[1] <= '9')
                rangeTo = std::strtoll(end + 1, nullptr, 10);
        }
        Answer answer = lookUp(testkit::urlDecoded(target), rangeFrom);
        answer.rangeTo = rangeTo;
        changed_.notify_all();
        if (!send(socket, answer, pending, connectionBytes))
            break;
    }
    std::lock_guard<std::mutex> guard(mutex_);
    for (auto it = open_.begin(); it != open_.end(); ++it) {
        if (*it == &socket) {
            open_.erase(it);
            break;
        }
    }
    connection.reset();
}

FileServer::Answer FileServer::lookUp(const std::string& path, int64_t rangeFrom) {
    Answer answer;
    answer.rangeFrom = rangeFrom;
    std::lock_guard<std::mutex> guard(mutex_);
    ++gets_[path];
    requested_.push_back(path);
    if (rangeFrom >= 0)
        ranges_[path].push_back(rangeFrom);
    auto stored = files_.find(path);
    answer.found = stored != files_.end();
    if (answer.found)
        answer.file = stored->second;
    auto replacement = replacements_.find(path);
    if (answer.found && replacement != replacements_.end() && replacement->second.second > 0) {
        answer.file = std::make_shared<const std::string>(replacement->second.first);
        --replacement->second.second;
    }
    answer.partial = answer.found && rangeFrom >= 0 && !ignoreRanges_ &&
                     static_cast<size_t>(rangeFrom) < answer.file->size();
    auto r = rules_.find(path);
    if (r != rules_.end() && r->second.times != 0) {
        answer.rule = r->second;
        if (r->second.times > 0)
            --r->second.times;
    }
    answer.closeAfter = closeEvery_;
    return answer;
}

bool FileServer::send(Socket& socket, const Answer& answer, std::string& pending, size_t& connectionBytes) {
    const Rule& rule = answer.rule;
    if (rule.fault == Fault::forbidden) {
        const std::string forbidden = "HTTP/1.1 403 Forbidden\r\nContent-Length: 9\r\n\r\nforbidden";
        return sendAll(socket, forbidden.data(), forbidden.size());
    }
    if (!answer.found || rule.fault == Fault::notFound) {
        const std::string notFound = "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found";
        return sendAll(socket, notFound.data(), notFound.size());
    }
    if (rule.fault == Fault::endless) {
        const std::string endlessHead = "HTTP/1.1 200 OK\r\nContent-Length: 1000000000000\r\n\r\n";
        bool sending = sendAll(socket, endlessHead.data(), endlessHead.size());
        for (uint64_t n = 0; sending; ++n) {
            const std::string line = "0123456789abcdef0123456789abcdef 1 1 f" + std::to_string(n) + "\n";
            sending = sendAll(socket, line.data(), line.size());
        }
        return false;
    }
    const std::string& file = *answer.file;
    const size_t offset = answer.partial ? static_cast<size_t>(answer.rangeFrom) : 0;
    const size_t last = answer.partial && answer.rangeTo >= answer.rangeFrom
                            ? std::min(static_cast<size_t>(answer.rangeTo), file.size() - 1)
                            : file.size() - 1;
    const std::string_view body =
        std::string_view(file).substr(offset, answer.partial ? last + 1 - offset : file.size());
    const std::string answerHead =
        answer.partial ? "HTTP/1.1 206 Partial Content\r\nContent-Length: " + std::to_string(body.size()) +
                             "\r\nContent-Range: bytes " + std::to_string(offset) + "-" +
                             std::to_string(last) + "/" + std::to_string(file.size()) + "\r\n\r\n"
                       : "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    if (rule.fault == Fault::dripHead || rule.fault == Fault::dripBody) {
        const bool slowHead = rule.fault == Fault::dripHead;
        const bool headSent =
            slowHead ? drip(socket, answerHead, 1) : sendAll(socket, answerHead.data(), answerHead.size());
        return headSent && (slowHead ? sendAll(socket, body.data(), body.size())
                                     : drip(socket, body, std::max<size_t>(rule.offset, 1)));
    }
    if (!sendAll(socket, answerHead.data(), answerHead.size()))
        return false;
    if (rule.fault == Fault::cut) {
        sendAll(socket, body.data(), std::min(rule.offset, body.size()));
        return false;
    }
    if (rule.fault == Fault::silent) {
        const size_t first = std::min(rule.offset, body.size());
        return sendAll(socket, body.data(), first) && waitWhileSilent(socket, pending) &&
               sendAll(socket, body.data() + first, body.size() - first);
    }
    if (!sendBody(socket, body.data(), body.size(), connectionBytes))
        return false;
    return !(answer.closeAfter || rule.fault == Fault::closeAfter);
}

std::string deflated(const std::string& bytes, int level) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::string packed(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &size, reinterpret_cast<const Bytef*>(bytes.data()),
                  static_cast<uLong>(bytes.size()), level) != Z_OK)
        std::abort();
    packed.resize(size);
    return packed;
}

std::string inflated(const std::string& packed) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return std::string();
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
    stream.avail_in = static_cast<uInt>(packed.size());
    std::string bytes;
    int result = Z_OK;
    while (result == Z_OK) {
        char piece[16384];
        stream.next_out = reinterpret_cast<Bytef*>(piece);
        stream.avail_out = sizeof piece;
        result = inflate(&stream, Z_NO_FLUSH);
        bytes.append(piece, sizeof piece - stream.avail_out);
    }
    inflateEnd(&stream);
    return result == Z_STREAM_END ? bytes : std::string();
}

std::string launcherProgram() {
    return std::string("MoravoTown") + platform::executableSuffix();
}

std::string md5Of(const std::string& bytes) {
    return nettest::referenceMd5(bytes);
}

} // namespace updatetest
