// RAII owners for Win32 handles, GDI objects, registry keys, modules and COM pointers, and the
// scoped guards for device contexts, selections and locks. Header-only, the ground floor every
// other part builds on. Owners move but never copy: copying one is a compile error.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstddef>
#include <utility>

namespace lumivex {

// Owns one value of a handle type; Traits gives the empty value, the validity test and the
// release call.
template <typename Traits> class Owner {
public:
    using Value = typename Traits::Value;

    Owner() noexcept = default;
    explicit Owner(Value value) noexcept : m_value(value) {}
    ~Owner() { reset(); }

    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;
    Owner(Owner&& other) noexcept : m_value(other.release()) {}
    Owner& operator=(Owner&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    Value get() const noexcept { return m_value; }
    explicit operator bool() const noexcept { return Traits::Valid(m_value); }

    // Gives up ownership without releasing.
    [[nodiscard]] Value release() noexcept { return std::exchange(m_value, Traits::Empty()); }

    // Releases the current value and takes `value`. Resetting to the value already held keeps it:
    // releasing it would leave the owner holding a dead handle that it releases again later.
    void reset(Value value = Traits::Empty()) noexcept {
        Value old = std::exchange(m_value, value);
        if (old != value && Traits::Valid(old)) {
            Traits::Release(old);
        }
    }

    // For out-parameters: releases the current value and hands out the slot.
    Value* put() noexcept {
        reset();
        return &m_value;
    }

private:
    Value m_value = Traits::Empty();
};

namespace traits {

// Kernel handles where both null and INVALID_HANDLE_VALUE mean "none" (files, processes,
// threads, mutexes, events).
struct KernelHandle {
    using Value = HANDLE;
    static Value Empty() noexcept { return nullptr; }
    static bool Valid(Value v) noexcept { return v != nullptr && v != INVALID_HANDLE_VALUE; }
    static void Release(Value v) noexcept { ::CloseHandle(v); }
};

struct FindHandle {
    using Value = HANDLE;
    static Value Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool Valid(Value v) noexcept { return v != nullptr && v != INVALID_HANDLE_VALUE; }
    static void Release(Value v) noexcept { ::FindClose(v); }
};

template <typename T> struct GdiObject {
    using Value = T;
    static Value Empty() noexcept { return nullptr; }
    static bool Valid(Value v) noexcept { return v != nullptr; }
    static void Release(Value v) noexcept { ::DeleteObject(v); }
};

// Device contexts made with CreateDC, CreateIC or CreateCompatibleDC.
struct CreatedDc {
    using Value = HDC;
    static Value Empty() noexcept { return nullptr; }
    static bool Valid(Value v) noexcept { return v != nullptr; }
    static void Release(Value v) noexcept { ::DeleteDC(v); }
};

struct RegKey {
    using Value = HKEY;
    static Value Empty() noexcept { return nullptr; }
    static bool Valid(Value v) noexcept { return v != nullptr; }
    static void Release(Value v) noexcept { ::RegCloseKey(v); }
};

struct Module {
    using Value = HMODULE;
    static Value Empty() noexcept { return nullptr; }
    static bool Valid(Value v) noexcept { return v != nullptr; }
    static void Release(Value v) noexcept { ::FreeLibrary(v); }
};

struct Window {
    using Value = HWND;
    static Value Empty() noexcept { return nullptr; }
    static bool Valid(Value v) noexcept { return v != nullptr; }
    static void Release(Value v) noexcept { ::DestroyWindow(v); }
};

struct Icon {
    using Value = HICON;
    static Value Empty() noexcept { return nullptr; }
    static bool Valid(Value v) noexcept { return v != nullptr; }
    static void Release(Value v) noexcept { ::DestroyIcon(v); }
};

struct Menu {
    using Value = HMENU;
    static Value Empty() noexcept { return nullptr; }
    static bool Valid(Value v) noexcept { return v != nullptr; }
    static void Release(Value v) noexcept { ::DestroyMenu(v); }
};

struct LocalMemory {
    using Value = HLOCAL;
    static Value Empty() noexcept { return nullptr; }
    static bool Valid(Value v) noexcept { return v != nullptr; }
    static void Release(Value v) noexcept { ::LocalFree(v); }
};

} // namespace traits

using UniqueHandle = Owner<traits::KernelHandle>;
using UniqueFind = Owner<traits::FindHandle>;
using UniqueFont = Owner<traits::GdiObject<HFONT>>;
using UniquePen = Owner<traits::GdiObject<HPEN>>;
using UniqueBrush = Owner<traits::GdiObject<HBRUSH>>;
using UniqueBitmap = Owner<traits::GdiObject<HBITMAP>>;
using UniqueCreatedDc = Owner<traits::CreatedDc>;
using UniqueRegKey = Owner<traits::RegKey>;
using UniqueModule = Owner<traits::Module>;
using UniqueWindow = Owner<traits::Window>;
using UniqueIcon = Owner<traits::Icon>;
using UniqueMenu = Owner<traits::Menu>;
using UniqueLocal = Owner<traits::LocalMemory>;

// A device context from GetDC, given back with ReleaseDC to its window.
class WindowDc {
public:
    // The client area's context, or with `wholeWindow` the one of the whole window, frame
    // included (GetWindowDC).
    explicit WindowDc(HWND window, bool wholeWindow = false) noexcept
        : m_window(window), m_dc(wholeWindow ? ::GetWindowDC(window) : ::GetDC(window)) {}
    ~WindowDc() {
        if (m_dc) {
            ::ReleaseDC(m_window, m_dc);
        }
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC get() const noexcept { return m_dc; }
    explicit operator bool() const noexcept { return m_dc != nullptr; }

private:
    HWND m_window;
    HDC m_dc;
};

// A slim reader/writer lock held for the scope, exclusively or shared.
class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) noexcept : m_lock(lock) {
        ::AcquireSRWLockExclusive(&m_lock);
    }
    ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&m_lock); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& m_lock;
};

