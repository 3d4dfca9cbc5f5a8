#pragma once
#include <string>

namespace app {

/// The launcher's remembered values (the key "SoftWare\\Moravo" of the
/// per-user store). Failures are ignored: an unreadable value reads as the
/// default, an unwritable one is not stored.
class Registry {
public:
    static constexpr const char* keyPath = "SoftWare\\Moravo";

    static std::string readString(const std::string& name, const std::string& fallback = std::string());
    static void writeString(const std::string& name, const std::string& bytes);
    static void deleteValue(const std::string& name);
};

} // namespace app
