#include "fault_guard.h"

#include <malloc.h>
#include <stdint.h>
#include <stdio.h>

namespace editor {

namespace {

struct Guard {
    void* jump[5];
    bool active = false;
    DWORD thread = 0;
    const char *moduleStart = nullptr, *moduleEnd = nullptr;
    char* landingStack = nullptr;
    PluginFault* fault = nullptr;
};

Guard TheGuard;
LPTOP_LEVEL_EXCEPTION_FILTER PreviousFilter = nullptr;
bool Installed = false;

bool IsProcessorFault(DWORD code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_BREAKPOINT:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_STACK_OVERFLOW:
        return true;
    }
    return false;
}

__attribute__((noinline, noreturn)) void Landing() {
    __builtin_longjmp(TheGuard.jump, 1);
}

// An exception that ends a call: a processor fault, or any software exception of error
// severity (the top two bits of its code set), such as the one a C++ throw that nothing caught
// raises (0xE06D7363). Informational ones (debug output, thread names) go on as they would.
bool IsFailure(DWORD code) {
    return IsProcessorFault(code) || (code & 0xC0000000u) == 0xC0000000u;
}

// The first-chance handler takes processor faults in the module's code alone: the plug-in's own
// handlers never see those. Any other exception reaches the plug-in's handlers first, and the
// unhandled-exception filter only when none of them took it.
bool Guarded(const EXCEPTION_POINTERS* info, bool firstChance) {
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    return TheGuard.active && GetCurrentThreadId() == TheGuard.thread &&
           (firstChance ? IsProcessorFault(code) : IsFailure(code));
}

// Resumes the thread at Landing(), on stack that the abandoned call was using.
LONG Redirect(EXCEPTION_POINTERS* info) {
    TheGuard.fault->code = info->ExceptionRecord->ExceptionCode;
    TheGuard.fault->address = info->ExceptionRecord->ExceptionAddress;
    // An exception raised as non-continuable (as a C++ throw is) may not be resumed anywhere,
    // the landing included: the system would raise another in its place. The handler leaves
    // the dispatch by jumping back at once, from the stack below CallGuarded's frame that it
    // runs on; CallGuarded puts back the chain of SEH frames as it does after a landing.
    if (info->ExceptionRecord->ExceptionFlags & EXCEPTION_NONCONTINUABLE)
        Landing();
    info->ContextRecord->Esp = DWORD(uintptr_t(TheGuard.landingStack));
    info->ContextRecord->Eip = DWORD(uintptr_t(&Landing));
    return EXCEPTION_CONTINUE_EXECUTION;
}

LONG CALLBACK VectoredHandler(EXCEPTION_POINTERS* info) {
    const char* at = static_cast<const char*>(info->ExceptionRecord->ExceptionAddress);
    if (Guarded(info, true) && at >= TheGuard.moduleStart && at < TheGuard.moduleEnd)
        return Redirect(info);
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI UnhandledFilter(EXCEPTION_POINTERS* info) {
    if (Guarded(info, false))
        return Redirect(info);
    return PreviousFilter != nullptr ? PreviousFilter(info) : EXCEPTION_CONTINUE_SEARCH;
}

void Install() {
    if (Installed)
        return;
    AddVectoredExceptionHandler(1, VectoredHandler);
    PreviousFilter = SetUnhandledExceptionFilter(UnhandledFilter);
    Installed = true;
}

// The module's image: from its base, SizeOfImage bytes.
void ModuleRange(HMODULE module, const char** start, const char** end) {
    *start = *end = nullptr;
    if (module == nullptr)
        return;
    const char* base = reinterpret_cast<const char*>(module);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    *start = base;
    *end = base + nt->OptionalHeader.SizeOfImage;
}

} // namespace

__attribute__((noinline)) bool CallGuarded(void (*call)(void*), void* context, HMODULE module,
                                           PluginFault* fault) {
    Install();
    void* head; // the head of this thread's SEH frames, as it is here
    asm volatile("movl %%fs:0, %0" : "=r"(head));
    void* volatile chain = head; // kept in memory across the jump back
    TheGuard.thread = GetCurrentThreadId();
    ModuleRange(module, &TheGuard.moduleStart, &TheGuard.moduleEnd);
    // Below this frame (whose locals take far less than 512 bytes), in stack the call has used or
    // that the thread touched before, 16-byte aligned.
    TheGuard.landingStack =
        reinterpret_cast<char*>((uintptr_t(__builtin_frame_address(0)) - 512) & ~uintptr_t(15));
    TheGuard.fault = fault;
    *fault = PluginFault();
    if (__builtin_setjmp(TheGuard.jump) == 0) {
        TheGuard.active = true;
        call(context);
        TheGuard.active = false;
        return true;
    }
    TheGuard.active = false;
    head = chain;
    asm volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
    // A stack overflow used up the stack's guard page: without a new one, the next overflow
    // would find no stack to report itself on, and the process would end at once.
    if (fault->code == EXCEPTION_STACK_OVERFLOW)
        _resetstkoflw();
    return false;
}

std::string DescribeFault(const PluginFault& fault) {
    const char* name = "processor fault";
    switch (fault.code) {
    case EXCEPTION_ACCESS_VIOLATION:
        name = "access violation";
        break;
    case EXCEPTION_ILLEGAL_INSTRUCTION:
        name = "illegal instruction";
        break;
    case EXCEPTION_PRIV_INSTRUCTION:
        name = "privileged instruction";
        break;
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
        name = "division by zero";
        break;
    case EXCEPTION_STACK_OVERFLOW:
        name = "stack overflow";
        break;
    case EXCEPTION_BREAKPOINT:
        name = "breakpoint";
        break;
    case 0xE06D7363u:
        name = "C++ exception";
        break;
    default:
        if (!IsProcessorFault(fault.code))
            name = "software exception";
    }
    char text[96];
    snprintf(text, sizeof text, "%s (exception 0x%08lX at 0x%08lX)", name,
             static_cast<unsigned long>(fault.code),
             static_cast<unsigned long>(uintptr_t(fault.address)));
    return text;
}

} // namespace editor
