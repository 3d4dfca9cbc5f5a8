#include "platform/HardwareSources.h"

namespace platform {

bool parseGlslVersion(const std::string& text, int& major, int& minor) {
    for (size_t i = 0; i + 2 < text.size(); ++i) {
        auto digit = [&](size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '9'; };
        if (!digit(i) || (i > 0 && digit(i - 1)))
            continue;
        size_t at = i;
        int whole = 0;
        while (digit(at) && whole < 1000)
            whole = whole * 10 + (text[at++] - '0');
        if (at >= text.size() || text[at] != '.' || !digit(at + 1))
            continue;
        ++at;
        int hundredths = (text[at++] - '0') * 10;
        if (digit(at))
            hundredths += text[at] - '0';
        major = whole;
        minor = hundredths;
        return true;
    }
    return false;
}

int shaderMajorForGlsl(int major, int minor) {
    auto atLeast = [&](int wantMajor, int wantMinor) {
        return major > wantMajor || (major == wantMajor && minor >= wantMinor);
    };
    if (atLeast(4, 0))
        return 5;
    if (atLeast(1, 50))
        return 4;
    if (atLeast(1, 20))
        return 3;
    if (atLeast(1, 10))
        return 2;
    return 0;
}

} // namespace platform
