#include "tests/update/FileServer.h"

#include "tests/common/LoopbackListener.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace updatetest {

namespace {

std::string decoded(const std::string& path) {
    std::string out;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size()) {
            out.push_back(static_cast<char>(std::strtol(path.substr(i + 1, 2).c_str(), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(path[i]);
        }
    }
    return out;
}

} // namespace

FileServer::FileServer() {
    listenFd_ = testkit::listenOnLoopback(16, port_);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

FileServer::~FileServer() {
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopping_ = true;
        for (int fd : openFds_)
            ::shutdown(fd, SHUT_RDWR);
    }
    changed_.notify_all();
    ::shutdown(listenFd_, SHUT_RDWR);
    acceptor_.join();
    for (std::thread& worker : workers_)
        worker.join();
    ::close(listenFd_);
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
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file())
            put(prefix + "/" + fs::relative(entry.path(), dir).generic_string(),
                readFile(entry.path().string()));
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
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        std::lock_guard<std::mutex> guard(mutex_);
        if (stopping_) {
            ::close(fd);
            return;
        }
        ++connections_;
        openFds_.push_back(fd);
        workers_.emplace_back([this, fd] { serve(fd); });
    }
}

bool FileServer::sendAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        ssize_t sent = ::send(fd, data, length, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

bool FileServer::sendBody(int fd, const char* data, size_t length, size_t& connectionBytes) {
    size_t cutAfter;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        cutAfter = cutAfter_;
    }
    size_t allowed = length;
    if (cutAfter > 0)
        allowed = std::min(length, cutAfter > connectionBytes ? cutAfter - connectionBytes : 0);
    const bool sent = sendAll(fd, data, allowed);
    connectionBytes += allowed;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        bodyBytes_ += allowed;
    }
    return sent && allowed == length;
}

bool FileServer::drip(int fd, std::string_view bytes, size_t piece) {
    for (size_t at = 0; at < bytes.size(); at += piece) {
        {
            std::unique_lock<std::mutex> guard(mutex_);
            if (changed_.wait_for(guard, std::chrono::milliseconds(20), [&] { return stopping_; }))
                return false;
        }
        if (!sendAll(fd, bytes.data() + at, std::min(piece, bytes.size() - at)))
            return false;
    }
    return true;
}

bool FileServer::waitWhileSilent(int fd) {
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
        pollfd watch{fd, POLLIN, 0};
        if (::poll(&watch, 1, 0) > 0) {
            char probe;
            if (::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT) <= 0)
                return false;
        }
    }
}

