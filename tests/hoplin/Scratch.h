#pragma once
// The scratch installation of the hoplin tests and its file helpers.
#include "tests/common/Files.h"
#include "tests/common/TempDir.h"

#include <cerrno>
#include <filesystem>
#include <string>

namespace hoplintest {

/// A scratch folder that is the current one for its lifetime.
class Scratch {
public:
    const std::string& path() const { return dir_.path(); }

private:
    testkit::TempDir dir_;
    testkit::ScopedDirectory here_{dir_.path()};
};

using testkit::readFile;
using testkit::writeFile;

/// hoplin's log, a text file: the C library of Windows ends its lines with
/// CR LF, read here as LF.
inline std::string logText() {
    return testkit::readText("hoplin.log");
}

inline std::string enoent() {
    return std::to_string(ENOENT);
}

// A destination that cannot be replaced: a folder holding a file, which
// neither a deletion nor a rename can take away.
inline void block(const std::string& path) {
    writeFile(path + "/held", "x");
}

} // namespace hoplintest
