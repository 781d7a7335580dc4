// Window objects: the C++ side of one window, with handler tables for its messages, commands and
// notifications, and notifications reflected from the parent back to the control's own object.
//
// A window object is attached to at most one window and the other way round. The link is a window
// property private to this module, so a window object of another module's copy of the framework is
// never mistaken for one of ours. When the window is destroyed the object is detached (its handle
// becomes null) and PostNcDestroy runs; the object itself belongs to whoever created it.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <utility>

namespace lumivex::fw {

class CWnd {
public:
    // Handler of one window message: gets wParam and lParam, returns the message result.
    using MessageHandler = std::function<LRESULT(WPARAM, LPARAM)>;
    using CommandHandler = std::function<void()>;
    // Handler of a WM_NOTIFY: gets the header, returns the notification result.
    using NotifyHandler = std::function<LRESULT(NMHDR*)>;

    CWnd() = default;
    // Unsubclasses an attached control; destroys a window the object created (a modeless dialog).
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const noexcept { return m_hWnd; }
    operator HWND() const noexcept { return m_hWnd; }

    // The object attached to `window` by this module's framework, or null.
    static CWnd* FromHandle(HWND window) noexcept;

    // Attaches the object to an existing window by subclassing it; false when either side is
    // already attached or the window belongs to another thread.
    bool SubclassWindow(HWND window);
    bool SubclassDlgItem(int id, HWND parent);
    // Gives the window its own procedure back and returns it; the window lives on.
    HWND UnsubclassWindow();

    // Small conveniences over the handle.
    HWND GetDlgItem(int id) const noexcept { return ::GetDlgItem(m_hWnd, id); }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    std::wstring GetText() const;
    bool SetText(const std::wstring& text) const { return ::SetWindowTextW(m_hWnd, text.c_str()); }
    DWORD GetStyle() const noexcept {
        return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE));
    }

    // Pre-translation hook, called by the application's message loop for messages of this window
    // and of its descendants before they are dispatched. True: handled, do not dispatch.
    virtual bool PreTranslateMessage(MSG* msg);

protected:
    // Handler registration, usually in the constructor of a derived class. A later registration
    // for the same key replaces the earlier one. Inside any handler, Default() runs the window's
    // default handling of the message being handled.
    void MapMessage(UINT message, MessageHandler handler);
    // WM_COMMAND of a menu item, accelerator or button click (notification code 0 or 1).
    void MapCommand(UINT id, CommandHandler handler);
    // WM_COMMAND with one notification code, for example EN_CHANGE.
    void MapCommand(UINT id, UINT code, CommandHandler handler);
    // WM_NOTIFY from the child `idFrom` with `code`.
    void MapNotify(UINT idFrom, UINT code, NotifyHandler handler);

    // Reflected notifications: what the parent receives about this control, handled by the
    // control's own object first. For WM_CTLCOLOR* the result is the brush; a null brush leaves
    // the message to the parent. Other reflected handlers always consume the message.
    void MapReflect(UINT message, MessageHandler handler);
    void MapReflectNotify(UINT code, NotifyHandler handler);
    void MapReflectCommand(UINT code, CommandHandler handler);

    // The default handling of the message being handled: the previous window procedure of a
    // subclassed control, the platform's dialog handling of a dialog. 0 outside a handler.
    LRESULT Default();

    // The dispatch itself; override for full control. False: not handled, the default runs.
    // WM_NCDESTROY is not dispatched: the framework detaches the object and calls PostNcDestroy.
    virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    virtual bool OnCommand(UINT id, UINT code, HWND control);
    virtual bool OnNotify(NMHDR* header, LRESULT& result);
    // A notification of the parent about this control; see MapReflect.
    virtual bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // After the window is gone and the object detached; the last call the framework makes on the
    // object for that window, so an object that owns itself may delete itself here.
    virtual void PostNcDestroy() {}

    enum class Link { None, Subclass, Dialog };
    // Links the object with `window` (property only; the caller sets up the message path).
    bool Attach(HWND window, Link link);
    void Detach();
    // Runs one message through OnWndMsg with the bookkeeping Default() and destruction need.
    bool Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // WM_NCDESTROY: detach now, PostNcDestroy once no handler of this object is running.
    void WindowDestroyed();

    // The message being handled, innermost first.
    struct Frame {
        HWND window;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        Frame* outer;
        bool toDefault; // a dialog's Default() is under way: the re-entry gets "not handled"
    };
    Frame* m_frame = nullptr;
    bool m_ownsWindow = false;

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    bool ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    HWND m_hWnd = nullptr;
    Link m_link = Link::None;
    bool m_destroyPending = false;
    std::map<UINT, MessageHandler> m_messages;
    std::map<std::pair<UINT, UINT>, CommandHandler> m_commands;
    std::map<std::pair<UINT, UINT>, NotifyHandler> m_notifies;
    std::map<UINT, MessageHandler> m_reflected;
    std::map<UINT, NotifyHandler> m_reflectedNotifies;
    std::map<UINT, CommandHandler> m_reflectedCommands;
};

} // namespace lumivex::fw