void FileServer::serve(int fd) {
    std::string pending;
    char buffer[8192];
    size_t connectionBytes = 0;
    for (;;) {
        size_t end;
        while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
            ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0)
                goto done;
            pending.append(buffer, static_cast<size_t>(got));
        }
        std::string head = pending.substr(0, end);
        pending.erase(0, end + 4);
        std::istringstream line(head);
        std::string method, target;
        line >> method >> target;
        const std::string path = decoded(target);
        int64_t rangeFrom = -1;
        const std::string rangeHeader = "\r\nRange: bytes=";
        const size_t range = head.find(rangeHeader);
        if (range != std::string::npos)
            rangeFrom = std::strtoll(head.c_str() + range + rangeHeader.size(), nullptr, 10);

        std::shared_ptr<const std::string> file;
        bool found;
        bool partial = false;
        Rule rule;
        bool closeAfter;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            ++gets_[path];
            requested_.push_back(path);
            if (rangeFrom >= 0)
                ranges_[path].push_back(rangeFrom);
            auto stored = files_.find(path);
            found = stored != files_.end();
            if (found)
                file = stored->second;
            auto replacement = replacements_.find(path);
            if (found && replacement != replacements_.end() && replacement->second.second > 0) {
                file = std::make_shared<const std::string>(replacement->second.first);
                --replacement->second.second;
            }
            partial =
                found && rangeFrom >= 0 && !ignoreRanges_ && static_cast<size_t>(rangeFrom) < file->size();
            auto r = rules_.find(path);
            if (r != rules_.end() && r->second.times != 0) {
                rule = r->second;
                if (r->second.times > 0)
                    --r->second.times;
            }
            closeAfter = closeEvery_;
        }
        changed_.notify_all();
        if (!found || rule.fault == Fault::notFound) {
            const std::string answer = "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found";
            if (!sendAll(fd, answer.data(), answer.size()))
                break;
            continue;
        }
        if (rule.fault == Fault::endless) {
            const std::string endlessHead = "HTTP/1.1 200 OK\r\nContent-Length: 1000000000000\r\n\r\n";
            bool sending = sendAll(fd, endlessHead.data(), endlessHead.size());
            for (uint64_t n = 0; sending; ++n) {
                const std::string line = "0123456789abcdef0123456789abcdef 1 1 f" + std::to_string(n) + "\n";
                sending = sendAll(fd, line.data(), line.size());
            }
            break;
        }
        const size_t offset = partial ? static_cast<size_t>(rangeFrom) : 0;
        const std::string_view body = std::string_view(*file).substr(offset);
        const std::string answerHead =
            partial ? "HTTP/1.1 206 Partial Content\r\nContent-Length: " + std::to_string(body.size()) +
                          "\r\nContent-Range: bytes " + std::to_string(offset) + "-" +
                          std::to_string(file->size() - 1) + "/" + std::to_string(file->size()) + "\r\n\r\n"
                    : "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
        if (rule.fault == Fault::dripHead || rule.fault == Fault::dripBody) {
            const bool slowHead = rule.fault == Fault::dripHead;
            const bool headSent =
                slowHead ? drip(fd, answerHead, 1) : sendAll(fd, answerHead.data(), answerHead.size());
            const bool bodySent = headSent && (slowHead ? sendAll(fd, body.data(), body.size())
                                                        : drip(fd, body, std::max<size_t>(rule.offset, 1)));
            if (!bodySent)
                break;
            continue;
        }
        if (!sendAll(fd, answerHead.data(), answerHead.size()))
            break;
        if (rule.fault == Fault::cut) {
            sendAll(fd, body.data(), std::min(rule.offset, body.size()));
            break;
        }
        if (rule.fault == Fault::silent) {
            const size_t first = std::min(rule.offset, body.size());
            if (!sendAll(fd, body.data(), first) || !waitWhileSilent(fd))
                break;
            if (!sendAll(fd, body.data() + first, body.size() - first))
                break;
            continue;
        }
        if (!sendBody(fd, body.data(), body.size(), connectionBytes))
            break;
        if (closeAfter || rule.fault == Fault::closeAfter)
            break;
    }
done:
    std::lock_guard<std::mutex> guard(mutex_);
    for (auto it = openFds_.begin(); it != openFds_.end(); ++it) {
        if (*it == fd) {
            openFds_.erase(it);
            break;
        }
    }
    ::close(fd);
}

TempDir::TempDir() {
    char name[] = "/tmp/moravo-update-XXXXXX";
    if (mkdtemp(name) != nullptr)
        path_ = name;
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty())
        fs::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& relative, const std::string& bytes) const {
    const fs::path file = fs::path(path_) / relative;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    return file.string();
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

namespace {

std::string runFilter(const std::string& command, const std::string& bytes) {
    TempDir scratch;
    const std::string input = scratch.write("in", bytes);
    const std::string output = scratch.path() + "/out";
    const std::string line = command + " <'" + input + "' >'" + output + "'";
    if (std::system(line.c_str()) != 0)
        std::abort();
    return readFile(output);
}

} // namespace

std::string pigzCompress(const std::string& bytes, int level) {
    return runFilter("pigz -z -c -" + std::to_string(level), bytes);
}

std::string md5sumOf(const std::string& bytes) {
    return runFilter("md5sum", bytes).substr(0, 32);
}

CurrentDir::CurrentDir(const std::string& path) : previous_(fs::current_path().string()) {
    fs::current_path(path);
}

CurrentDir::~CurrentDir() {
    std::error_code ec;
    fs::current_path(previous_, ec);
}

} // namespace updatetest
