// fault_guard.h - calls into a plug-in that survive the plug-in's processor faults.
//
// CallGuarded(call, context, module, &fault) runs call(context) on this thread. Should the
// processor fault while it runs (an access violation, an illegal or privileged instruction, a
// division by zero, a stack overflow, ...), or should the call raise a software exception of
// error severity that no handler of its own takes (an uncaught C++ throw, 0xE06D7363), the call
// is abandoned: CallGuarded returns false with the exception's code and address, and the
// editor goes on. After a stack overflow the stack's guard page is set again, so that the next
// one is survived too. Whatever the call had begun
// is left as it was: the caller restores its own state (the picture, the cursor) and unloads
// the plug-in, whose static state is now unknown.
//
// How: mingw's g++ has no __try. A vectored exception handler takes faults whose address lies
// in the guarded module's code; an unhandled-exception filter takes any other failure that no
// handler wanted while a guard is up (a plug-in faulting inside a system function it called,
// or in its load entry). Either one points the faulting context at a landing function, on the
// stack below CallGuarded's frame, and lets the system resume there; the landing jumps back
// into CallGuarded with __builtin_longjmp, which then restores the thread's chain of SEH frames.
// Guards do not nest; one thread (the window's) uses them.
#ifndef EDITOR_FAULT_GUARD_H
#define EDITOR_FAULT_GUARD_H

#include <windows.h>

#include <string>

namespace editor {

struct PluginFault {
    DWORD code = 0;
    void* address = nullptr;
};

// The image of the module whose faults the vectored handler takes; a null module guards by the
// unhandled-exception filter alone (while the module is being loaded).
bool CallGuarded(void (*call)(void*), void* context, HMODULE module, PluginFault* fault);

// "access violation (exception 0xC0000005 at 0x6A281234)"
std::string DescribeFault(const PluginFault& fault);

} // namespace editor

#endif
