// A library that guards its operations as the hook library does: its own copy of the support
// library, and no log writer.
#include "support/guarded.h"

namespace {

int* volatile g_nowhere = nullptr;

} // namespace

extern "C" __declspec(dllexport) int LibraryHasLogWriter() {
    return lumivex::GetCurrentLogWriter() != nullptr;
}

extern "C" __declspec(dllexport) int GuardedFaultInLibrary() {
    return lumivex::Guarded(L"CSubIEWin", L"bSubclassWin", -1, [] {
        *static_cast<volatile int*>(g_nowhere) = 1;
        return 0;
    });
}

extern "C" __declspec(dllexport) int GuardedCallFromLibrary(int (*callback)()) {
    return lumivex::Guarded(L"", L"", -2, [callback] { return callback(); });
}

extern "C" __declspec(dllexport) int UnguardedFaultInLibrary() {
    *static_cast<volatile int*>(g_nowhere) = 2;
    return 0;
}
