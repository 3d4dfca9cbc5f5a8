// How Windows describes the installation's files, the same on every system.
#include "platform/WindowsFiles.h"

namespace platform {

FileKind windowsEntryKind(uint32_t attributes, uint32_t reparseTag) {
    if ((attributes & attributeReparsePoint) != 0) {
        // Symbolic links, junctions, mount points and the Linux subsystem's
        // links carry the surrogate bit. Wine shows a Unix link with the
        // reparse bit and no tag.
        if (reparseTag == reparseTagUnknown || (reparseTag & reparseTagNameSurrogate) != 0 ||
            reparseTag == reparseTagAppExecutionLink)
            return FileKind::link;
    }
    if ((attributes & attributeDirectory) != 0)
        return FileKind::directory;
    // Devices and the like never show in a listing of a folder.
    return FileKind::file;
}

std::wstring extendedLengthPath(const std::wstring& fullPath) {
    const auto separator = [&](size_t at) { return fullPath.size() > at && fullPath[at] == L'\\'; };
    // "\\?\..." is already extended; "\\.\..." names a device.
    if (separator(0) && separator(1) && fullPath.size() > 3 && (fullPath[2] == L'?' || fullPath[2] == L'.') &&
        separator(3))
        return fullPath;
    if (separator(0) && separator(1))
        return L"\\\\?\\UNC\\" + fullPath.substr(2);
    const bool drive =
        fullPath.size() >= 3 && fullPath[1] == L':' && separator(2) &&
        ((fullPath[0] >= L'A' && fullPath[0] <= L'Z') || (fullPath[0] >= L'a' && fullPath[0] <= L'z'));
    return drive ? L"\\\\?\\" + fullPath : fullPath;
}

} // namespace platform
