#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The line reading shared by the signed files of a publication (the
// signature files and the key rotation record): strict words, decimal
// numbers, and the exact bytes of each line kept for the signature.
namespace signedtext {

/// Decimal digits only, within the signed 64-bit range.
bool parseDecimal(const std::string& text, int64_t& value);

/// One line from `pos`: `content` without its line end (a line feed,
/// optionally after a carriage return), `pos` moved past it. `ended` tells
/// whether a line feed closed it. False at the end of the text.
bool nextLine(const std::string& text, size_t& pos, std::string& content, bool& ended);

/// "word value": the value after the word and one blank.
bool valueAfter(const std::string& line, const char* word, std::string& value);

} // namespace signedtext
