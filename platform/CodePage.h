#pragma once
#include <string>

namespace platform {

/// Converts text in the Windows-1252 code page (the 8-bit texts of message
/// boxes) to UTF-8. Every byte maps to one character: 0x80-0x9F to the
/// typographic signs of that code page (0x80 is the euro sign), the five
/// bytes it leaves unassigned to the C1 control of the same value, and
/// 0xA0-0xFF to the Latin-1 letter of the same value.
std::string windows1252ToUtf8(const std::string& text);

/// Converts text in the Windows-1252 code page to Latin-1, for programs that
/// cannot show UTF-8. The signs of 0x80-0x9F become their closest ASCII
/// spelling ("EUR", quotes, dashes, "...") or "?".
std::string windows1252ToLatin1(const std::string& text);

} // namespace platform

namespace platform {

/// Converts UTF-8 to the Windows-1252 code page; characters the code page
/// lacks (and broken sequences) become "?".
std::string utf8ToWindows1252(const std::string& text);

} // namespace platform
