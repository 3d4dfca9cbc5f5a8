#include "platform/PrivateFile.h"

#include "platform/win32/SystemError.h"

#include <sddl.h>

namespace platform {

namespace {

// A protected access list that lets only the file's owner in.
class OwnerOnly {
public:
    OwnerOnly() {
        attributes_.nLength = sizeof attributes_;
        attributes_.bInheritHandle = FALSE;
        if (ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;FA;;;OW)", SDDL_REVISION_1,
                                                                 &descriptor_, nullptr))
            attributes_.lpSecurityDescriptor = descriptor_;
    }
    OwnerOnly(const OwnerOnly&) = delete;
    OwnerOnly& operator=(const OwnerOnly&) = delete;
    ~OwnerOnly() {
        if (descriptor_ != nullptr)
            LocalFree(descriptor_);
    }
    SECURITY_ATTRIBUTES* get() { return &attributes_; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

// Creates `path` anew and writes the bytes to the disk; answers 0 or the
// system's error code (the file is removed again on failure).
DWORD createPrivate(const std::string& path, const std::string& bytes) {
    OwnerOnly security;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, security.get(), CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD failure = ERROR_SUCCESS;
    size_t done = 0;
    while (failure == ERROR_SUCCESS && done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
        DWORD wrote = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr))
            failure = GetLastError();
        else if (wrote == 0)
            failure = ERROR_WRITE_FAULT;
        done += wrote;
    }
    if (failure == ERROR_SUCCESS && !FlushFileBuffers(file))
        failure = GetLastError();
    CloseHandle(file);
    if (failure != ERROR_SUCCESS)
        DeleteFileA(path.c_str());
    return failure;
}

} // namespace

bool writePrivateFile(const std::string& path, const std::string& bytes, bool replace, std::string& error) {
    error.clear();
    if (!replace) {
        DWORD failure = createPrivate(path, bytes);
        if (failure != ERROR_SUCCESS)
            error = failure == ERROR_FILE_EXISTS ? "the file exists" : systemErrorText(failure);
        return failure == ERROR_SUCCESS;
    }
    const std::string temporary = path + ".moravo-part";
    DeleteFileA(temporary.c_str());
    DWORD failure = createPrivate(temporary, bytes);
    if (failure == ERROR_SUCCESS &&
        !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        failure = GetLastError();
        DeleteFileA(temporary.c_str());
    }
    if (failure != ERROR_SUCCESS)
        error = systemErrorText(failure);
    return failure == ERROR_SUCCESS;
}

} // namespace platform
