#include "app/Credentials.h"

namespace app {

std::string shiftText(const std::string& text, int direction) {
    std::string out = text;
    for (size_t i = 0; i < out.size(); ++i) {
        int shift = static_cast<int>((i + 1) % 10) * direction;
        out[i] = static_cast<char>(static_cast<unsigned char>(out[i]) + shift);
    }
    return out;
}

std::string encodeCredentials(const std::string& userName, const std::string& password) {
    return shiftText(userName + ":" + password, +1);
}

void decodeCredentials(const std::string& stored, std::string& userName, std::string& password) {
    userName.clear();
    password.clear();
    std::string plain = shiftText(stored, -1);
    size_t colon = plain.find(':');
    if (colon == std::string::npos)
        return;
    userName = plain.substr(0, colon);
    password = plain.substr(colon + 1);
}

} // namespace app
