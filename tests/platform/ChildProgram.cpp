// A child for the process tests. "wait" waits until it is killed; "count"
// ends with the number of its arguments (its name included). A number
// as the first word: it prints its current folder, the words after the
// number each in brackets, and MORAVO_CHILD, copies its standard input to
// standard error, and ends with that number. "report": it prints its own
// path, its current folder, the words after "report" each in brackets,
// whether the handle named by MORAVO_HANDLE (a file "relay.txt" open in
// the program that started it) reached it, whether its own file opens by
// the narrow spelling given to libraries, the system's 8-bit code page, and
// "done"; it ends with 0. Words and paths are UTF-8.
#include "platform/Directory.h"
#include "platform/NarrowPath.h"
#include "platform/ProgramPath.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Whether the handle MORAVO_HANDLE names is open here on "relay.txt": the
// file's name is asked for, since another handle of this process may have
// the same value.
const char* inheritedHandle() {
    const char* value = std::getenv("MORAVO_HANDLE");
    if (value == nullptr)
        return "none";
#ifdef _WIN32
    auto handle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::strtoull(value, nullptr, 10)));
    wchar_t name[1024] = {};
    const DWORD length = GetFinalPathNameByHandleW(handle, name, 1024, 0);
    if (length > 0 && length < 1024 && std::wstring(name).find(L"relay.txt") != std::wstring::npos)
        return "inherited";
#endif
    return "closed";
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> words = platform::programArguments(argc, argv);
    if (words.size() < 2)
        return 100;
    if (words[1] == "wait") {
        for (;;)
            std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    if (words[1] == "count")
        return static_cast<int>(words.size());
    const bool report = words[1] == "report";
    if (report)
        std::printf("program %s\n", platform::programPath().c_str());
    std::printf("%s\n", platform::currentDirectory().c_str());
    for (size_t i = 2; i < words.size(); ++i)
        std::printf("[%s]\n", words[i].c_str());
    if (report) {
        const std::string narrow = platform::narrowPath(platform::programPath());
        std::FILE* own = narrow.empty() ? nullptr : std::fopen(narrow.c_str(), "rb");
        std::printf("handle %s\nnarrow %s\n", inheritedHandle(), own != nullptr ? "opens" : "fails");
        if (own != nullptr)
            std::fclose(own);
#ifdef _WIN32
        std::printf("code page %u\n", GetACP());
#endif
        std::printf("done\n");
        return 0;
    }
    const char* value = std::getenv("MORAVO_CHILD");
    std::printf("%s\n", value != nullptr ? value : "(unset)");
    for (int c = std::getchar(); c != EOF; c = std::getchar())
        std::fputc(c, stderr);
    return std::atoi(words[1].c_str());
}
