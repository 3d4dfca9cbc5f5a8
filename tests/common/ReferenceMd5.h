#pragma once
#include <string>

namespace nettest {

/// The MD5 digest of `bytes` in lower-case hexadecimal, computed by OpenSSL:
/// a known answer made without the launcher's own MD5.
std::string referenceMd5(const std::string& bytes);

} // namespace nettest
