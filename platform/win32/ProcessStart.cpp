// Every program the Win32 layer starts is started here.
//   [names]     the program's and the current directory's spelling
//   [handles]   the standard handles, the only ones inherited
//   [failures]  the system's codes read as the platform's problems
#include "platform/win32/ProcessStart.h"

#include "platform/win32/CommandLineQuoting.h"
#include "platform/win32/OwnedHandle.h"
#include "platform/win32/SystemError.h"
#include "platform/win32/WideText.h"

#include <vector>

namespace platform {

namespace {

// [names] -------------------------------------------------------------------

// The longest directory CreateProcessW accepts as a current one: MAX_PATH
// with the backslash the system adds and the NUL.
constexpr size_t kLongestDirectory = MAX_PATH - 2;

// One way to start the program: the file's name for the system, and the
// command line that goes with it.
struct Spelling {
    std::wstring application;
    std::wstring commandLine;
};

// The ways to start the program, in turn. A path of MAX_PATH characters or
// more is refused in the plain form: Windows takes the extended form as the
// application's name whatever the machine's long-path setting (the program
// then sees its path in that form, which programPath() answers plain
// again). Where that is refused too (Wine, which also refuses such a name at
// the head of the command line), the short form serves, extended as well
// (Wine would lengthen a plain one again), when the volume keeps short
// names.
std::vector<Spelling> spellings(const ProcessStart& start) {
    const std::wstring path = plainWidePath(start.program);
    std::vector<Spelling> ways{
        {anyLengthPath(path), wideText(quotedProgramName(start.argumentZero)) + start.arguments}};
    if (path.size() >= MAX_PATH) {
        const std::wstring shortPath = shortWidePath(fullWidePath(path));
        if (!shortPath.empty() && shortPath.size() < MAX_PATH)
            ways.push_back({L"\\\\?\\" + shortPath, L"\"" + shortPath + L"\"" + start.arguments});
    }
    return ways;
}

// CreateProcessW fails for a current directory longer than MAX_PATH,
// whether given or this process's own (a program installed in a deep
// folder): the short form of it is given instead where there is one.
std::wstring directoryFor(const std::string& directory) {
    std::wstring wanted = plainWidePath(directory);
    if (directory.empty()) {
        const DWORD size = GetCurrentDirectoryW(0, nullptr);
        if (size == 0 || size - 1 <= kLongestDirectory)
            return std::wstring();
        wanted.assign(size, L'\0');
        wanted.resize(GetCurrentDirectoryW(size, &wanted[0]));
        if (wanted.size() <= kLongestDirectory)
            return std::wstring();
    } else if (wanted.size() <= kLongestDirectory) {
        return wanted;
    }
    const std::wstring shortPath = shortWidePath(fullWidePath(wanted));
    if (!shortPath.empty() && shortPath.size() <= kLongestDirectory)
        return shortPath;
    return directory.empty() ? std::wstring() : wanted;
}

// [handles] -----------------------------------------------------------------

// The attribute list that names the handles a program inherits. The
// handles' array must outlive the list, which points into it.
class InheritedHandles {
public:
    InheritedHandles() = default;
    InheritedHandles(const InheritedHandles&) = delete;
    InheritedHandles& operator=(const InheritedHandles&) = delete;
    ~InheritedHandles() {
        if (list_ != nullptr)
            DeleteProcThreadAttributeList(list_);
    }

