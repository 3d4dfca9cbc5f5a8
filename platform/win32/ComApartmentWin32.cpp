#include "platform/ComApartment.h"

#include <windows.h>

#include <objbase.h>

namespace platform {

ComApartment::ComApartment(Model model) {
    HRESULT result = CoInitializeEx(nullptr, model == Model::MultiThreaded ? COINIT_MULTITHREADED
                                                                           : COINIT_APARTMENTTHREADED);
    usable_ = SUCCEEDED(result) || result == RPC_E_CHANGED_MODE;
    // S_FALSE (already set up in this model) is balanced by its own undo too.
    owned_ = SUCCEEDED(result);
    had_ = result == S_FALSE || result == RPC_E_CHANGED_MODE;
}

ComApartment::~ComApartment() {
    if (owned_)
        CoUninitialize();
}

} // namespace platform
