#include "support/log_caught.h"

#include <atomic>

namespace lumivex {

namespace {

// Constant-initialised, so a writer constructed during static initialisation finds them ready.
std::atomic<CFAppAssist*> g_pCurrentLogWriter{nullptr};
std::atomic<detail::CaughtReporter> g_pfnReportCaught{nullptr};

void PassOn(const detail::CaughtFailure& failure) noexcept {
    try {
        const detail::CaughtReporter report = g_pfnReportCaught.load();
        if (report && GetCurrentLogWriter()) {
            report(failure);
        }
    } catch (...) {
    }
}

} // namespace

namespace detail {

void SetCurrentLogWriter(CFAppAssist* writer, CaughtReporter report) noexcept {
    g_pfnReportCaught.store(report);
    g_pCurrentLogWriter.store(writer);
}

void ClearCurrentLogWriter(CFAppAssist* writer) noexcept {
    g_pCurrentLogWriter.compare_exchange_strong(writer, nullptr);
}

} // namespace detail

CFAppAssist* GetCurrentLogWriter() noexcept {
    return g_pCurrentLogWriter.load();
}

void LogCaughtSehException(const wchar_t* className, const wchar_t* operation,
                           const seh_exception_base& e) noexcept {
    PassOn(detail::CaughtFailure{className, operation, &e, nullptr});
}

void LogCaughtStdException(const wchar_t* className, const wchar_t* operation,
                           const std::exception& e) noexcept {
    PassOn(detail::CaughtFailure{className, operation, nullptr, &e});
}

void LogCaughtUnknownException(const wchar_t* className, const wchar_t* operation) noexcept {
    PassOn(detail::CaughtFailure{className, operation, nullptr, nullptr});
}

} // namespace lumivex
