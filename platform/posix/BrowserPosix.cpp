#include "platform/Browser.h"

#include "platform/Process.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kStarted = 42;
constexpr int kNoResources = 0;
constexpr int kNotFound = 2;

// The middle child: forks the opener and ends at once. Only
// async-signal-safe calls from here on.
[[noreturn]] void startOpener(const std::string& opener, char* const* argv, const int report[2],
                              int nothing) {
    close(report[0]);
    pid_t opened = fork();
    if (opened == 0) {
        setsid(); // a Ctrl+C meant for the launcher leaves the browser alone
        if (nothing >= 0) {
            dup2(nothing, STDIN_FILENO);
            dup2(nothing, STDOUT_FILENO);
            dup2(nothing, STDERR_FILENO);
        }
        execv(opener.c_str(), argv);
        int error = errno;
        ssize_t ignored = write(report[1], &error, sizeof error);
        (void)ignored;
        _exit(127);
    }
    if (opened < 0) {
        int error = errno;
        ssize_t ignored = write(report[1], &error, sizeof error);
        (void)ignored;
    }
    _exit(0);
}

// Reaps the middle child and reads what the pipe `reading` reports.
int openerOutcome(pid_t middle, int reading) {
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    do {
        got = read(reading, &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    close(reading);
    if (got > 0)
        return error == ENOENT ? kNotFound : kNoResources;
    return kStarted;
}

} // namespace

int openWebPage(const std::string& url) {
    std::string opener = findOnPath("xdg-open");
    if (opener.empty())
        return kNotFound;
    char* argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(url.c_str()), nullptr};

    // The opener runs as a grandchild: its parent ends at once and is reaped
    // here, so the opener belongs to init and never stays a zombie of ours.
    // A close-on-exec pipe tells whether its exec worked: it reads end of
    // file on success and the error number on failure.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return kNoResources;
    // The browser may outlive the launcher: it must not hold the launcher's
    // terminal or pipes open, nor write into them.
    int nothing = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    pid_t middle = fork();
    if (middle < 0) {
        close(report[0]);
        close(report[1]);
        if (nothing >= 0)
            close(nothing);
        return kNoResources;
    }
    if (middle == 0)
        startOpener(opener, argv, report, nothing);
    close(report[1]);
    if (nothing >= 0)
        close(nothing);
    return openerOutcome(middle, report[0]);
}

} // namespace platform
