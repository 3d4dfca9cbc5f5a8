#pragma once
#include <string>

namespace app {

/// The stored form of "user:password": the character at position i is
/// shifted up by (i + 1) mod 10, modulo 256. Not encryption: it only keeps
/// the text from being read at a glance.
std::string encodeCredentials(const std::string& userName, const std::string& password);

/// Undoes the shift and splits at the first ":" (a password may hold ":";
/// a user name may not). Without ":" both are empty.
void decodeCredentials(const std::string& stored, std::string& userName, std::string& password);

/// The shift alone, both ways.
std::string shiftText(const std::string& text, int direction);

} // namespace app
