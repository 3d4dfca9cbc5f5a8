// Hands off as the launcher and hoplin do: replaces itself, through the
// platform's hand-off, with the program named on the first line of
// "relay.txt" in its current folder, giving it the words of the lines after.
// It reads the list through a handle any started program could inherit,
// and names that handle in MORAVO_HANDLE, so that the program can tell
// whether it crossed over.
#include "platform/Process.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

int main() {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE list = CreateFileW(L"relay.txt", GENERIC_READ, FILE_SHARE_READ, &inheritable, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (list == INVALID_HANDLE_VALUE)
        return 2;
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(list, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    if (lines.empty() || lines[0].empty())
        return 2;
    platform::setEnvironment("MORAVO_HANDLE", std::to_string(reinterpret_cast<uintptr_t>(list)).c_str());
    platform::StartFailure failure;
    platform::replaceProcess(lines[0], std::vector<std::string>(lines.begin() + 1, lines.end()), &failure);
    std::fprintf(stderr, "relay: %d %s\n", failure.code, failure.text.c_str());
    return 3;
}
