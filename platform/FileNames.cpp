// The names Windows cannot hold, the same on every system.
#include "platform/FileSystem.h"

#include <cstring>

namespace platform {

namespace {

char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Windows opens these devices in every folder, whatever follows the first
// dot: "nul.txt" and "Com1.tar.gz" are devices, not files.
bool isDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    for (char& c : stem)
        c = upperAscii(c);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (stem == device)
            return true;
    }
    if (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0)
        return false;
    const std::string number = stem.substr(3);
    // The superscript digits one to three count as digits here.
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

// The form of the short names Windows gives long ones on volumes that keep
// them ("PROGRA~1", "ABCDEF~1.DAT"): a base of at most eight characters
// ending in "~" and digits, and an extension of at most three. A file
// written under such a name may replace the long-named file it stands for.
bool isShortNameForm(const std::string& name) {
    const size_t dot = name.find('.');
    if (dot != std::string::npos && name.find('.', dot + 1) != std::string::npos)
        return false;
    const std::string base = name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    const auto characters = [](const std::string& text) {
        size_t count = 0;
        for (unsigned char c : text)
            count += (c & 0xC0) != 0x80 ? 1 : 0;
        return count;
    };
    if (characters(base) > 8 || characters(extension) > 3)
        return false;
    size_t digits = 0;
    while (digits < base.size() && base[base.size() - 1 - digits] >= '0' &&
           base[base.size() - 1 - digits] <= '9')
        ++digits;
    return digits > 0 && digits < base.size() && base[base.size() - 1 - digits] == '~';
}

} // namespace

const char* windowsNameProblem(const std::string& name) {
    if (name.empty())
        return nullptr;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F)
            return "a control character";
        if (c == ':')
            return "a colon (on Windows it names a hidden stream of another file)";
        if (std::strchr("<>\"|?*\\", c) != nullptr)
            return "a character Windows forbids in names";
    }
    if (name.back() == '.' || name.back() == ' ')
        return "a name ending in a dot or a blank (Windows drops them and reaches another file)";
    if (isDeviceName(name))
        return "a device name Windows reserves (CON, PRN, AUX, NUL, COM1, LPT1 and the like)";
    if (isShortNameForm(name))
        return "a name in the form of Windows' short names (such as ABCDEF~1.DAT), which can name another "
               "file on a volume that keeps short names";
    return nullptr;
}

} // namespace platform
