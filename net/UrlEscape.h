#pragma once
#include <string>

/// Escapes a URL path for a request line: bytes 33..126 stay as they are,
/// except '"', '&' and '?'; every other byte becomes '%' and two upper-case
/// hex digits. '/', '%', '#' and '+' are kept.
std::string urlEscape(const std::string& text);
