#include "support/runerror.h"

#include <array>

#include "support/numstr.h"

uint16_t ExitCode = 0;
uintptr_t ErrorAddr = 0;

namespace {

// Exception codes of the platform's faults.
struct TFault {
    uint32_t code;
    uint16_t number;
};
constexpr std::array<TFault, 16> kFaults = {{
    {0xC0000094, kErrDivByZero},        // integer division by zero
    {0xC000008E, kErrDivByZero},        // floating-point division by zero
    {0xC000008C, kErrRangeCheck},       // array bounds exceeded
    {0xC00000FD, kErrStackOverflow},    //
    {0xC0000017, kErrOutOfMemory},      // no memory
    {0xC0000091, kErrFloatOverflow},    //
    {0xC0000093, kErrFloatUnderflow},   //
    {0xC000008D, kErrFloatUnderflow},   // denormal operand
    {0xC0000090, kErrInvalidFloat},     // invalid operation
    {0xC000008F, kErrInvalidFloat},     // inexact result
    {0xC0000092, kErrInvalidFloat},     // x87 stack fault
    {0xC0000095, kErrIntOverflow},      //
    {0xC0000005, kErrAccessViolation},  //
    {0xC000001D, kErrAccessViolation},  // illegal instruction
    {0xC0000096, kErrPrivilege},        //
    {0x40010005, kErrUnhandled},        // console control exit (Ctrl+C)
}};

// The SSE unit reports its traps as one code; its status flags say which one.
constexpr uint32_t kSseTraps = 0xC00002B5;
constexpr uint32_t kSseFaults = 0xC00002B4;
constexpr uint32_t kSseDenormal = 0x02, kSseZeroDivide = 0x04, kSseOverflow = 0x08, kSseUnderflow = 0x10;

std::string Hex(uintptr_t value) {
    if constexpr (sizeof(uintptr_t) > 4) {
        const auto wide = static_cast<uint64_t>(value);
        return IntToHex(static_cast<uint32_t>(wide >> 32), 8) + IntToHex(static_cast<uint32_t>(wide), 8);
    }
    return IntToHex(static_cast<uint32_t>(value), 8);
}

constexpr size_t kMaxExitProcs = 16;
std::array<TExitProc, kMaxExitProcs> exitProcs{};
size_t exitProcCount = 0;

}  // namespace

uint16_t ErrorNumberOf(uint32_t exceptionCode, uint32_t sseStatus) {
    if (exceptionCode == kSseTraps || exceptionCode == kSseFaults) {
        if (sseStatus & kSseZeroDivide) return kErrDivByZero;
        if (sseStatus & kSseOverflow) return kErrFloatOverflow;
        if (sseStatus & (kSseUnderflow | kSseDenormal)) return kErrFloatUnderflow;
        return kErrInvalidFloat;  // invalid operation or inexact
    }
    for (const TFault& f : kFaults) {
        if (f.code == exceptionCode) return f.number;
    }
    // A C++ exception that reached the filter: nobody caught it.
    if (exceptionCode == 0x20474343 || exceptionCode == 0xE06D7363) return kErrUnhandled;
    return kErrOther;
}

std::string FormatReport(uint16_t code, uintptr_t address, const uintptr_t* callers, size_t count) {
    std::string r = "Runtime error " + IntToStr(code) + " at $" + Hex(address) + "\r\n";
    r += "  $" + Hex(address) + "\r\n";
    for (size_t i = 0; i < count; ++i)
        r += "  $" + Hex(callers[i]) + "\r\n";
    return r + "\r\n";
}

void TErrorOutput::Write(std::string_view text) {
    for (char c : text) {
        if (used_ == kSize) Flush();
        buffer_[used_++] = c;
    }
    auto lineEnd = [&](size_t back) {
        return buffer_[used_ - back] == '\r' || buffer_[used_ - back] == '\n';
    };
    if (used_ >= 3 && lineEnd(1) && lineEnd(2) && lineEnd(3)) Flush();
}

void TErrorOutput::Close() {
    if (used_ > 0) Flush();
}

void TErrorOutput::Flush() {
    const size_t n = used_;
    used_ = 0;
    if (sink_ != nullptr) sink_(std::string_view(buffer_, n));
}

bool AddExitProc(TExitProc proc) {
    if (exitProcCount == kMaxExitProcs) return false;
    exitProcs[exitProcCount++] = proc;
    return true;
}

void RunExitProcs() {
    // Taken off the list before it runs: a procedure that faults is not run again.
    while (exitProcCount > 0) {
        const TExitProc proc = exitProcs[--exitProcCount];
        proc();
    }
}
