#include "app/CommandLine.h"

#include <algorithm>

namespace app {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

int splitCommandLine(char* line, char** words, int max) {
    if (line == nullptr || *line == '\0') {
        if (words != nullptr && max >= 1)
            words[0] = nullptr;
        return 0;
    }
    int count = 0;
    char* p = line;
    while (*p != '\0') {
        while (isBlank(*p))
            ++p;
        if (*p == '\0')
            break;
        char* start;
        if (*p == '"') {
            ++p;
            if (*p == '\0')
                break; // a lone quote at the end is no word
            start = p;
            while (*p != '\0' && !(*p == '"' && p[-1] != '\\'))
                ++p;
        } else {
            start = p;
            while (*p != '\0' && !isBlank(*p))
                ++p;
        }
        if (count < max && words != nullptr)
            words[count] = start;
        ++count;
        if (*p == '\0')
            break;
        if (count < max)
            *p = '\0';
        ++p;
    }
    if (count < max && words != nullptr)
        words[count] = nullptr;
    return count;
}

const char* argumentsOf(const char* commandLine) {
    const char* p = commandLine;
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"')
            ++p;
        if (*p == '"')
            ++p;
    } else {
        while (*p != '\0' && !isBlank(*p))
            ++p;
    }
    while (isBlank(*p))
        ++p;
    return p;
}

std::vector<std::string> commandLineWords(const std::string& commandLine, int max) {
    std::string line = argumentsOf(commandLine.c_str());
    std::vector<char*> words(static_cast<size_t>(std::max(max, 0)) + 1, nullptr);
    int count = std::min(splitCommandLine(&line[0], words.data(), max), max);
    return std::vector<std::string>(words.begin(), words.begin() + count);
}

std::vector<std::string> limitWords(const std::vector<std::string>& words, size_t max) {
    if (words.size() <= max || max == 0)
        return std::vector<std::string>(words.begin(), words.begin() + std::min(words.size(), max));
    std::vector<std::string> limited(words.begin(), words.begin() + (max - 1));
    std::string rest = words[max - 1];
    for (size_t i = max; i < words.size(); ++i)
        rest += " " + words[i];
    limited.push_back(rest);
    return limited;
}

} // namespace app
