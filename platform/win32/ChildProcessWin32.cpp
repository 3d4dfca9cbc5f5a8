#include "platform/ChildProcess.h"

#include "platform/win32/CommandLineQuoting.h"

#include <windows.h>

#include <cstring>
#include <shellapi.h>

namespace platform {

namespace {

// ERROR_ELEVATION_REQUIRED, which mingw's headers lack.
constexpr DWORD kElevationRequired = 740;

// Holds a kernel handle and closes it.
class Handle {
public:
    Handle() = default;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    HANDLE* out() { return &handle_; }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_ = nullptr;
};

// One of the child's standard handles, inheritable: the file when one is
// named, else a copy of this process's own.
bool standardHandle(const std::string& file, DWORD own, bool writing, Handle& handle) {
    if (file.empty()) {
        HANDLE mine = GetStdHandle(own);
        if (mine == nullptr || mine == INVALID_HANDLE_VALUE)
            return true;
        return DuplicateHandle(GetCurrentProcess(), mine, GetCurrentProcess(), handle.out(), 0, TRUE,
                               DUPLICATE_SAME_ACCESS) != 0;
    }
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    *handle.out() =
        CreateFileA(file.c_str(), writing ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherited, writing ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle.valid();
}

std::string commandLine(const std::string& program, const std::vector<std::string>& words, bool asGiven) {
    std::string line = quotedProgramName(program);
    for (const std::string& word : words)
        line += " " + (asGiven ? word : quotedArgument(word));
    return line;
}

std::string nameOf(const std::string& setting) {
    std::string name = setting.substr(0, setting.find('=', 1));
    for (char& c : name)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return name;
}

// This process's environment block with `settings` laid over it (names
// match without regard to case, as the system's do).
std::string environmentWith(const std::vector<std::string>& settings) {
    std::string block;
    char* own = GetEnvironmentStringsA();
    for (const char* entry = own; entry != nullptr && *entry != '\0'; entry += std::strlen(entry) + 1) {
        const std::string name = nameOf(entry);
        bool replaced = false;
        for (const std::string& setting : settings)
            replaced = replaced || nameOf(setting) == name;
        if (!replaced)
            block.append(entry).push_back('\0');
    }
    if (own != nullptr)
        FreeEnvironmentStringsA(own);
    for (const std::string& setting : settings)
        block.append(setting).push_back('\0');
    block.push_back('\0');
    return block;
}

// Starts `path` through the shell's "runas" verb, which shows the system's
// elevation prompt; null when it was not started (the user declined, or no
// process came of it).
HANDLE startElevated(const std::string& path, const std::vector<std::string>& words,
                     const ChildOptions& options) {
    std::string parameters;
    for (const std::string& word : words)
        parameters += (parameters.empty() ? "" : " ") + (options.wordsAsGiven ? word : quotedArgument(word));
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = "runas";
    info.lpFile = path.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.lpDirectory = options.directory.empty() ? nullptr : options.directory.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info))
        return nullptr;
    return info.hProcess;
}

} // namespace

ChildProcess::~ChildProcess() {
    if (process_ < 0)
        return;
    if (!ended_) {
        kill();
        wait(kForever);
    }
    CloseHandle(reinterpret_cast<HANDLE>(process_));
}

bool ChildProcess::spawn(const std::string& path, const std::string& program,
                         const std::vector<std::string>& words, const Options& options) {
    const bool redirected = !options.input.empty() || !options.output.empty() || !options.error.empty();
    Handle input, output, error;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (redirected) {
        if (!standardHandle(options.input, STD_INPUT_HANDLE, false, input) ||
            !standardHandle(options.output, STD_OUTPUT_HANDLE, true, output) ||
            !standardHandle(options.error, STD_ERROR_HANDLE, true, error))
            return false;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input.get();
        startup.hStdOutput = output.get();
        startup.hStdError = error.get();
    }
    std::string line = commandLine(program, words, options.wordsAsGiven);
    std::string environment =
        options.environment.empty() ? std::string() : environmentWith(options.environment);
    PROCESS_INFORMATION process{};
    const bool plain = options.elevation != ChildOptions::Elevation::always &&
                       CreateProcessA(path.c_str(), &line[0], nullptr, nullptr, redirected ? TRUE : FALSE, 0,
                                      environment.empty() ? nullptr : &environment[0],
                                      options.directory.empty() ? nullptr : options.directory.c_str(), &startup,
                                      &process);
    if (plain) {
        CloseHandle(process.hThread);
    } else {
        // A program marked for administrators is refused by CreateProcess;
        // the shell can start it after asking the user.
        const bool elevate = options.elevation == ChildOptions::Elevation::always ||
                             (options.elevation == ChildOptions::Elevation::whenRequired &&
                              GetLastError() == kElevationRequired);
        if (!elevate)
            return false;
        process.hProcess = startElevated(path, words, options);
        if (process.hProcess == nullptr)
            return false;
        process.dwProcessId = GetProcessId(process.hProcess);
    }
    process_ = reinterpret_cast<intptr_t>(process.hProcess);
    id_ = static_cast<int>(process.dwProcessId);
    ended_ = false;
    return true;
}

int ChildProcess::wait(uint32_t timeoutMs) {
    if (process_ < 0)
        return kRunNotStarted;
    if (ended_)
        return status_;
    auto process = reinterpret_cast<HANDLE>(process_);
    DWORD waited = WaitForSingleObject(process, timeoutMs == kForever ? INFINITE : timeoutMs);
    if (waited == WAIT_TIMEOUT)
        return kStillRunning;
    DWORD code = 0;
    ended_ = true;
    // Exception codes (0xC0000005 and the like, and the one `kill` leaves)
    // mean the program crashed or was ended; other codes keep their low
    // byte, as a POSIX exit status does.
    if (waited != WAIT_OBJECT_0 || !GetExitCodeProcess(process, &code) || code >= 0xC0000000u)
        status_ = kRunAbnormalEnd;
    else
        status_ = static_cast<int>(code & 0xFFu);
    return status_;
}

void ChildProcess::kill() {
    if (process_ >= 0 && !ended_)
        TerminateProcess(reinterpret_cast<HANDLE>(process_), STATUS_CONTROL_C_EXIT);
}

} // namespace platform
