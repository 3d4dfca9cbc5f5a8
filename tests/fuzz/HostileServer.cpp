#include "tests/fuzz/HostileServer.h"

#include "install/Manifest.h"
#include "net/InetAddress.h"
#include "platform/Clock.h"
#include "tests/common/UrlDecode.h"
#include "update/UpdateLocation.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>

namespace hostile {

namespace {

const std::string recordMark = "\n@@ ";
constexpr char relocationFile[] = "current.txt";

std::vector<Behaviour> readBehaviours(std::string_view word) {
    std::vector<Behaviour> behaviours;
    size_t i = 0;
    while (i < word.size()) {
        Behaviour behaviour;
        behaviour.kind = word[i++];
        if (i < word.size() && std::isdigit(static_cast<unsigned char>(word[i]))) {
            int64_t value = 0;
            while (i < word.size() && std::isdigit(static_cast<unsigned char>(word[i]))) {
                value = std::min<int64_t>(value * 10 + (word[i] - '0'), int64_t(1) << 40);
                ++i;
            }
            behaviour.parameter = value;
        }
        behaviours.push_back(behaviour);
    }
    return behaviours;
}

bool sendAll(INet::TCP::Socket& socket, std::string_view bytes) {
    while (!bytes.empty()) {
        const int32_t sent =
            socket.write(bytes.data(), static_cast<int32_t>(std::min<size_t>(bytes.size(), size_t(1) << 20)));
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
    return true;
}

// The value of `name` (lower case, with its colon) in a request head.
std::string header(const std::string& head, const std::string& name) {
    std::string lower = head;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const size_t at = lower.find("\r\n" + name);
    if (at == std::string::npos)
        return "";
    const size_t from = at + 2 + name.size();
    const size_t end = head.find("\r\n", from);
    return trimmed(head.substr(from, end == std::string::npos ? std::string::npos : end - from));
}

// "bytes=N-" or "bytes=N-M"; false without a range.
bool readRange(const std::string& value, int64_t& from, int64_t& to) {
    if (value.compare(0, 6, "bytes=") != 0)
        return false;
    char* end = nullptr;
    from = std::strtoll(value.c_str() + 6, &end, 10);
    if (end == nullptr || *end != '-' || from < 0)
        return false;
    to = end[1] == '\0' ? -1 : std::strtoll(end + 1, nullptr, 10);
    return true;
}

std::string head(int status, int64_t length, const std::string& extra) {
    std::string text = "HTTP/1.1 " + std::to_string(status) + " X\r\n";
    if (length >= 0)
        text += "Content-Length: " + std::to_string(length) + "\r\n";
    return text + extra + "\r\n";
}

} // namespace

Script readScript(const std::string& bytes) {
    Script script;
    size_t at = bytes.compare(0, recordMark.size() - 1, recordMark, 1, std::string::npos) == 0
                    ? 0
                    : bytes.find(recordMark);
    script.options = bytes.substr(0, at);
    while (at != std::string::npos) {
        // The first record may start the input without its line feed.
        const size_t line = at + (bytes[at] == '\n' ? recordMark.size() : recordMark.size() - 1);
        const size_t next = bytes.find(recordMark, line);
        const size_t lineEnd = std::min(bytes.find('\n', line), next);
        const std::string title =
            bytes.substr(line, lineEnd == std::string::npos ? std::string::npos : lineEnd - line);
        const size_t blank = title.find(' ');
        ScriptedFile file;
        if (lineEnd != std::string::npos && lineEnd != next)
            file.body =
                bytes.substr(lineEnd + 1, next == std::string::npos ? std::string::npos : next - lineEnd - 1);
        if (blank != std::string::npos)
            file.behaviours = readBehaviours(std::string_view(title).substr(blank + 1));
        script.files.emplace(title.substr(0, blank), std::move(file));
        at = next;
    }
    return script;
}

HostileServer::HostileServer(std::string base)
    : base_(std::move(base)), listener_(InetAddress("127.0.0.1", 0), 16) {
    // Nothing could run without it.
    if (!listener_.bound())
        std::abort();
    acceptor_ = std::thread([this] { acceptLoop(); });
}

HostileServer::~HostileServer() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopping_ = true;
    }
    acceptor_.join();
    endRun();
}

