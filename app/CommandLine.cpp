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
