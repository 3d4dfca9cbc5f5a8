#pragma once
// Whether a Windows test runs under Wine: for the few answers of the system
// that differ there from Windows' own for Wine's reasons (each use says
// which).
#ifdef _WIN32
#include <windows.h>
#endif

namespace testkit {

inline bool underWine() {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

} // namespace testkit
