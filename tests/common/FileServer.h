#pragma once
#include "net/Socket.h"
#include "tests/common/Files.h"
#include "tests/common/TempDir.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace updatetest {

/// An HTTP/1.1 file server on 127.0.0.1 (a free port): answers GET with
/// "Content-Length" and keeps connections alive, one thread per connection;
/// "Range: bytes=N-" and "bytes=N-M" are answered with 206 unless ranges are
/// ignored; requests sent ahead on a connection are answered in order. Paths
/// can be given faults to play a broken or hostile server.
class FileServer {
public:
    enum class Fault {
        none,
        notFound,   // 404 for every GET of the path
        forbidden,  // 403 (a file the web server may not read)
        cut,        // the full length announced, `offset` bytes sent, then closed
        silent,     // `offset` bytes sent, then nothing until released
        closeAfter, // answered, then the connection closed without saying so
        dripHead,   // the response head sent a byte every 20 ms
        dripBody,   // the head at once, then `offset` bytes of the body every 20 ms
        endless,    // a huge length announced, then manifest lines without end
    };

    FileServer();
    ~FileServer();
    FileServer(const FileServer&) = delete;
    FileServer& operator=(const FileServer&) = delete;

    uint16_t port() const { return listener_.port(); }

    void put(const std::string& path, const std::string& bytes);
    void remove(const std::string& path);
    /// Serves every regular file below `dir` at `prefix` + "/" + its path.
    void putDirectory(const std::string& dir, const std::string& prefix);
    /// `times` < 0: the fault holds for every GET; else for that many.
    void setFault(const std::string& path, Fault fault, size_t offset = 0, int times = -1);
    /// The next `times` GETs of the path are answered with `bytes` instead.
    void setReplacement(const std::string& path, const std::string& bytes, int times);
    /// Every connection is closed after its answer, without saying so.
    void closeEveryConnection(bool yes);
    /// Every connection is closed once it has sent `bytes` bytes of bodies
    /// (0: never), in the middle of a body if need be.
    void cutEveryConnectionAfter(size_t bytes);
    /// Range requests are answered with the whole file (200).
    void ignoreRanges(bool yes);

    /// GETs received for a path (a decoded request path).
    int gets(const std::string& path);
    std::vector<std::string> requested();
    /// The offsets asked for by the Range requests of a path, in order.
    std::vector<int64_t> rangesAsked(const std::string& path);
    /// Body bytes the connections took so far (not what a client closed
    /// before), over every connection.
    uint64_t bodyBytesSent();
    int connections();
    /// Blocks until the path has been asked for `count` times.
    void waitForGets(const std::string& path, int count = 1);
    /// Blocks until a silent fault has been reached `count` times.
    void waitForSilence(int count = 1);
    /// Lets every silent answer continue with the rest of its body.
    void release();

private:
    struct Rule {
        Fault fault = Fault::none;
        size_t offset = 0;
        int times = -1;
    };

    using Socket = INet::TCP::Socket;

    // What a request is answered with, as the rules stood when it came.
    struct Answer {
        std::shared_ptr<const std::string> file;
        bool found = false;
        bool partial = false;
        int64_t rangeFrom = -1;
        int64_t rangeTo = -1; // the last byte asked for; -1: to the end
        Rule rule;
        bool closeAfter = false;
    };

    void acceptLoop();
    void serve(std::unique_ptr<Socket> socket);
    // Counts the request and looks its answer up.
    Answer lookUp(const std::string& path, int64_t rangeFrom);
    // Sends the answer; false when the connection ends after it.
    bool send(Socket& socket, const Answer& answer, std::string& pending, size_t& connectionBytes);
    // Sends body bytes, counted, up to the connection's cut; false when the
    // connection was cut or failed.
    bool sendBody(Socket& socket, const char* data, size_t length, size_t& connectionBytes);
    // Sends `piece` bytes every 20 ms; false once the client or server went.
    bool drip(Socket& socket, std::string_view bytes, size_t piece);
    // Waits for a release; false when the server stops or the client left.
    // Bytes the client sends meanwhile are kept in `pending`.
    bool waitWhileSilent(Socket& socket, std::string& pending);

    INet::TCP::Listener listener_;
    std::thread acceptor_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, std::shared_ptr<const std::string>> files_;
    std::map<std::string, Rule> rules_;
    std::map<std::string, std::pair<std::string, int>> replacements_;
    std::map<std::string, int> gets_;
    std::map<std::string, std::vector<int64_t>> ranges_;
    uint64_t bodyBytes_ = 0;
    size_t cutAfter_ = 0;
    bool ignoreRanges_ = false;
    std::vector<std::string> requested_;
    std::vector<std::thread> workers_;
    std::vector<Socket*> open_;
    int connections_ = 0;
    int silences_ = 0;
    bool released_ = false;
    bool closeEvery_ = false;
    bool stopping_ = false;
};

/// zlib stream of `bytes` made by zlib's own deflate (not by the launcher's
/// code).
std::string deflated(const std::string& bytes, int level = 9);

/// The bytes of a zlib stream, by zlib's own inflate; empty when it is not
/// one.
std::string inflated(const std::string& packed);

/// MD5 of the bytes, computed without the launcher's own MD5.
std::string md5Of(const std::string& bytes);

using testkit::readFile;
using testkit::TempDir;

/// The launcher's program as this system names it ("MoravoTown", or
/// "MoravoTown.exe" on Windows): one of the files the updater stages.
std::string launcherProgram();

/// Changes the current directory for a scope.
using CurrentDir = testkit::ScopedDirectory;

} // namespace updatetest
