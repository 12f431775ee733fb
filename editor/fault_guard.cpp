#include "fault_guard.h"

#include <stdint.h>
#include <stdio.h>

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

bool Guarded(const EXCEPTION_POINTERS* info) {
    return TheGuard.active && GetCurrentThreadId() == TheGuard.thread &&
           IsProcessorFault(info->ExceptionRecord->ExceptionCode);
}

// Resumes the thread at Landing(), on stack that the abandoned call was using.
LONG Redirect(EXCEPTION_POINTERS* info) {
    TheGuard.fault->code = info->ExceptionRecord->ExceptionCode;
    TheGuard.fault->address = info->ExceptionRecord->ExceptionAddress;
    info->ContextRecord->Esp = DWORD(uintptr_t(TheGuard.landingStack));
    info->ContextRecord->Eip = DWORD(uintptr_t(&Landing));
    return EXCEPTION_CONTINUE_EXECUTION;
}

LONG CALLBACK VectoredHandler(EXCEPTION_POINTERS* info) {
    const char* at = static_cast<const char*>(info->ExceptionRecord->ExceptionAddress);
    if (Guarded(info) && at >= TheGuard.moduleStart && at < TheGuard.moduleEnd)
        return Redirect(info);
    return EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI UnhandledFilter(EXCEPTION_POINTERS* info) {
    if (Guarded(info))
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
    }
    char text[96];
    snprintf(text, sizeof text, "%s (exception 0x%08lX at 0x%08lX)", name,
             static_cast<unsigned long>(fault.code),
             static_cast<unsigned long>(uintptr_t(fault.address)));
    return text;
}
