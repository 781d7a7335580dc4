#include "framework/wnd.h"

#include "framework/app.h"
#include "framework/common_controls.h"

#include <cstdint>
#include <cwchar>

namespace lumivex::fw {

namespace {

// Key of MapCommand(id, handler): menu items, accelerators and clicks (codes 0 and 1). Above
// every real notification code, which is 16 bits wide.
constexpr UINT kPlainCommand = 0x10000;
constexpr UINT_PTR kSubclassId = 1;

// Writes `value` in upper-case hexadecimal, at least `width` digits, and returns the end. By
// hand: the runtime's formatter would add tens of kilobytes to every module with windows.
wchar_t* PutHex(wchar_t* out, std::uintptr_t value, int width) {
    wchar_t digits[2 * sizeof value];
    int count = 0;
    do {
        digits[count++] = L"0123456789ABCDEF"[value & 0xF];
        value >>= 4;
    } while (value);
    for (int i = count; i < width; ++i) {
        *out++ = L'0';
    }
    while (count) {
        *out++ = digits[--count];
    }
    return out;
}

// Property name unique to this module in this process: two copies of the framework in one
// process (a program and a library it loads), or in two processes, never read each other's
// window objects.
const wchar_t* PropertyName() {
    static const std::wstring name = [] {
        wchar_t text[80] = L"Lumivex.fw.CWnd.";
        wchar_t* end = PutHex(text + std::wcslen(text), ::GetCurrentProcessId(), 1);
        *end++ = L'.';
        *PutHex(end, reinterpret_cast<std::uintptr_t>(ModuleInstance()), 1) = L'\0';
        return std::wstring(text);
    }();
    return name.c_str();
}

bool IsCtlColor(UINT message) {
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

} // namespace

CWnd::~CWnd() {
    if (m_hWnd) {
        HWND window = m_hWnd;
        const bool owned = m_ownsWindow;
        // Unhook first: the derived parts of the object are gone, so no message may reach it.
        if (m_link == Link::Subclass) {
            UnsubclassWindow();
        } else {
            Detach();
        }
        if (owned) {
            ::DestroyWindow(window);
        }
    }
}

CWnd* CWnd::FromHandle(HWND window) noexcept {
    return window ? static_cast<CWnd*>(::GetPropW(window, PropertyName())) : nullptr;
}

bool CWnd::Attach(HWND window, Link link) {
    if (m_hWnd || !window || FromHandle(window) || !::SetPropW(window, PropertyName(), this)) {
        return false;
    }
    m_hWnd = window;
    m_link = link;
    m_destroyPending = false;
    return true;
}

void CWnd::Detach() {
    if (m_hWnd) {
        ::RemovePropW(m_hWnd, PropertyName());
    }
    m_hWnd = nullptr;
    m_link = Link::None;
    m_ownsWindow = false;
}

bool CWnd::SubclassWindow(HWND window) {
    if (!window || ::GetWindowThreadProcessId(window, nullptr) != ::GetCurrentThreadId() ||
        !Attach(window, Link::Subclass)) {
        return false;
    }
    if (!comctl::SetWindowSubclass(window, &CWnd::SubclassProc, kSubclassId,
                                   reinterpret_cast<DWORD_PTR>(this))) {
        Detach();
        return false;
    }
    return true;
}

bool CWnd::SubclassDlgItem(int id, HWND parent) {
    return SubclassWindow(::GetDlgItem(parent, id));
}

HWND CWnd::UnsubclassWindow() {
    if (m_link != Link::Subclass) {
        return nullptr;
    }
    HWND window = m_hWnd;
    comctl::RemoveWindowSubclass(window, &CWnd::SubclassProc, kSubclassId);
    Detach();
    return window;
}

std::wstring CWnd::GetText() const {
    const int length = ::GetWindowTextLengthW(m_hWnd);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(m_hWnd, text.data(), length + 1)));
    return text;
}

bool CWnd::PreTranslateMessage(MSG*) {
    return false;
}

void CWnd::MapMessage(UINT message, MessageHandler handler) {
    m_messages[message] = std::move(handler);
}

void CWnd::MapCommand(UINT id, CommandHandler handler) {
    m_commands[{id, kPlainCommand}] = std::move(handler);
}

void CWnd::MapCommand(UINT id, UINT code, CommandHandler handler) {
    m_commands[{id, code}] = std::move(handler);
}

void CWnd::MapNotify(UINT idFrom, UINT code, NotifyHandler handler) {
    m_notifies[{idFrom, code}] = std::move(handler);
}

void CWnd::MapReflect(UINT message, MessageHandler handler) {
    m_reflected[message] = std::move(handler);
}

