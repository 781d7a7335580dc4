// Inside the support library: how the three clauses of the exception convention reach the
// current log writer. The clauses and the current-writer pointer live in their own file, apart
// from the writer's formatting and file code, so a module that never constructs a writer (the
// hook library) links none of that code.
#pragma once

#include "support/log_writer.h"

namespace lumivex::detail {

// A caught failure on its way to the current writer.
struct CaughtFailure {
    const wchar_t* className;
    const wchar_t* operation;
    const seh_exception_base* seh;  // set by the structured-exception clause
    const std::exception* standard; // set by the standard-exception clause
};

// Formats a caught failure and hands it to the current writer.
using CaughtReporter = void (*)(const CaughtFailure& failure);

// A writer's constructor makes it current, together with the code that reports to it.
void SetCurrentLogWriter(CFAppAssist* writer, CaughtReporter report) noexcept;
// A writer's destructor: clears the current writer if it is still this one.
void ClearCurrentLogWriter(CFAppAssist* writer) noexcept;

} // namespace lumivex::detail
