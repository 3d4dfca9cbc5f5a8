#include "platform/ChildProcess.h"

#include "platform/win32/CommandLineQuoting.h"
#include "platform/win32/OwnedHandle.h"
#include "platform/win32/ProcessStart.h"
#include "platform/win32/WidePath.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <cwchar>
#include <shellapi.h>

namespace platform {

namespace {

// ERROR_ELEVATION_REQUIRED, which mingw's headers lack.
constexpr DWORD kElevationRequired = 740;

// The file named for one of the child's standard handles (the start makes
// its inheritable copy).
bool openStandardFile(const std::string& file, bool writing, OwnedHandle& handle) {
    *handle.out() = CreateFileW(widePath(file).c_str(), writing ? GENERIC_WRITE : GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                writing ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle.valid();
}

std::string argumentsOf(const std::vector<std::string>& words, bool asGiven) {
    std::string line;
    for (const std::string& word : words)
        line += " " + (asGiven ? word : quotedArgument(word));
    return line;
}

std::wstring nameOf(const std::wstring& setting) {
    std::wstring name = setting.substr(0, setting.find(L'=', 1));
    for (wchar_t& c : name)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    return name;
}

// This process's environment block with `settings` laid over it (names
// match without regard to case, as the system's do).
std::wstring environmentWith(const std::vector<std::string>& settings) {
    std::vector<std::wstring> wide;
    for (const std::string& setting : settings)
        wide.push_back(wideText(setting));
    std::wstring block;
    wchar_t* own = GetEnvironmentStringsW();
    for (const wchar_t* entry = own; entry != nullptr && *entry != L'\0'; entry += wcslen(entry) + 1) {
        const std::wstring name = nameOf(entry);
        bool replaced = false;
        for (const std::wstring& setting : wide)
            replaced = replaced || nameOf(setting) == name;
        if (!replaced)
            block.append(entry).push_back(L'\0');
    }
    if (own != nullptr)
        FreeEnvironmentStringsW(own);
    for (const std::wstring& setting : wide)
        block.append(setting).push_back(L'\0');
    block.push_back(L'\0');
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
    const std::wstring file = plainWidePath(path);
    const std::wstring wideParameters = wideText(parameters);
    const std::wstring directory = plainWidePath(options.directory);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"runas";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : wideParameters.c_str();
    info.lpDirectory = options.directory.empty() ? nullptr : directory.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info))
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
    ProcessStart start;
    start.program = path;
    start.argumentZero = program;
    start.arguments = wideText(argumentsOf(words, options.wordsAsGiven));
    start.directory = options.directory;
    if (!options.environment.empty())
        start.environment = environmentWith(options.environment);
    // The child shares this process's standard handles unless files are
    // named for them; nothing else it inherits.
    ownStandardHandles(start.standard);
    OwnedHandle files[3];
    const std::string* named[3] = {&options.input, &options.output, &options.error};
    for (int i = 0; i < 3; ++i) {
        if (named[i]->empty())
            continue;
        if (!openStandardFile(*named[i], i > 0, files[i])) {
            startError_ = static_cast<int>(GetLastError());
            return false;
        }
        start.standard[i] = files[i].get();
    }
    PROCESS_INFORMATION process{};
    DWORD error = ERROR_SUCCESS;
    const bool plain =
        options.elevation != ChildOptions::Elevation::always && startProcess(start, process, error);
    if (plain) {
        CloseHandle(process.hThread);
    } else {
        // A program marked for administrators is refused by CreateProcess;
        // the shell can start it after asking the user.
        const bool elevate =
            options.elevation == ChildOptions::Elevation::always ||
            (options.elevation == ChildOptions::Elevation::whenRequired && error == kElevationRequired);
        startError_ = static_cast<int>(error);
        if (!elevate)
            return false;
        process.hProcess = startElevated(path, words, options);
        if (process.hProcess == nullptr)
            return false;
        startError_ = 0;
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

void ChildProcess::release() {
    // Closing the handle leaves the process running: only this process's
    // hold on it ends.
    if (process_ >= 0)
        CloseHandle(reinterpret_cast<HANDLE>(process_));
    process_ = -1;
    ended_ = false;
    status_ = kRunNotStarted;
}

} // namespace platform
