// Programmer errors: a broken promise between two parts of the program (a 45th component, an outlet
// the hub does not have). Every build but the shipped one stops at once with the broken condition on
// stderr, so a test that walks into one fails loudly; the shipped program pays nothing for it.
#pragma once

#include <cstdio>
#include <cstdlib>

#ifdef ECHOMETER_RELEASE
#define EM_CHECK(condition) static_cast<void>(0)
#else
#define EM_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : em_detail::Broken(#condition, __FILE__, __LINE__))
#endif

namespace em_detail {

[[noreturn]] inline void Broken(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: programmer error: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

}  // namespace em_detail
