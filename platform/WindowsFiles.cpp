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

} // namespace platform
