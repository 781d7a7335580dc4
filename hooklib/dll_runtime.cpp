// Lean stand-ins for two corners of the static C++ runtime, linked into the library only
// (test programs that link the hook core keep the full runtime).
//
// The C++ runtime's throw helpers share one object with every standard exception class, whose
// message strings bring the whole string and random-device code; its verbose terminate handler
// brings the symbol demangler and the formatted printer. Together that was most of the
// library's size. Should new code need a throw helper that is missing here, the runtime's object
// comes back and the link fails with duplicate definitions: add the helper below.
#include <bits/functexcept.h>

#include <cstdlib>
#include <exception>
#include <new>

namespace {

// Thrown where the runtime would throw a logic error. Every guarded operation catches it as a
// standard exception, which is all the library's code ever catches.
class RuntimeLimit final : public std::exception {
public:
    explicit RuntimeLimit(const char* what) noexcept : m_what(what ? what : "") {}
    const char* what() const noexcept override { return m_what; }

private:
    const char* m_what;
};

} // namespace

namespace std {

void __throw_bad_alloc() {
    throw bad_alloc();
}

void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}

void __throw_length_error(const char* what) {
    throw RuntimeLimit(what);
}

void __throw_logic_error(const char* what) {
    throw RuntimeLimit(what);
}

void __throw_out_of_range_fmt(const char* format, ...) {
    throw RuntimeLimit(format);
}

} // namespace std

namespace __gnu_cxx {

// Ends the process as the runtime's handler would, without printing the exception's name.
void __verbose_terminate_handler() {
    std::abort();
}

} // namespace __gnu_cxx
