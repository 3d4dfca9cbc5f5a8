#include "signing/SignedText.h"

#include <limits>

namespace signedtext {

bool parseDecimal(const std::string& text, int64_t& value) {
    if (text.empty())
        return false;
    int64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        const int digit = c - '0';
        if (result > (std::numeric_limits<int64_t>::max() - digit) / 10)
            return false;
        result = result * 10 + digit;
    }
    value = result;
    return true;
}

bool nextLine(const std::string& text, size_t& pos, std::string& content, bool& ended) {
    if (pos >= text.size())
        return false;
    size_t feed = text.find('\n', pos);
    ended = feed != std::string::npos;
    if (!ended)
        feed = text.size();
    content = text.substr(pos, feed - pos);
    if (ended && !content.empty() && content.back() == '\r')
        content.pop_back();
    pos = ended ? feed + 1 : feed;
    return true;
}

bool valueAfter(const std::string& line, const char* word, std::string& value) {
    const std::string prefix = std::string(word) + " ";
    if (line.compare(0, prefix.size(), prefix) != 0)
        return false;
    value = line.substr(prefix.size());
    return true;
}

} // namespace signedtext
