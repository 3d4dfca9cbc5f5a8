#include "support/Utf.h"

namespace support {

int utf8ToUtf16(const char* in, uint16_t* out, int max) {
    if (in == nullptr || out == nullptr)
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(in);
    int count = 0;
    while (count < max && *p != 0) {
        unsigned lead = *p;
        if (lead < 0x80) {
            out[count++] = static_cast<uint16_t>(lead);
            p += 1;
        } else if ((lead & 0xE0) == 0xC0 && p[1] != 0) {
            out[count++] = static_cast<uint16_t>(((lead & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
        } else if ((lead & 0xF0) == 0xE0 && p[1] != 0 && p[2] != 0) {
            out[count++] =
                static_cast<uint16_t>(((lead & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            p += 3;
        } else {
            break;
        }
    }
    return count;
}

void utf16ToUtf8(const uint16_t* in, std::string& out) {
    if (in == nullptr)
        return;
    for (; *in != 0; ++in) {
        unsigned u = *in;
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
}

} // namespace support
