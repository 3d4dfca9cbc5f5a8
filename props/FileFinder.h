#pragma once
#include <string>
#include <string_view>

/// Turns file names into the paths to open. This base takes every name as
/// it is; the resource cache overrides it to look in its own directory.
class FileFinder {
public:
    virtual ~FileFinder();
    /// Stores in `path` the file to open for `name`. `extra`, when given,
    /// may receive a part of the name that is not the file's (the base
    /// leaves it untouched).
    virtual void resolve(std::string& path, std::string_view name, std::string* extra) const;
};
