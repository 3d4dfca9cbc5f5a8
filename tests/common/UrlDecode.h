#pragma once
// The loopback servers' reading of a request's path.
#include <cstdlib>
#include <string>

namespace testkit {

/// `path` with each "%XX" turned back into its byte.
inline std::string urlDecoded(const std::string& path) {
    std::string out;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size()) {
            out.push_back(static_cast<char>(std::strtol(path.substr(i + 1, 2).c_str(), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(path[i]);
        }
    }
    return out;
}

} // namespace testkit
