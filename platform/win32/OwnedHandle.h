#pragma once
// A kernel handle this code owns: closed when the owner goes.
#include <windows.h>

namespace platform {

class OwnedHandle {
public:
    OwnedHandle() = default;
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    ~OwnedHandle() {
        if (valid())
            CloseHandle(handle_);
    }
    /// Where a call that makes a handle stores it.
    HANDLE* out() { return &handle_; }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_ = nullptr;
};

} // namespace platform
