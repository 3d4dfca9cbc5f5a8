#include "platform/Process.h"

#include "platform/win32/CommandLineQuoting.h"
#include "platform/win32/ProcessStart.h"
#include "platform/win32/WidePath.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

bool isFile(const std::string& path) {
    DWORD attributes = GetFileAttributesW(anyLengthPath(plainWidePath(path)).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool hasFolder(const std::string& name) {
    return name.find_first_of("\\/:") != std::string::npos;
}

// The file for `name` in `folder`: the name itself, or with ".exe" added
// when the name has no extension, as the system's own search does.
std::string inFolder(const std::string& folder, const std::string& name) {
    std::string base = folder.empty() ? name : folder + "\\" + name;
    if (isFile(base))
        return base;
    // Only a dot in the file's own name is an extension, not one in a
    // folder before it.
    size_t dot = name.rfind('.');
    size_t separator = name.find_last_of("\\/");
    bool extension = dot != std::string::npos && (separator == std::string::npos || dot > separator);
    if (!extension && isFile(base + ".exe"))
        return base + ".exe";
    return std::string();
}

std::string searchPath(const std::string& name) {
    const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::wstring wide(size, L'\0');
    if (size > 0)
        wide.resize(GetEnvironmentVariableW(L"PATH", &wide[0], size));
    const std::string folders = utf8Of(wide.data(), wide.size());
    size_t start = 0;
    while (start < folders.size()) {
        size_t end = folders.find(';', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string folder = folders.substr(start, end - start);
        if (!folder.empty()) {
            std::string found = inFolder(folder, name);
            if (!found.empty())
                return found;
        }
        start = end + 1;
    }
    return std::string();
}

} // namespace

std::string findProgram(const std::string& program) {
    if (program.empty())
        return std::string();
    if (hasFolder(program))
        return inFolder(std::string(), program);
    std::string local = inFolder(".", program);
    if (!local.empty())
        return local;
    return searchPath(program);
}

std::string findOnPath(const std::string& name) {
    if (name.empty() || hasFolder(name))
        return std::string();
    return searchPath(name);
}

std::string localProgram(const std::string& program) {
    if (program.empty())
        return std::string();
    return inFolder(hasFolder(program) ? std::string() : std::string("."), program);
}

bool replaceProcess(const std::string& program, const std::vector<std::string>& words,
                    StartFailure* failure) {
    const std::string path = localProgram(program);
    if (path.empty()) {
        if (failure != nullptr)
            *failure = startFailureOf(ERROR_FILE_NOT_FOUND);
        return false;
    }
    // The new program reads its words back from one command line, so each
    // is quoted to be read whole: a folder such as "C:\\Program Files
    // (x86)\\Moravo" stays one word.
    std::string line;
    for (const std::string& word : words)
        line += " " + quotedArgument(word);
    ProcessStart start;
    start.program = path;
    start.argumentZero = program;
    start.arguments = wideText(line);
    ownStandardHandles(start.standard);
    // Output still buffered in this process would be lost when it ends, or
    // come after the new program's.
    std::fflush(nullptr);
    PROCESS_INFORMATION process{};
    DWORD error = ERROR_SUCCESS;
    if (!startProcess(start, process, error)) {
        if (failure != nullptr)
            *failure = startFailureOf(error);
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // This process ends here, as an exec would have replaced it: nothing of
    // it runs on beside the new program (no static destructors, no
    // handlers registered to run at exit).
    std::_Exit(0);
}

bool replacementKeepsProcess() {
    return false;
}

int64_t processId() {
    return static_cast<int64_t>(GetCurrentProcessId());
}

bool setEnvironment(const std::string& name, const char* value) {
    // The system's block (read by programs started later and by SDL) and the
    // run-time library's copy (read by getenv) are both kept up to date.
    const std::wstring wideName = wideText(name);
    const std::wstring wideValue = value != nullptr ? wideText(value) : std::wstring();
    bool set = SetEnvironmentVariableW(wideName.c_str(), value != nullptr ? wideValue.c_str() : nullptr) != 0;
    return _wputenv_s(wideName.c_str(), wideValue.c_str()) == 0 && set;
}

} // namespace platform
