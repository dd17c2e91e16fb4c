// The C++ library's throw helpers, which its containers and strings call on misuse (a position past
// the end, a size past the maximum). The library's own throw std::logic_error and its kin, whose
// messages are reference-counted strings of the old string type; their code would be about a sixth
// of the 32-bit program, kept for failures that only a fault in the program can cause.
//
// These throw the same way from the same places: the system's own exception types where they carry
// no string, and otherwise a TLibraryError carrying the library's message. Nothing in the program
// catches them by type; the window procedure's catch-all and the uncaught-exception end treat every
// exception alike.
#include <cstdarg>
#include <cstring>
#include <exception>
#include <new>
#include <typeinfo>

namespace {

class TLibraryError final : public std::exception {
public:
    explicit TLibraryError(const char* message) : message_(message) {}
    const char* what() const noexcept override { return message_; }

private:
    const char* message_;  // the library's literal
};

}  // namespace

// NOLINTBEGIN(bugprone-reserved-identifier,readability-identifier-naming,cert-dcl58-cpp)
namespace std {

void __throw_bad_exception() {
    throw bad_exception();
}
void __throw_bad_alloc() {
    throw bad_alloc();
}
void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}
void __throw_bad_cast() {
    throw bad_cast();
}
void __throw_bad_typeid() {
    throw bad_typeid();
}
void __throw_logic_error(const char* message) {
    throw TLibraryError(message);
}
void __throw_domain_error(const char* message) {
    throw TLibraryError(message);
}
void __throw_invalid_argument(const char* message) {
    throw TLibraryError(message);
}
void __throw_length_error(const char* message) {
    throw TLibraryError(message);
}
void __throw_out_of_range(const char* message) {
    throw TLibraryError(message);
}
// The library's format names the function first ("%s: __pos (which is %zu) > ..."): that name is
// the message; the positions after it are left out.
void __throw_out_of_range_fmt(const char* format, ...) {
    const char* message = format;
    if (std::strncmp(format, "%s", 2) == 0) {
        va_list args;
        va_start(args, format);
        message = va_arg(args, const char*);
        va_end(args);
    }
    throw TLibraryError(message);
}
void __throw_runtime_error(const char* message) {
    throw TLibraryError(message);
}
void __throw_range_error(const char* message) {
    throw TLibraryError(message);
}
void __throw_overflow_error(const char* message) {
    throw TLibraryError(message);
}
void __throw_underflow_error(const char* message) {
    throw TLibraryError(message);
}

}  // namespace std
// NOLINTEND(bugprone-reserved-identifier,readability-identifier-naming,cert-dcl58-cpp)
