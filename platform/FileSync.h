#pragma once
#include <cstdio>

namespace platform {

/// Writes the stream's buffered bytes and asks the system to put the file's
/// contents on the disk before answering, so that a rename done afterwards
/// never exposes a file whose bytes were lost in a power cut. False when a
/// write or the flush failed.
bool syncFile(std::FILE* file);

} // namespace platform
