// The host build has no fault filter: the report goes to the standard error output.
#include <unistd.h>

#include <cstdio>

#include "support/runerror.h"

void InstallErrorHandler() {}
void RestoreFloatTraps() {}
void RemoveErrorHandler() {}

namespace {
[[noreturn]] void End(uint16_t code, uintptr_t address) {
    ExitCode = code;
    ErrorAddr = address;
    RunExitProcs();
    if (ErrorAddr != 0) {
        const std::string report = FormatReport(ExitCode, ErrorAddr, nullptr, 0);
        std::fwrite(report.data(), 1, report.size(), stderr);
    }
    std::fflush(nullptr);
    _exit(ExitCode);
}
}  // namespace

void RunError(uint16_t n) {
    End(n, reinterpret_cast<uintptr_t>(__builtin_return_address(0)));
}

void Halt(uint16_t code) {
    End(code, 0);
}