void HostileServer::play(Script script) {
    std::lock_guard<std::mutex> guard(mutex_);
    script_ = std::make_shared<const Script>(std::move(script));
    asked_.clear();
    requests_ = 0;
}

void HostileServer::endRun() {
    std::vector<std::thread> workers;
    {
        std::unique_lock<std::mutex> guard(mutex_);
        for (INet::TCP::Socket* socket : open_)
            socket->abort();
        closed_.wait(guard, [&] { return active_ == 0; });
        workers.swap(workers_);
    }
    for (std::thread& worker : workers)
        worker.join();
}

int HostileServer::requests() {
    std::lock_guard<std::mutex> guard(mutex_);
    return requests_;
}

void HostileServer::acceptLoop() {
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            if (stopping_)
                return;
        }
        std::unique_ptr<INet::TCP::Socket> accepted = listener_.accept(20);
        if (accepted == nullptr)
            continue;
        std::lock_guard<std::mutex> guard(mutex_);
        INet::TCP::Socket* socket = accepted.release();
        open_.push_back(socket);
        ++active_;
        workers_.emplace_back([this, socket] {
            serve(*socket);
            std::lock_guard<std::mutex> inner(mutex_);
            open_.erase(std::find(open_.begin(), open_.end(), socket));
            delete socket;
            --active_;
            closed_.notify_all();
        });
    }
}

void HostileServer::serve(INet::TCP::Socket& socket) {
    std::string pending;
    char buffer[8192];
    for (;;) {
        size_t end;
        while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
            const int32_t got = socket.read(buffer, sizeof buffer);
            if (got <= 0)
                return;
            pending.append(buffer, static_cast<size_t>(got));
        }
        const std::string requestHead = pending.substr(0, end + 2);
        pending.erase(0, end + 4);
        const size_t blank = requestHead.find(' ');
        const size_t second = requestHead.find(' ', blank + 1);
        if (blank == std::string::npos || second == std::string::npos)
            return;
        int64_t from = -1, to = -1;
        if (!readRange(header(requestHead, "range:"), from, to))
            from = to = -1;
        if (!answer(socket, testkit::urlDecoded(requestHead.substr(blank + 1, second - blank - 1)), from, to))
            return;
    }
}

const ScriptedFile* HostileServer::next(const std::string& name, Behaviour& behaviour) {
    std::lock_guard<std::mutex> guard(mutex_);
    ++requests_;
    if (script_ == nullptr)
        return nullptr;
    auto file = script_->files.find(name);
    if (file == script_->files.end())
        return nullptr;
    const size_t turn = asked_[name]++;
    if (turn < file->second.behaviours.size())
        behaviour = file->second.behaviours[turn];
    return &file->second;
}

bool HostileServer::relocatesAway(const std::string& body) const {
    const UpdateLocation here = parseUpdateLocation("127.0.0.1:" + std::to_string(port()) + base_);
    const std::string line = trimmed(body.substr(0, std::min(body.find('\n'), manifestLineLimit)));
    if (line.empty() || !updateLocationProblem(line).empty())
        return false;
    const UpdateLocation there = relocatedUpdateLocation(here, line);
    return there.host != here.host || there.port != here.port;
}

