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

/// The location a relocation line names, `from` being the one in use: a
/// line that starts with "./" names a folder below `from`'s base path, and
/// one that starts with "/" a path on `from`'s server, both on `from`'s host
/// and port (a publisher need not know the address it is served at); any
/// other line is a location of its own, as `parseUpdateLocation` reads it.
UpdateLocation relocatedUpdateLocation(const UpdateLocation& from, const std::string& line);

/// Why `text` cannot be an update location, with what to give instead; empty
/// when it can be one. A scheme ("http://", "https://") is no part of a
/// location: the updater always speaks plain HTTP.
std::string updateLocationProblem(const std::string& text);
