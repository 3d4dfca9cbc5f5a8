#include "net/UrlEscape.h"

std::string urlEscape(const std::string& text) {
    static const char digits[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 33 && byte <= 126 && byte != '"' && byte != '&' && byte != '?') {
            escaped.push_back(c);
        } else {
            escaped.push_back('%');
            escaped.push_back(digits[byte >> 4]);
            escaped.push_back(digits[byte & 0x0F]);
        }
    }
    return escaped;
}
