// Vtables whose every slot starts out as a loud failure, for hand-written COM objects that
// implement only a few methods of a large interface. Include only where CINTERFACE is defined.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <utility>

namespace lumivex::browserhost {

// Logs "UNEXPECTED interface=<name> slot=<n>"; on i686 it then ends the process with
// kUnexpectedSlotExitCode, because a stdcall stub that does not know how many bytes of
// arguments to pop cannot return safely. On x86_64 the caller cleans up, so it returns.
void ReportUnexpectedSlot(const char* interfaceName, std::size_t slot, void* self);

using GenericSlot = void (*)(); // the one function pointer type casts to and from freely

template <typename Tag, std::size_t N> HRESULT STDMETHODCALLTYPE UnexpectedSlot(void* self) {
    ReportUnexpectedSlot(Tag::kName, N, self);
    return E_NOTIMPL;
}

template <typename Tag, typename Vtbl, std::size_t... I>
Vtbl UnexpectedVtbl(std::index_sequence<I...>) {
    static_assert(sizeof(Vtbl) == sizeof...(I) * sizeof(GenericSlot));
    const GenericSlot slots[] = {reinterpret_cast<GenericSlot>(&UnexpectedSlot<Tag, I>)...};
    Vtbl table;
    std::memcpy(&table, slots, sizeof table);
    return table;
}

// A vtable of type Vtbl (a C vtable struct of the platform headers) with every slot failing;
// the caller then sets the slots it implements by name, so their types are checked.
template <typename Tag, typename Vtbl> Vtbl UnexpectedVtbl() {
    return UnexpectedVtbl<Tag, Vtbl>(
        std::make_index_sequence<sizeof(Vtbl) / sizeof(GenericSlot)>());
}

} // namespace lumivex::browserhost
