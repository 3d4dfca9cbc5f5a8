#pragma once
// What the POSIX services' tests change for a scope: the environment (the
// current directory: testkit::ScopedDirectory of tests/common/TempDir.h).
#include "tests/common/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace testkit {

/// Sets an environment variable for the life of the object and puts the old
/// value back afterwards (null: unset it).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = getenv(name);
        hadOld_ = old != nullptr;
        if (hadOld_)
            old_ = old;
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv() {
        if (hadOld_)
            setenv(name_.c_str(), old_.c_str(), 1);
        else
            unsetenv(name_.c_str());
    }

private:
    std::string name_;
    std::string old_;
    bool hadOld_ = false;
};

} // namespace testkit