bool HostileServer::answer(INet::TCP::Socket& socket, const std::string& target, int64_t rangeFrom,
                           int64_t rangeTo) {
    const std::string prefix = base_ + "/";
    const std::string name =
        target.compare(0, prefix.size(), prefix) == 0 ? target.substr(prefix.size()) : "";
    Behaviour behaviour;
    const ScriptedFile* file = name.empty() ? nullptr : next(name, behaviour);
    // The relocation is the one answer that could send the updater to
    // another server: one that would is not found, and it is never flooded
    // or written raw (which bytes would be its body is then not the
    // script's to say).
    if (file != nullptr && name == relocationFile) {
        if (behaviour.kind == 'f' || behaviour.kind == 'g' || behaviour.kind == 't')
            behaviour.kind = 'n';
        // The body the client gets: cut short by these two, whole (or not
        // read at all) otherwise.
        const int64_t size = static_cast<int64_t>(file->body.size());
        const int64_t p = behaviour.parameter;
        int64_t delivered = size;
        if (behaviour.kind == 'c')
            delivered = p < 0 ? size / 2 : std::min(p, size);
        else if (behaviour.kind == 'h')
            delivered = std::max<int64_t>(size - (p < 0 ? 1 : p), 0);
        if (relocatesAway(file->body.substr(0, static_cast<size_t>(delivered))))
            file = nullptr;
    }
    if (file == nullptr || behaviour.kind == 'm')
        return sendAll(socket, head(404, 0, ""));
    const std::string& body = file->body;
    const int64_t size = static_cast<int64_t>(body.size());
    const bool ranged = rangeFrom >= 0;
    int64_t from = ranged ? rangeFrom : 0;
    if (behaviour.kind == 'o' && ranged)
        from += behaviour.parameter < 0 ? 1 : behaviour.parameter;
    if (ranged && from >= size && behaviour.kind != 'w')
        return sendAll(socket, head(416, 0, "Content-Range: bytes */" + std::to_string(size) + "\r\n"));
    int64_t last = size - 1;
    if (ranged && rangeTo >= rangeFrom && behaviour.kind != 'w')
        last = std::min(last, from + (rangeTo - rangeFrom));
    const bool partial = (ranged && behaviour.kind != 'w') || (!ranged && behaviour.kind == 'p');
    if (!partial)
        from = 0, last = size - 1;
    const std::string_view slice(body.data() + from,
                                 static_cast<size_t>(std::max<int64_t>(last - from + 1, 0)));
    const int64_t length = static_cast<int64_t>(slice.size());
    const std::string range = partial ? "Content-Range: bytes " + std::to_string(from) + "-" +
                                            std::to_string(last) + "/" + std::to_string(size) + "\r\n"
                                      : "";
    const int status = partial ? 206 : 200;
    const int64_t p = behaviour.parameter;
    switch (behaviour.kind) {
    case 's':
        return sendAll(socket, head(p < 0 ? 500 : static_cast<int>(p % 1000), size, "")) &&
               sendAll(socket, body);
    case 'c':
        sendAll(socket, head(status, length, range));
        sendAll(socket, slice.substr(0, static_cast<size_t>(p < 0 ? length / 2 : std::min(p, length))));
        return false;
    case 'l':
        sendAll(socket, head(status, length + (p < 0 ? 1 : p), range));
        sendAll(socket, slice);
        return false;
    case 'h':
        return sendAll(socket, head(status, std::max<int64_t>(length - (p < 0 ? 1 : p), 0), range)) &&
               sendAll(socket, slice);
    case 'z': {
        char buffer[4096];
        while (socket.read(buffer, sizeof buffer) > 0) {
        }
        return false;
    }
    case 'x':
        return false;
    case 'g':
        sendAll(socket, body);
        return false;
    case 'k':
        sendAll(socket, head(status, length, range + "Connection: close\r\n"));
        sendAll(socket, slice);
        return false;
    case 'f': {
        const int64_t announced = (p < 0 ? 256 : p) << 20;
        sendAll(socket, head(status, announced, range));
        const std::string filler = slice.empty() ? std::string(4096, 'x') : std::string(slice);
        for (int64_t sent = 0; sent < std::min(announced, floodLimit);) {
            const size_t piece = static_cast<size_t>(std::min<int64_t>(announced - sent, filler.size()));
            if (!sendAll(socket, std::string_view(filler).substr(0, piece)))
                break;
            sent += static_cast<int64_t>(piece);
        }
        return false;
    }
    case 'd':
        return sendAll(socket, head(status, length,
                                    range + "Content-Length: " + std::to_string(length + 1) + "\r\n")) &&
               sendAll(socket, slice);
    case 'e':
        sendAll(socket, head(status, -1, range));
        sendAll(socket, slice);
        return false;
    case 't': {
        if (!sendAll(socket, head(status, length, range)))
            return false;
        // At most 64 pieces, so that a trickle costs milliseconds.
        const size_t piece = std::max<size_t>(
            {static_cast<size_t>(p < 1 ? 1 : std::min<int64_t>(p, length + 1)), slice.size() / 64, 1});
        for (size_t at = 0; at < slice.size(); at += piece) {
            if (!sendAll(socket, slice.substr(at, piece)))
                return false;
            platform::sleepMilliseconds(1);
        }
        return true;
    }
    default:
        return sendAll(socket, head(status, length, range)) && sendAll(socket, slice);
    }
}

} // namespace hostile
