// The Windows side of run-time errors: the top-level fault filter, the floating-point traps, the
// "Error" boxes and the one exit path.
#include <windows.h>

#include <float.h>

#include <cstdlib>
#include <cstring>

#include <exception>
#include <new>
#include <string>

#include "support/runerror.h"

// The C++ run-time's default end for an exception nobody catches, in place of the library's: that
// one prints a demangled report to an error stream a window program does not have, and brings the
// demangler (about 50 KB) into the program. It is in use only until InstallErrorHandler sets the
// program's own.
namespace __gnu_cxx {
// NOLINTNEXTLINE(bugprone-reserved-identifier,readability-identifier-naming)
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx

namespace {

LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
bool filterInstalled = false;

// The thread running the exit path (0: nobody yet), and the first report while it waits to be shown.
volatile LONG exitOwner = 0;
std::string pendingReport;
bool reportShown = false;

constexpr size_t kMaxCallers = 8;

void ShowBox(std::string_view text) {
    // The report is ASCII: one UTF-16 unit per byte.
    const std::wstring wide(text.begin(), text.end());
    MessageBoxW(nullptr, wide.c_str(), L"Error", MB_OK);
}

// The thread showing the report's boxes (0: none).
volatile LONG reportThread = 0;

DWORD WINAPI ShowBoxes(void* /*param*/) {
    TErrorOutput out(&ShowBox);
    out.Write(pendingReport);
    out.Close();
    return 0;
}

// A box runs a message loop on its thread: shown on the thread that ended the program, it would
// take that thread's posted results, ticks and paint messages and run the program's own code under
// a report that says it has ended (a fault in painting would come back at once and end the report
// before it is read). So the boxes are shown from a fresh thread, while the ending one waits
// without taking any message. Only when no thread can be had are they shown here.
void ShowReport() {
    if (reportShown || pendingReport.empty()) return;
    // Marked first: a fault while the boxes are up must not show them again.
    reportShown = true;
    HANDLE t = CreateThread(nullptr, 0, &ShowBoxes, nullptr, CREATE_SUSPENDED, nullptr);
    if (t == nullptr) {
        ShowBoxes(nullptr);
        return;
    }
    reportThread = static_cast<LONG>(GetThreadId(t));
    ResumeThread(t);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
}

[[noreturn]] void EndProcess() {
    if (filterInstalled) SetUnhandledExceptionFilter(previousFilter);
    ExitProcess(ExitCode);
}

// Ending the program, normal or not. Only the first thread goes through; a fault inside the path
// shows the first report if it is still pending and ends with the first number.
[[noreturn]] void EndProgram(uint16_t code, uintptr_t address, const uintptr_t* callers, size_t count) {
    const LONG self = static_cast<LONG>(GetCurrentThreadId());
    // A fault while the boxes are shown: the report has been seen as far as it could be.
    if (self == reportThread) EndProcess();
    const LONG owner = InterlockedCompareExchange(&exitOwner, self, 0);
    if (owner == self) {
        ShowReport();
        EndProcess();
    }
    if (owner != 0) {
        // Another thread is ending the program and will end this one with it.
        for (;;)
            Sleep(INFINITE);
    }
    ExitCode = code;
    ErrorAddr = address;
    // Written before anything else runs, so a fault from here on still has it to show.
    if (ErrorAddr != 0) pendingReport = FormatReport(ExitCode, ErrorAddr, callers, count);
    RunExitProcs();
    ShowReport();
    EndProcess();
}

// Return addresses above a faulting context, at most kMaxCallers.
size_t WalkCallers(const CONTEXT& fault, uintptr_t* callers) {
    size_t n = 0;
#if defined(__x86_64__)
    CONTEXT ctx = fault;
    while (n < kMaxCallers) {
        DWORD64 imageBase = 0;
        PRUNTIME_FUNCTION entry = RtlLookupFunctionEntry(ctx.Rip, &imageBase, nullptr);
        if (entry == nullptr) {
            // A leaf function: its return address is on top of the stack.
            ctx.Rip = *reinterpret_cast<const DWORD64*>(ctx.Rsp);
            ctx.Rsp += 8;
        } else {
            void* handlerData = nullptr;
            DWORD64 frame = 0;
            RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, ctx.Rip, entry, &ctx, &handlerData, &frame,
                             nullptr);
        }
        if (ctx.Rip == 0) break;
        callers[n++] = static_cast<uintptr_t>(ctx.Rip);
    }
#elif defined(__i386__)
    // The chain of frame pointers, while it is readable and climbs the stack.
    uintptr_t frame = fault.Ebp;
    while (n < kMaxCallers && frame != 0 && (frame & 3) == 0 &&
           !IsBadReadPtr(reinterpret_cast<const void*>(frame), 2 * sizeof(uintptr_t))) {
        const auto* words = reinterpret_cast<const uintptr_t*>(frame);
        if (words[1] == 0) break;
        callers[n++] = words[1];
        if (words[0] <= frame) break;
        frame = words[0];
    }
#endif
    return n;
}

bool IsPrefetch(const void* address) {
    const auto* code = static_cast<const unsigned char*>(address);
    return !IsBadReadPtr(code, 2) && code[0] == 0x0F && (code[1] == 0x18 || code[1] == 0x0D);
}

struct TFaultReport {
    uint16_t code;
    uintptr_t address;
    uintptr_t callers[kMaxCallers];
    size_t count;
};

DWORD WINAPI EndOnFreshStack(void* param) {
    const auto* r = static_cast<const TFaultReport*>(param);
    EndProgram(r->code, r->address, r->callers, r->count);
}

LONG WINAPI FaultFilter(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD& rec = *info->ExceptionRecord;
    // Some processors fault on a prefetch of an unmapped address; it is only a hint.
    if (rec.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && IsPrefetch(rec.ExceptionAddress)) {
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    // Nothing in the exit path may trap again on the floating-point state this fault left.
    _fpreset();
    uint32_t sseStatus = 0;
#if defined(__x86_64__)
    sseStatus = info->ContextRecord->MxCsr;
#endif
    TFaultReport r{};
    r.code = ErrorNumberOf(rec.ExceptionCode, sseStatus);
    r.address = reinterpret_cast<uintptr_t>(rec.ExceptionAddress);
    r.count = WalkCallers(*info->ContextRecord, r.callers);
    if (rec.ExceptionCode == EXCEPTION_STACK_OVERFLOW) {
        // This stack has no room left for the boxes: the exit path runs on a thread of its own.
        HANDLE t = CreateThread(nullptr, SIZE_T{256} * 1024, &EndOnFreshStack, &r, 0, nullptr);
        if (t != nullptr) WaitForSingleObject(t, INFINITE);
    }
    EndProgram(r.code, r.address, r.callers, r.count);
}

// The x87 control word of the program: 64-bit precision, round to nearest, invalid operation,
// division by zero and overflow unmasked.
constexpr uint16_t kX87Control = 0x1332;
// The SSE unit likewise: all exceptions masked (0x1F80) but those three.
constexpr uint32_t kSseControl = 0x1F80 & ~(0x80u | 0x200u | 0x400u);
constexpr uint16_t kX87Masks = 0x3F;
constexpr uint16_t kX87Pending = 0x80FF;  // busy, summary, stack fault and the exception flags
constexpr uint32_t kSseMasks = 0x1F80;
constexpr uint32_t kSseFlags = 0x3F;

// A foreign fault masked the traps of this thread: the program's own are loaded again on entry.
thread_local bool trapsMasked = false;

void LoadFloatTraps() {
    uint16_t cw = kX87Control;
    asm volatile("fnclex\n\tfldcw %0" : : "m"(cw));
#if defined(__x86_64__)
    uint32_t csr = kSseControl;
    asm volatile("ldmxcsr %0" : : "m"(csr));
#endif
}

bool IsFloatFault(DWORD code) {
    return (code >= EXCEPTION_FLT_DENORMAL_OPERAND && code <= EXCEPTION_FLT_UNDERFLOW) ||
           code == STATUS_FLOAT_MULTIPLE_FAULTS || code == STATUS_FLOAT_MULTIPLE_TRAPS;
}

// Masks every floating-point exception in the faulting context and clears what is pending, so that
// the instruction runs again with the default result (an infinity, a NaN) as it would have under the
// system's masks.
LONG MaskFloatFault(CONTEXT& ctx) {
#if defined(__x86_64__)
    ctx.MxCsr = (ctx.MxCsr | kSseMasks) & ~kSseFlags;
    ctx.FltSave.MxCsr = ctx.MxCsr;
    ctx.FltSave.ControlWord |= kX87Masks;
    ctx.FltSave.StatusWord &= static_cast<WORD>(~kX87Pending);
#elif defined(__i386__)
    ctx.FloatSave.ControlWord |= kX87Masks;
    ctx.FloatSave.StatusWord &= ~static_cast<DWORD>(kX87Pending);
    if ((ctx.ContextFlags & CONTEXT_EXTENDED_REGISTERS) == CONTEXT_EXTENDED_REGISTERS) {
        // The FXSAVE image: control word at 0, status word at 2, MXCSR at 24.
        auto* fx = ctx.ExtendedRegisters;
        uint16_t cw, sw;
        uint32_t csr;
        std::memcpy(&cw, fx, 2);
        std::memcpy(&sw, fx + 2, 2);
        std::memcpy(&csr, fx + 24, 4);
        cw |= kX87Masks;
        sw &= static_cast<uint16_t>(~kX87Pending);
        csr = (csr | kSseMasks) & ~kSseFlags;
        std::memcpy(fx, &cw, 2);
        std::memcpy(fx + 2, &sw, 2);
        std::memcpy(fx + 24, &csr, 4);
    }
#endif
    trapsMasked = true;
    return EXCEPTION_CONTINUE_EXECUTION;
}

// A fault of the program's own code is taken at first chance. Window procedures reached through a
// kernel callback (a message sent on the same thread, a notification sent by a control) run under a
// dispatcher that swallows exceptions on 64-bit Windows: left to the top-level filter, such a fault
// would vanish and the program would run on in a broken state. The program has no structured
// handlers of its own, so nothing of it is taken away; faults in system code keep their own handlers.
LONG WINAPI FirstChance(EXCEPTION_POINTERS* info) {
    static const auto* image = reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
    static const size_t size = [] {
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
        return reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew)->OptionalHeader.SizeOfImage;
    }();
    const EXCEPTION_RECORD& rec = *info->ExceptionRecord;
    const auto* at = static_cast<const unsigned char*>(rec.ExceptionAddress);
    const uint16_t number = ErrorNumberOf(rec.ExceptionCode);
    const bool fault =
        (rec.ExceptionCode & 0xF0000000) == 0xC0000000 && number != kErrOther && number != kErrUnhandled;
    const bool own = at >= image && at < image + size;
    if (!own && IsFloatFault(rec.ExceptionCode)) return MaskFloatFault(*info->ContextRecord);
    if (!fault || !own) return EXCEPTION_CONTINUE_SEARCH;
    return FaultFilter(info);
}

[[noreturn]] void EndUncaught() {
    EndProgram(kErrUnhandled, reinterpret_cast<uintptr_t>(__builtin_return_address(0)), nullptr, 0);
}

// Room for the report on an overflowed stack: the filter starts the thread that shows it.
constexpr ULONG kStackGuarantee = 64 * 1024;

}  // namespace