    bool make(const std::vector<HANDLE>& handles) {
        handles_ = handles;
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        if (size == 0)
            return false;
        buffer_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data());
        if (!InitializeProcThreadAttributeList(list, 1, 0, &size))
            return false;
        list_ = list;
        return UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles_.data(),
                                         handles_.size() * sizeof(HANDLE), nullptr, nullptr) != 0;
    }
    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

private:
    std::vector<HANDLE> handles_;
    std::vector<unsigned char> buffer_;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

bool usable(HANDLE handle) {
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

} // namespace

void ownStandardHandles(HANDLE (&standard)[3]) {
    standard[0] = GetStdHandle(STD_INPUT_HANDLE);
    standard[1] = GetStdHandle(STD_OUTPUT_HANDLE);
    standard[2] = GetStdHandle(STD_ERROR_HANDLE);
}

bool startProcess(const ProcessStart& start, PROCESS_INFORMATION& process, DWORD& error) {
    // Inheritable copies of the standard handles, made for this start only:
    // the handles themselves stay private to this process, and with the list
    // below no other inheritable handle of this process crosses over either.
    OwnedHandle copies[3];
    std::vector<HANDLE> inherited;
    for (int i = 0; i < 3; ++i) {
        if (usable(start.standard[i]) &&
            DuplicateHandle(GetCurrentProcess(), start.standard[i], GetCurrentProcess(), copies[i].out(), 0,
                            TRUE, DUPLICATE_SAME_ACCESS))
            inherited.push_back(copies[i].get());
    }
    STARTUPINFOEXW info{};
    info.StartupInfo.cb = sizeof info;
    DWORD flags = start.environment.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT;
    InheritedHandles list;
    if (!inherited.empty()) {
        if (!list.make(inherited)) {
            error = GetLastError();
            return false;
        }
        info.lpAttributeList = list.get();
        flags |= EXTENDED_STARTUPINFO_PRESENT;
        info.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        info.StartupInfo.hStdInput = copies[0].get();
        info.StartupInfo.hStdOutput = copies[1].get();
        info.StartupInfo.hStdError = copies[2].get();
    }
    const std::wstring directory = directoryFor(start.directory);
    std::wstring environment = start.environment;
    error = ERROR_SUCCESS;
    for (Spelling& way : spellings(start)) {
        // CreateProcessW may write into the command line.
        if (CreateProcessW(way.application.c_str(), &way.commandLine[0], nullptr, nullptr,
                           inherited.empty() ? FALSE : TRUE, flags,
                           environment.empty() ? nullptr : &environment[0],
                           directory.empty() ? nullptr : directory.c_str(), &info.StartupInfo, &process))
            return true;
        // The first failure is the one to tell: the others only tried
        // another spelling of the same file.
        if (error == ERROR_SUCCESS)
            error = GetLastError();
    }
    return false;
}

// [failures] ----------------------------------------------------------------

StartFailure startFailureOf(DWORD error) {
    // Codes mingw's headers may lack, as winerror.h numbers them.
    constexpr DWORD kInvalidImageHash = 577;
    constexpr DWORD kElevationRequired = 740;
    constexpr DWORD kNoSaferUiByPolicy = 786;
    constexpr DWORD kVirusInfected = 225;
    constexpr DWORD kVirusDeleted = 226;
    constexpr DWORD kDisabledByPolicy = 1260;
    // Code integrity and its reputation checks (application control, the
    // smart application control of Windows 11) answer from this range.
    constexpr DWORD kSystemIntegrityFirst = 4550;
    constexpr DWORD kSystemIntegrityLast = 4599;

    StartFailure failure;
    failure.code = static_cast<int>(error);
    failure.text = systemErrorText(error);
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        failure.problem = StartProblem::missing;
        break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        failure.problem = StartProblem::accessDenied;
        break;
    case ERROR_BAD_FORMAT:
    case ERROR_BAD_EXE_FORMAT:
    case ERROR_EXE_MARKED_INVALID:
    case ERROR_INVALID_EXE_SIGNATURE:
    case ERROR_EXE_MACHINE_TYPE_MISMATCH:
        failure.problem = StartProblem::notAProgram;
        break;
    case kVirusInfected:
    case kVirusDeleted:
        failure.problem = StartProblem::blockedByAntivirus;
        break;
    case kInvalidImageHash:
    case kNoSaferUiByPolicy:
    case kDisabledByPolicy:
        failure.problem = StartProblem::blockedByPolicy;
        break;
    case kElevationRequired:
        failure.problem = StartProblem::needsElevation;
        break;
    default:
        failure.problem = error >= kSystemIntegrityFirst && error <= kSystemIntegrityLast
                              ? StartProblem::blockedByPolicy
                              : StartProblem::other;
        break;
    }
    return failure;
}

} // namespace platform
