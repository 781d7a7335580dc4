// A library's export as the function type the caller names.
#pragma once

#include <windows.h>

namespace lumivex {

// Null when the library has no such export.
template <typename Function> Function ProcAddress(HMODULE module, const char* name) noexcept {
    // GetProcAddress hands out a generic function pointer; going through void(*)() keeps GCC's
    // function-type check quiet for the real type.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

} // namespace lumivex
