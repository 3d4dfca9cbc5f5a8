#include "platform/Browser.h"

#include <windows.h>

#include <shellapi.h>

namespace platform {

int openWebPage(const std::string& url) {
    HINSTANCE result = ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
    return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

} // namespace platform
