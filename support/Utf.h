#pragma once
#include <cstdint>
#include <string>

namespace support {

/// Converts zero-terminated UTF-8 (up to three-byte sequences) to 16-bit
/// units, at most `max` of them; no terminator is written. Conversion stops
/// at the terminator or at a byte that cannot start a sequence there (a
/// stray continuation byte, a four-byte lead, a sequence cut by the end).
/// Answers the number of units written.
int utf8ToUtf16(const char* in, uint16_t* out, int max);

/// Appends zero-terminated 16-bit units to `out` as UTF-8; nothing for a
/// null input. Surrogate pairs are not combined.
void utf16ToUtf8(const uint16_t* in, std::string& out);

} // namespace support