void InstallErrorHandler() {
    previousFilter = SetUnhandledExceptionFilter(&FaultFilter);
    filterInstalled = true;
    AddVectoredExceptionHandler(1, &FirstChance);
    std::set_terminate(&EndUncaught);
    ULONG guarantee = kStackGuarantee;
    SetThreadStackGuarantee(&guarantee);
    LoadFloatTraps();
}

void RestoreFloatTraps() {
    if (!trapsMasked) return;
    trapsMasked = false;
    // A masked x87 fault may leave the register stack unbalanced; it is empty whenever a window
    // procedure is entered, so it is emptied here before the traps come back.
    asm volatile("fninit");
    LoadFloatTraps();
}

void RemoveErrorHandler() {
    if (!filterInstalled) return;
    SetUnhandledExceptionFilter(previousFilter);
    filterInstalled = false;
}

void RunError(uint16_t n) {
    void* frames[kMaxCallers];
    const USHORT count = CaptureStackBackTrace(2, kMaxCallers, frames, nullptr);
    uintptr_t callers[kMaxCallers];
    for (USHORT i = 0; i < count; ++i)
        callers[i] = reinterpret_cast<uintptr_t>(frames[i]);
    EndProgram(n, reinterpret_cast<uintptr_t>(__builtin_return_address(0)), callers, count);
}

