#include "platform/CodePage.h"

#include <cstdint>

namespace platform {

namespace {

// The characters of 0x80-0x9F. The unassigned bytes (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) keep their own value, as the system's own conversion does.
const uint16_t highControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

// ASCII stand-ins for 0x80-0x9F in Latin-1 output; Latin-1 itself has only
// control characters there.
const char* const highSpellings[32] = {
    "EUR", "?",  ",", "f",  "\"", "...", "+", "+", // 80-87
    "^",   "?",  "S", "<",  "OE", "?",   "Z", "?", // 88-8F
    "?",   "'",  "'", "\"", "\"", "*",   "-", "-", // 90-97
    "~",   "TM", "s", ">",  "oe", "?",   "z", "Y", // 98-9F
};

void appendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string windows1252ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (char ch : text) {
        auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b < 0xA0)
            appendUtf8(out, highControls[b - 0x80]);
        else
            appendUtf8(out, b);
    }
    return out;
}

std::string windows1252ToLatin1(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b < 0xA0)
            out += highSpellings[b - 0x80];
        else
            out += ch;
    }
    return out;
}

} // namespace platform

namespace platform {

std::string utf8ToWindows1252(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        auto b = static_cast<unsigned char>(text[i]);
        uint32_t code = 0;
        size_t length = 1;
        if (b < 0x80) {
            code = b;
        } else if ((b & 0xE0) == 0xC0) {
            length = 2;
        } else if ((b & 0xF0) == 0xE0) {
            length = 3;
        } else if ((b & 0xF8) == 0xF0) {
            length = 4;
        } else {
            out += '?';
            ++i;
            continue;
        }
        if (length > 1) {
            if (i + length > text.size()) {
                out += '?';
                break;
            }
            code = b & (0x7F >> length);
            bool valid = true;
            for (size_t k = 1; k < length; ++k) {
                auto c = static_cast<unsigned char>(text[i + k]);
                valid = valid && (c & 0xC0) == 0x80;
                code = (code << 6) | (c & 0x3F);
            }
            if (!valid) {
                out += '?';
                ++i;
                continue;
            }
        }
        i += length;
        if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
            out += static_cast<char>(code);
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k) {
            if (highControls[k] == code && !(code >= 0x80 && code < 0xA0)) {
                mapped = static_cast<char>(0x80 + k);
                break;
            }
        }
        out += mapped;
    }
    return out;
}

} // namespace platform