class SharedLock {
public:
    explicit SharedLock(SRWLOCK& lock) noexcept : m_lock(lock) { ::AcquireSRWLockShared(&m_lock); }
    ~SharedLock() { ::ReleaseSRWLockShared(&m_lock); }
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;

private:
    SRWLOCK& m_lock;
};

// Selects a GDI object into a device context for the scope and selects the previous one back.
// Not for regions: SelectObject answers a region with a complexity code, not the previous object.
class SelectScope {
public:
    SelectScope(HDC dc, HGDIOBJ object) noexcept
        : m_dc(dc), m_previous(::SelectObject(dc, object)) {}
    ~SelectScope() {
        if (m_previous && m_previous != HGDI_ERROR) {
            ::SelectObject(m_dc, m_previous);
        }
    }
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

// A COM interface pointer that holds one reference.
template <typename T> class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    ~ComPtr() { reset(); }

    // Takes over a reference the caller already holds (no AddRef).
    static ComPtr Attach(T* pointer) noexcept {
        ComPtr result;
        result.m_pointer = pointer;
        return result;
    }
    // Shares a pointer the caller does not own (AddRef).
    static ComPtr Share(T* pointer) noexcept {
        if (pointer) {
            pointer->AddRef();
        }
        return Attach(pointer);
    }

    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_pointer(std::exchange(other.m_pointer, nullptr)) {}
    // Takes the new pointer before releasing the old one: the old object's last Release may run
    // code that reaches `other`.
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            T* old = std::exchange(m_pointer, std::exchange(other.m_pointer, nullptr));
            if (old) {
                old->Release();
            }
        }
        return *this;
    }

    T* get() const noexcept { return m_pointer; }
    T* operator->() const noexcept { return m_pointer; }
    explicit operator bool() const noexcept { return m_pointer != nullptr; }

    void reset() noexcept {
        if (T* old = std::exchange(m_pointer, nullptr)) {
            old->Release();
        }
    }
    [[nodiscard]] T* detach() noexcept { return std::exchange(m_pointer, nullptr); }

    // For out-parameters of interface type T**.
    T** put() noexcept {
        reset();
        return &m_pointer;
    }
    // For out-parameters of type void** (QueryInterface, QueryService, ObjectFromLresult).
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

    // Asks for another interface; an empty pointer when the object has none.
    template <typename U> ComPtr<U> As(REFIID iid) const noexcept {
        ComPtr<U> other;
        if (m_pointer) {
            m_pointer->QueryInterface(iid, other.put_void());
        }
        return other;
    }

private:
    T* m_pointer = nullptr;
};

} // namespace lumivex