void CWnd::MapReflectNotify(UINT code, NotifyHandler handler) {
    m_reflectedNotifies[code] = std::move(handler);
}

void CWnd::MapReflectCommand(UINT code, CommandHandler handler) {
    m_reflectedCommands[code] = std::move(handler);
}

LRESULT CWnd::Default() {
    Frame* frame = m_frame;
    if (!frame) {
        return 0;
    }
    if (m_link == Link::Dialog) {
        // The dialog procedure is called again from inside DefDlgProc; it sees the flag and
        // answers "not handled", so the platform's own dialog handling runs.
        frame->toDefault = true;
        const LRESULT result =
            ::DefDlgProcW(frame->window, frame->message, frame->wParam, frame->lParam);
        frame->toDefault = false;
        return result;
    }
    if (m_link == Link::Subclass) {
        return comctl::DefSubclassProc(frame->window, frame->message, frame->wParam, frame->lParam);
    }
    return 0;
}

bool CWnd::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    Frame frame{window, message, wParam, lParam, m_frame, false};
    m_frame = &frame;
    bool handled = false;
    result = 0;
    try {
        handled = OnWndMsg(message, wParam, lParam, result);
    } catch (...) {
        // An exception must not unwind through the platform's frames; the default handles it.
        wchar_t text[96] = L"lumivex framework: a handler of message 0x";
        std::wcscpy(PutHex(text + std::wcslen(text), message, 4), L" threw\n");
        ::OutputDebugStringW(text);
        handled = false;
        result = 0;
    }
    m_frame = frame.outer;
    if (!m_frame && m_destroyPending) {
        m_destroyPending = false;
        PostNcDestroy(); // may delete the object: nothing of it is touched after this
    }
    return handled;
}

void CWnd::WindowDestroyed() {
    Detach();
    if (m_frame) {
        m_destroyPending = true;
    } else {
        PostNcDestroy();
    }
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (ReflectToChild(message, wParam, lParam, result)) {
        return true;
    }
    if (auto it = m_messages.find(message); it != m_messages.end()) {
        result = it->second(wParam, lParam);
        return true;
    }
    if (message == WM_COMMAND) {
        result = 0;
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    }
    if (message == WM_NOTIFY && lParam) {
        return OnNotify(reinterpret_cast<NMHDR*>(lParam), result);
    }
    return false;
}

bool CWnd::OnCommand(UINT id, UINT code, HWND) {
    auto it = m_commands.find({id, code});
    if (it == m_commands.end() && code <= 1) {
        it = m_commands.find({id, kPlainCommand});
    }
    if (it == m_commands.end()) {
        return false;
    }
    it->second();
    return true;
}

bool CWnd::OnNotify(NMHDR* header, LRESULT& result) {
    auto it = m_notifies.find({static_cast<UINT>(header->idFrom), header->code});
    if (it == m_notifies.end()) {
        return false;
    }
    result = it->second(header);
    return true;
}

bool CWnd::ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    HWND child = nullptr;
    if (message == WM_NOTIFY && lParam) {
        child = reinterpret_cast<NMHDR*>(lParam)->hwndFrom;
    } else if ((message == WM_COMMAND || IsCtlColor(message)) && lParam) {
        child = reinterpret_cast<HWND>(lParam);
    }
    CWnd* object = FromHandle(child);
    if (!object || object == this) {
        return false;
    }
    return object->OnChildNotify(message, wParam, lParam, result);
}

bool CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        auto it = m_reflectedNotifies.find(header->code);
        if (it == m_reflectedNotifies.end()) {
            return false;
        }
        result = it->second(header);
        return true;
    }
    if (message == WM_COMMAND) {
        auto it = m_reflectedCommands.find(HIWORD(wParam));
        if (it == m_reflectedCommands.end()) {
            return false;
        }
        it->second();
        result = 0;
        return true;
    }
    auto it = m_reflected.find(message);
    if (it == m_reflected.end()) {
        return false;
    }
    result = it->second(wParam, lParam);
    return !IsCtlColor(message) || result != 0;
}

LRESULT CALLBACK CWnd::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR, DWORD_PTR self) {
    auto* object = reinterpret_cast<CWnd*>(self);
    if (message == WM_NCDESTROY) {
        comctl::RemoveWindowSubclass(window, &CWnd::SubclassProc, kSubclassId);
        const LRESULT result = comctl::DefSubclassProc(window, message, wParam, lParam);
        object->WindowDestroyed();
        return result;
    }
    LRESULT result = 0;
    if (object->Dispatch(window, message, wParam, lParam, result)) {
        return result;
    }
    return comctl::DefSubclassProc(window, message, wParam, lParam);
}

} // namespace lumivex::fw
