#pragma once
#include <cstddef>
#include <string>

/// Base64 with the standard alphabet ('+' and '/') and '=' padding.
std::string base64Encode(const void* data, size_t length);
inline std::string base64Encode(const std::string& bytes) {
    return base64Encode(bytes.data(), bytes.size());
}

/// Decodes the canonical form only: a length that is a multiple of four,
/// padding only at the end, unused bits zero, nothing else (no blanks or line
/// breaks). Any other text answers false and leaves `bytes` empty, so that
/// one value has exactly one spelling.
bool base64Decode(const std::string& text, std::string& bytes);
