#include "hooklib/pass_on_index.h"

#include <cstdint>

namespace lumivex::hook {

namespace {

// No window has this handle: handles are multiples of two.
const HWND kRemoved = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(1));

} // namespace

std::size_t CPassOnIndex::Home(HWND hWnd) noexcept {
    // Window handles count up in small steps: mixing spreads neighbours over the table.
    auto value = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(hWnd));
    value *= 2654435761u;
    return (value >> 16) & (kSlots - 1);
}

bool CPassOnIndex::Set(HWND hWnd, WNDPROC previous) noexcept {
    Clear(hWnd);
    const std::size_t home = Home(hWnd);
    for (std::size_t i = 0; i < kSlots; ++i) {
        Slot& slot = m_slots[(home + i) & (kSlots - 1)];
        const HWND held = slot.window.load(std::memory_order_relaxed);
        if (held == nullptr || held == kRemoved) {
            // The procedure first: a reader that sees the handle sees its procedure.
            slot.previous.store(previous, std::memory_order_relaxed);
            slot.window.store(hWnd, std::memory_order_release);
            return true;
        }
    }
    return false;
}

void CPassOnIndex::Clear(HWND hWnd) noexcept {
    const std::size_t home = Home(hWnd);
    for (std::size_t i = 0; i < kSlots; ++i) {
        Slot& slot = m_slots[(home + i) & (kSlots - 1)];
        const HWND held = slot.window.load(std::memory_order_relaxed);
        if (held == nullptr) {
            return;
        }
        if (held == hWnd) {
            // The procedure first: a reader that still matched the handle finds nothing and
            // takes the slow way.
            slot.previous.store(nullptr, std::memory_order_release);
            slot.window.store(kRemoved, std::memory_order_release);
            return;
        }
    }
}

void CPassOnIndex::ClearAll() noexcept {
    for (Slot& slot : m_slots) {
        if (slot.window.load(std::memory_order_relaxed) != nullptr) {
            slot.previous.store(nullptr, std::memory_order_release);
            slot.window.store(kRemoved, std::memory_order_release);
        }
    }
}

WNDPROC CPassOnIndex::Find(HWND hWnd) const noexcept {
    const std::size_t home = Home(hWnd);
    for (std::size_t i = 0; i < kSlots; ++i) {
        const Slot& slot = m_slots[(home + i) & (kSlots - 1)];
        const HWND held = slot.window.load(std::memory_order_acquire);
        if (held == hWnd) {
            const WNDPROC previous = slot.previous.load(std::memory_order_acquire);
            // Still this window's slot: cleared and taken by another window in between, the
            // procedure read may be that one's.
            return slot.window.load(std::memory_order_acquire) == hWnd ? previous : nullptr;
        }
        if (held == nullptr) {
            return nullptr;
        }
    }
    return nullptr;
}

} // namespace lumivex::hook
