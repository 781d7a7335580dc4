#include "framework/common_controls.h"

#include "framework/system_library.h"
#include "support/proc_address.h"

namespace lumivex::fw::comctl {

namespace {

struct Functions {
    BOOL(WINAPI* initCommonControlsEx)(const INITCOMMONCONTROLSEX*) = nullptr;
    BOOL(WINAPI* setWindowSubclass)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR) = nullptr;
    BOOL(WINAPI* removeWindowSubclass)(HWND, SUBCLASSPROC, UINT_PTR) = nullptr;
    LRESULT(WINAPI* defSubclassProc)(HWND, UINT, WPARAM, LPARAM) = nullptr;
};

Functions g_functions;
INIT_ONCE g_bound = INIT_ONCE_STATIC_INIT;

template <class F> void Bind(HMODULE library, const char* name, F& function) {
    function = ProcAddress<F>(library, name);
}

// The copy the program already uses when there is one (with the version its manifest chose);
// otherwise the one in the system folder, never a file planted beside the program. The reference
// is kept for the life of the process.
HMODULE LoadCommonControls() {
    HMODULE library = nullptr;
    if (::GetModuleHandleExW(0, L"comctl32.dll", &library)) {
        return library;
    }
    return LoadSystemLibrary(L"comctl32.dll");
}

BOOL CALLBACK BindOnce(PINIT_ONCE, PVOID, PVOID*) {
    if (HMODULE library = LoadCommonControls()) {
        Bind(library, "InitCommonControlsEx", g_functions.initCommonControlsEx);
        Bind(library, "SetWindowSubclass", g_functions.setWindowSubclass);
        Bind(library, "RemoveWindowSubclass", g_functions.removeWindowSubclass);
        Bind(library, "DefSubclassProc", g_functions.defSubclassProc);
    }
    return TRUE;
}

const Functions& Bound() {
    ::InitOnceExecuteOnce(&g_bound, &BindOnce, nullptr, nullptr);
    return g_functions;
}

} // namespace

bool InitCommonControls(DWORD classes) {
    const INITCOMMONCONTROLSEX init = {sizeof init, classes};
    const Functions& f = Bound();
    return f.initCommonControlsEx && f.initCommonControlsEx(&init);
}

bool SetWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data) {
    const Functions& f = Bound();
    // All three or none: a subclass that could not be removed again is not installed.
    return f.setWindowSubclass && f.removeWindowSubclass && f.defSubclassProc &&
           f.setWindowSubclass(window, procedure, id, data);
}

bool RemoveWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id) {
    const Functions& f = Bound();
    return f.removeWindowSubclass && f.removeWindowSubclass(window, procedure, id);
}

LRESULT DefSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const Functions& f = Bound();
    return f.defSubclassProc ? f.defSubclassProc(window, message, wParam, lParam)
                             : ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace lumivex::fw::comctl
