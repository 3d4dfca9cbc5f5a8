#pragma once
// Small text helpers the libraries share.
#include <string>

namespace support {

/// True when `text` ends with `tail`.
inline bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace support