void Halt(uint16_t code) {
    EndProgram(code, 0, nullptr, 0);
}

// ---- The heap

// A request that must succeed and cannot ends the program with error 203; one that may fail
// (new (std::nothrow)) gets null, and its caller's failure path is a real one. A new-handler cannot
// tell the two apart: called for both, it would end the program on every failure and leave every
// null branch dead. So the replaceable allocation functions are the program's own, over the C heap
// that the library's own release functions give back to.
namespace {

[[noreturn]] void OutOfMemory(void* at) {
    EndProgram(kErrOutOfMemory, reinterpret_cast<uintptr_t>(at), nullptr, 0);
}

}  // namespace

// NOLINTBEGIN(misc-new-delete-overloads,cert-dcl58-cpp)
void* operator new(size_t size) {
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    OutOfMemory(__builtin_return_address(0));
}
void* operator new[](size_t size) {
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    OutOfMemory(__builtin_return_address(0));
}
void* operator new(size_t size, const std::nothrow_t& /*tag*/) noexcept {
    return std::malloc(size != 0 ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t& /*tag*/) noexcept {
    return std::malloc(size != 0 ? size : 1);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t /*size*/) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t /*size*/) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t& /*tag*/) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t& /*tag*/) noexcept {
    std::free(p);
}
// NOLINTEND(misc-new-delete-overloads,cert-dcl58-cpp)
