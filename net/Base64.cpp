#include "net/Base64.h"

#include <cstdint>

namespace {

const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int valueOf(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

std::string base64Encode(const void* data, size_t length) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::string text;
    text.reserve((length + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        const uint32_t group = (uint32_t(bytes[i]) << 16) | (uint32_t(bytes[i + 1]) << 8) | bytes[i + 2];
        text += alphabet[(group >> 18) & 63];
        text += alphabet[(group >> 12) & 63];
        text += alphabet[(group >> 6) & 63];
        text += alphabet[group & 63];
    }
    if (i < length) {
        uint32_t group = uint32_t(bytes[i]) << 16;
        if (i + 1 < length)
            group |= uint32_t(bytes[i + 1]) << 8;
        text += alphabet[(group >> 18) & 63];
        text += alphabet[(group >> 12) & 63];
        text += i + 1 < length ? alphabet[(group >> 6) & 63] : '=';
        text += '=';
    }
    return text;
}

bool base64Decode(const std::string& text, std::string& bytes) {
    bytes.clear();
    if (text.size() % 4 != 0)
        return false;
    std::string out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int padding = 0;
        if (last && text[i + 3] == '=')
            padding = text[i + 2] == '=' ? 2 : 1;
        int v[4] = {0, 0, 0, 0};
        for (int k = 0; k < 4 - padding; ++k) {
            v[k] = valueOf(text[i + k]);
            if (v[k] < 0)
                return false;
        }
        const uint32_t group = (uint32_t(v[0]) << 18) | (uint32_t(v[1]) << 12) | (uint32_t(v[2]) << 6) | v[3];
        // Bits that the padding leaves over must be zero, or a second text
        // would decode to the same bytes.
        if ((padding == 1 && (group & 0xFF) != 0) || (padding == 2 && (group & 0xFFFF) != 0))
            return false;
        out += static_cast<char>((group >> 16) & 0xFF);
        if (padding < 2)
            out += static_cast<char>((group >> 8) & 0xFF);
        if (padding < 1)
            out += static_cast<char>(group & 0xFF);
    }
    bytes = std::move(out);
    return true;
}
