#pragma once
#include <string>
#include <vector>

namespace platform {

/// The certificates of the authorities this system trusts for TLS that the
/// TLS library cannot find by itself, each in DER form. On Windows these
/// are the certificates of the "ROOT" store (the user's and the machine's,
/// as the system merges them), which OpenSSL's default paths never read.
/// Elsewhere none: OpenSSL's default paths are the system's own store.
std::vector<std::string> systemRootCertificates();

} // namespace platform
