#include "update/UpdateLocation.h"

UpdateLocation parseUpdateLocation(const std::string& text) {
    UpdateLocation location;
    // A ':' that lies after the first '/' belongs to the path, not to the
    // host, so the host always ends at whichever of the two comes first.
    size_t hostEnd = text.find_first_of(":/");
    location.host = text.substr(0, hostEnd);
    if (hostEnd != std::string::npos && text[hostEnd] == ':') {
        int64_t port = 0;
        for (size_t i = hostEnd + 1; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            port = port * 10 + (text[i] - '0');
            if (port > 65535) {
                port = 0; // no valid port: nothing will be reached
                break;
            }
        }
        location.port = static_cast<int32_t>(port);
    }
    size_t slash = text.find('/');
    if (slash != std::string::npos)
        location.basePath = text.substr(slash);
    return location;
}

UpdateLocation relocatedUpdateLocation(const UpdateLocation& from, const std::string& line) {
    const bool below = line.compare(0, 2, "./") == 0;
    if (!below && line.compare(0, 1, "/") != 0)
        return parseUpdateLocation(line);
    UpdateLocation location = from;
    location.basePath = below ? from.basePath + line.substr(1) : line;
    while (location.basePath.size() > 1 && location.basePath.back() == '/')
        location.basePath.pop_back();
    if (location.basePath == "/")
        location.basePath.clear();
    return location;
}

std::string updateLocationProblem(const std::string& text) {
    const size_t scheme = text.find("://");
    if (scheme == std::string::npos || text.find('/') < scheme)
        return std::string();
    const std::string rest = text.substr(scheme + 3);
    const bool secure = text.compare(0, scheme, "https") == 0;
    return "the update location \"" + text + "\" starts with a scheme; give it as host[:port][/path]: \"" +
           rest + "\"" +
           (secure ? " with the port of the server's plain HTTP (updates are always plain HTTP)"
                   : " (updates are always plain HTTP)");
}
