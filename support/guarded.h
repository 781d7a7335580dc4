// The exception convention: a guarded operation runs its body and turns every failure that
// escapes it into one log record (when a current log writer exists) and its failure value.
//
//   return Guarded(L"CAboutLumivex", L"OnInitDialog", FALSE, [&]() -> BOOL { ...; return TRUE; });
//   Guarded(L"", L"", [&] { ... });  // nothing to return
//
// The three clauses, in order: a structured (hardware) exception, turned into seh_exception by
// detail::CallGuarded (see seh_exception.h for what is covered); a standard exception; anything
// else. No failure leaves a guarded operation.
#pragma once

#include "support/log_writer.h"
#include "support/seh_exception.h"

#include <exception>
#include <type_traits>
#include <utility>

namespace lumivex {

template <class R, class F>
R Guarded(const wchar_t* className, const wchar_t* operation, R failure, F&& body) noexcept {
    using Body = std::remove_reference_t<F>;
    struct Call {
        Body& body;
        R result;
    } call{body, failure};
    try {
        detail::CallGuarded(
            [](void* context) {
                Call& c = *static_cast<Call*>(context);
                c.result = static_cast<R>(c.body());
            },
            &call);
        return call.result;
    } catch (const seh_exception_base& e) {
        LogCaughtSehException(className, operation, e);
    } catch (const std::exception& e) {
        LogCaughtStdException(className, operation, e);
    } catch (...) {
        LogCaughtUnknownException(className, operation);
    }
    return failure;
}

template <class F>
void Guarded(const wchar_t* className, const wchar_t* operation, F&& body) noexcept {
    Guarded(className, operation, false, [&body] {
        body();
        return true;
    });
}

} // namespace lumivex
