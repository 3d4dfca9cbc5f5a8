#pragma once
// The scripted hostile update server of the fuzz target updater_hostile: an
// HTTP/1.1 server on 127.0.0.1 whose every answer a script chooses.
//
// A script is text with binary bodies:
//
//   OPTIONS
//   @@ NAME [BEHAVIOURS]
//   BODY
//   @@ NAME ...
//
// OPTIONS is the bytes before the first "\n@@ " (read by the fuzz target,
// not here). Each record runs from "\n@@ " to the next "\n@@ " or the end:
// a line naming the file (its path below the update location, as
// "versions/2/checklist.txt") and the behaviours of its answers, then the
// file's bytes. BEHAVIOURS is a word of letters, each optionally followed by
// a decimal parameter P: the n-th letter is how the n-th request of the
// file is answered, and a request beyond the last letter is answered
// normally. A file with no record is not found (404).
//
//   n    normal: 200, or 206 with the range asked for
//   m    404
//   s    status P (500 without P) with the body
//   c    the full length announced, P bytes of the answer's body sent, closed
//   l    a length P (1) bytes longer announced, the body sent, closed
//   h    a length P (1) bytes shorter announced, the whole body sent
//   w    a range asked for answered with the whole file (200)
//   o    a range answered from P (1) bytes later than asked (206)
//   z    nothing sent until the client leaves (the receive timeout)
//   x    the connection closed without an answer
//   g    the body sent as the whole answer, head included, then closed
//   k    "Connection: close", then closed after the answer
//   f    flood: P MiB (256) announced and sent, the body over and over
//   d    two Content-Length headers that disagree
//   e    no Content-Length: the body, then closed
//   p    206 with a Content-Range to a request without a range
//   t    the body trickled in pieces of P (1) bytes, 1 ms apart
#include "net/Socket.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace hostile {

/// How one request is answered: a behaviour letter and its parameter (-1
/// when none was given).
struct Behaviour {
    char kind = 'n';
    int64_t parameter = -1;
};

/// A file of the script: its bytes and how its requests are answered.
struct ScriptedFile {
    std::string body;
    std::vector<Behaviour> behaviours;
};

/// A script read: the options and the files by name.
struct Script {
    std::string options;
    std::map<std::string, ScriptedFile> files;
};

/// Splits `bytes` into options and records (see above). A repeated name
/// keeps its first record.
Script readScript(const std::string& bytes);

/// Most body bytes a flood sends, whatever it announces.
constexpr int64_t floodLimit = int64_t(320) << 20;

/// The server: started once, played with one script after another.
class HostileServer {
public:
    /// `base` is the path the update location names ("/rel").
    explicit HostileServer(std::string base);
    ~HostileServer();
    HostileServer(const HostileServer&) = delete;
    HostileServer& operator=(const HostileServer&) = delete;

    uint16_t port() const { return listener_.port(); }
    /// The script of the next run; the count of requests starts again.
    void play(Script script);
    /// Ends every connection (answers stalled or flooding included) and
    /// waits for their threads: nothing of a run outlives it.
    void endRun();
    /// Requests answered in the run so far.
    int requests();

private:
    void acceptLoop();
    void serve(INet::TCP::Socket& socket);
    // The answer to one request of `target` (its path as sent); false when
    // the connection ends after it.
    bool answer(INet::TCP::Socket& socket, const std::string& target, int64_t rangeFrom, int64_t rangeTo);
    // The behaviour of the next request of `name` and its file (null when
    // the script has none).
    const ScriptedFile* next(const std::string& name, Behaviour& behaviour);
    // Whether the relocation the client reads off this body (the bytes it
    // gets) leaves this server: another host or port.
    bool relocatesAway(const std::string& body) const;

    std::string base_;
    INet::TCP::Listener listener_;
    std::mutex mutex_;
    std::condition_variable closed_;
    std::shared_ptr<const Script> script_;
    std::map<std::string, size_t> asked_;
    int requests_ = 0;
    std::vector<INet::TCP::Socket*> open_;
    std::vector<std::thread> workers_;
    int active_ = 0;
    bool stopping_ = false;
    std::thread acceptor_;
};

} // namespace hostile
