#pragma once
#include <optional>
#include <string>

namespace app {

/// Where the web service and the update server are, from "ZEP_client.xml".
struct ConnectionConfig {
    std::string address;
    int port = 0;
    bool tls = false;
    /// A PEM file of certificate authorities to trust instead of the
    /// system's (attribute "ca" of "server"), as written in the file.
    std::string caFile;
    std::string updateUrl;
    /// The public key that published updates must be signed with
    /// (attribute "key" of "update", base64), as written in the file. No
    /// value: updates are unsigned. A value that is not a key makes every
    /// update fail; it never means unsigned.
    std::optional<std::string> updateKey;

    /// Reads the file; false when it cannot be opened or parsed or has no
    /// root element. Later elements override earlier ones; absent
    /// attributes keep the current value.
    bool read(const std::string& path = "ZEP_client.xml");

    /// The `caFile` to open: an absolute path (on Windows "C:\\..." and
    /// "\\\\server\\..." too) as it stands, a relative one inside `folder`;
    /// empty when no file is named.
    std::string caPathIn(const std::string& folder) const;
};

} // namespace app
