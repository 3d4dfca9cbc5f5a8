#include "platform/HardwareSources.h"

#include "platform/Clock.h"
#include "platform/FileSync.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

namespace {

// The record the child writes: the three numbers, then the renderer's name
// up to the end of the pipe.
constexpr size_t kRecordLimit = 4096;

std::string encodeReading(const GraphicsReading& reading) {
    char numbers[96];
    snprintf(numbers, sizeof numbers, "%d %d %llu\n", reading.glslMajor, reading.glslMinor,
             static_cast<unsigned long long>(reading.videoMemoryBytes));
    std::string record = numbers;
    record += reading.renderer.substr(0, kRecordLimit - record.size());
    return record;
}

bool decodeReading(const std::string& record, GraphicsReading& reading) {
    size_t lineEnd = record.find('\n');
    if (lineEnd == std::string::npos)
        return false;
    int major = 0;
    int minor = 0;
    unsigned long long memory = 0;
    if (sscanf(record.substr(0, lineEnd).c_str(), "%d %d %llu", &major, &minor, &memory) != 3)
        return false;
    reading.renderer = record.substr(lineEnd + 1);
    reading.glslMajor = major;
    reading.glslMinor = minor;
    reading.videoMemoryBytes = memory;
    return true;
}

// Reads the child's record until it closes the pipe or the time is up;
// false on a timeout.
bool readRecord(int fd, uint32_t timeoutMs, std::string& record) {
    uint32_t start = milliseconds();
    char buffer[512];
    for (;;) {
        uint32_t spent = milliseconds() - start;
        if (spent >= timeoutMs)
            return false;
        pollfd wait{fd, POLLIN, 0};
        int ready = poll(&wait, 1, static_cast<int>(timeoutMs - spent));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return true;
        if (record.size() < kRecordLimit)
            record.append(buffer, static_cast<size_t>(n));
    }
}

} // namespace

GraphicsReading readOpenGlApart(uint32_t timeoutMs) {
    return readGraphicsApart(readOpenGl, timeoutMs);
}

GraphicsReading readGraphicsApart(GraphicsReading (*read)(), uint32_t timeoutMs) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return read();
    fflush(nullptr);
    pid_t child = fork();
    if (child < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return read();
    }
    if (child == 0) {
        // The child only talks to the driver and the pipe, and leaves without
        // running the parent's exit handlers or flushing its buffers.
        close(pipeEnds[0]);
        const std::string record = encodeReading(read());
        writeAll(pipeEnds[1], record.data(), record.size());
        _exit(0);
    }
    close(pipeEnds[1]);
    std::string record;
    bool finished = readRecord(pipeEnds[0], timeoutMs, record);
    close(pipeEnds[0]);
    if (!finished)
        kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    GraphicsReading reading;
    bool exited = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!finished || !exited || !decodeReading(record, reading))
        return GraphicsReading();
    return reading;
}

} // namespace platform
