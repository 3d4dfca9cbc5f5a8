#pragma once
#include <cstdint>
#include <string>

/// Where the published files lie: an HTTP host, its port and the base path
/// that every request path starts with.
struct UpdateLocation {
    std::string host;
    int32_t port = 80;
    /// Empty, or starting with '/'; a request path is basePath + "/" + name.
    std::string basePath;
};

/// Parses host[:port][/path]. The host ends at the first ':' or '/'; a ':'
/// there is followed by the port in decimal (80 without one); the base path
/// runs from the first '/' to the end (empty without one).
UpdateLocation parseUpdateLocation(const std::string& text);

/// Why `text` cannot be an update location, with what to give instead; empty
/// when it can be one. A scheme ("http://", "https://") is no part of a
/// location: the updater always speaks plain HTTP.
std::string updateLocationProblem(const std::string& text);
