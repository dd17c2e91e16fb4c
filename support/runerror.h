// Run-time errors: a fault nobody handled ends the program with a numbered error, a short report in
// boxes captioned "Error", and the number as the exit code.
//
// The exit path runs once. Registered exit procedures run first, newest first, so the program can
// quiet itself (links off, timers stopped) before the report is shown; a fault while a report is
// pending still shows the first report and ends with the first number. The platform side (the fault
// filter, floating-point traps, the boxes, the process end) lives in runerror_win32.cpp; what can be
// decided without it is here, so the host tests it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Error numbers.
inline constexpr uint16_t kErrDivByZero = 200;
inline constexpr uint16_t kErrRangeCheck = 201;
inline constexpr uint16_t kErrStackOverflow = 202;
inline constexpr uint16_t kErrOutOfMemory = 203;
inline constexpr uint16_t kErrInvalidPointer = 204;
inline constexpr uint16_t kErrFloatOverflow = 205;
inline constexpr uint16_t kErrFloatUnderflow = 206;
inline constexpr uint16_t kErrInvalidFloat = 207;
inline constexpr uint16_t kErrIntOverflow = 215;
inline constexpr uint16_t kErrAccessViolation = 216;
inline constexpr uint16_t kErrUnhandled = 217;
inline constexpr uint16_t kErrPrivilege = 218;
inline constexpr uint16_t kErrOther = 255;

// Process-wide error state: the exit code and the code address the error arose at (0: none).
extern uint16_t ExitCode;
extern uintptr_t ErrorAddr;

// The number of a platform fault: its exception code and, for the SSE unit's combined trap, the
// status flags of its control register (which trap it was).
uint16_t ErrorNumberOf(uint32_t exceptionCode, uint32_t sseStatus = 0);

// The report: "Runtime error N at $ADDR", the address again and each caller on a line "  $ADDR",
// then an empty line; addresses take 2 digits per byte of a pointer of this build.
std::string FormatReport(uint16_t code, uintptr_t address, const uintptr_t* callers, size_t count);

// The error output: text gathered in a 1024-byte buffer, handed to the sink whenever it fills or the
// text ends in at least three line-end characters, and once more when closed.
class TErrorOutput {
public:
    using TSink = void (*)(std::string_view text);
    static constexpr size_t kSize = 1024;

    explicit TErrorOutput(TSink sink) : sink_(sink) {}
    void Write(std::string_view text);
    void Close();

private:
    void Flush();
    TSink sink_;
    char buffer_[kSize] = {};
    size_t used_ = 0;
};

// Exit procedures run first on every end of the program, newest first; at most 16.
using TExitProc = void (*)();
bool AddExitProc(TExitProc proc);
// Runs the registered procedures once, newest first; later calls run nothing.
void RunExitProcs();

// Installs the fault filter, the floating-point traps (invalid operation, division by zero and
// overflow become faults), and the handlers that turn a failed allocation and an uncaught C++
// exception into run-time errors. Windows only; elsewhere it does nothing.
void InstallErrorHandler();
// The traps are the program's own: a floating-point fault in another module (an input method, a
// screen reader's hook, a driver) is masked and that code goes on, as under the system's defaults.
// This loads the program's traps again where its own code is entered (the window procedures) after
// such a fault; it does nothing otherwise.
void RestoreFloatTraps();
// Puts the previous fault filter back (the normal end does this; the error path does it itself).
void RemoveErrorHandler();

// Ends the program with run-time error n at the caller's address.
[[noreturn]] void RunError(uint16_t n);
// Ends the program with this exit code and no report.
[[noreturn]] void Halt(uint16_t code);
