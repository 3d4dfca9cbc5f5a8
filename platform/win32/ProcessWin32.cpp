#include "platform/Process.h"

#include "platform/win32/CommandLineQuoting.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <process.h>

namespace platform {

namespace {

bool isFile(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
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
    DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
    std::string folders(size, '\0');
    if (size > 0)
        folders.resize(GetEnvironmentVariableA("PATH", &folders[0], size));
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

bool replaceProcess(const std::string& program, const std::vector<std::string>& words, std::string* why) {
    std::string path = findProgram(program);
    if (path.empty()) {
        if (why != nullptr)
            *why = "no such program";
        return false;
    }
    // The run-time library joins the words with blanks into the new
    // process's command line, so each is quoted here to be read back whole:
    // a folder such as "C:\\Program Files (x86)\\Moravo" stays one word.
    std::vector<std::string> quoted{quotedProgramName(program)};
    for (const std::string& word : words)
        quoted.push_back(quotedArgument(word));
    std::vector<const char*> argv;
    for (const std::string& word : quoted)
        argv.push_back(word.c_str());
    argv.push_back(nullptr);
    // Output still buffered in this process would be lost when it ends.
    fflush(nullptr);
    // The run-time library starts the program and ends this process.
    _execv(path.c_str(), argv.data());
    if (why != nullptr)
        *why = std::strerror(errno);
    return false;
}

bool setEnvironment(const std::string& name, const char* value) {
    // The system's block (read by programs started later and by SDL) and the
    // run-time library's copy (read by getenv) are both kept up to date.
    bool set = SetEnvironmentVariableA(name.c_str(), value) != 0;
    return _putenv_s(name.c_str(), value != nullptr ? value : "") == 0 && set;
}

} // namespace platform
