#include "platform/PrivateFile.h"

#include "platform/win32/SystemError.h"
#include "platform/win32/WidePath.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

namespace platform {

namespace {

// The current user's security identifier, in its text form ("S-1-5-...");
// empty when the system does not tell it.
std::string currentUserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return std::string();
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    std::string text;
    char* sid = nullptr;
    if (size > 0 && GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
        text = sid;
        LocalFree(sid);
    }
    CloseHandle(token);
    return text;
}

// A protected access list that lets only the current user, the file's
// owner, in. The user is named by identity rather than as "owner rights":
// Wine does not know that identity and would leave the file closed to its
// owner as well.
class OwnerOnly {
public:
    OwnerOnly() {
        attributes_.nLength = sizeof attributes_;
        attributes_.bInheritHandle = FALSE;
        const std::string user = currentUserSid();
        const std::string list = "D:P(A;;FA;;;" + (user.empty() ? std::string("OW") : user) + ")";
        if (ConvertStringSecurityDescriptorToSecurityDescriptorA(list.c_str(), SDDL_REVISION_1, &descriptor_,
                                                                 nullptr))
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

// True when `who` is one of `names` (identities in their text form).
bool isOneOf(PSID who, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        PSID sid = nullptr;
        if (!name.empty() && ConvertStringSidToSidA(name.c_str(), &sid)) {
            const bool same = EqualSid(who, sid) != 0;
            LocalFree(sid);
            if (same)
                return true;
        }
    }
    return false;
}

// Creates `path` anew and writes the bytes to the disk; answers 0 or the
// system's error code (the file is removed again on failure).
DWORD createPrivate(const std::string& path, const std::string& bytes) {
    OwnerOnly security;
    HANDLE file = CreateFileW(widePath(path).c_str(), GENERIC_WRITE, 0, security.get(), CREATE_NEW,
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
        DeleteFileW(widePath(path).c_str());
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
    DeleteFileW(widePath(temporary).c_str());
    DWORD failure = createPrivate(temporary, bytes);
    if (failure == ERROR_SUCCESS && !MoveFileExW(widePath(temporary).c_str(), widePath(path).c_str(),
                                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        failure = GetLastError();
        DeleteFileW(widePath(temporary).c_str());
    }
    if (failure != ERROR_SUCCESS)
        error = systemErrorText(failure);
    return failure == ERROR_SUCCESS;
}

bool isPrivateFile(const std::string& path) {
    PSID owner = nullptr;
    PACL access = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring name = widePath(path);
    if (GetNamedSecurityInfoW(name.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                              &access, nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    // Every entry lets in the owner (by identity, as the current user or as
    // "owner rights") or the system itself, which Wine always lists.
    char* ownerText = nullptr;
    std::vector<std::string> allowed = {currentUserSid(), "S-1-3-4", "S-1-5-18"};
    if (ConvertSidToStringSidA(owner, &ownerText)) {
        allowed.push_back(ownerText);
        LocalFree(ownerText);
    }
    bool only = access != nullptr;
    for (DWORD i = 0; only && i < access->AceCount; ++i) {
        void* entry = nullptr;
        only = GetAce(access, i, &entry) &&
               static_cast<ACE_HEADER*>(entry)->AceType == ACCESS_ALLOWED_ACE_TYPE &&
               isOneOf(&static_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart, allowed);
    }
    LocalFree(descriptor);
    return only;
}

} // namespace platform
