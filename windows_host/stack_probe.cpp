#include "stack_probe.h"

namespace windows_host {

extern "C" int32_t ProbeCall(const void* function, const uint32_t* words, int32_t count,
                             int32_t* bytesLeft);

// cdecl: ProbeCall(function, words, count, bytesLeft). EDI keeps the stack pointer from before
// the pushes (the callee must preserve EDI, ESI, EBX and EBP); the difference after the call is
// what the callee left behind.
asm(".text\n"
    ".globl _ProbeCall\n"
    "_ProbeCall:\n"
    "    pushl %ebp\n"
    "    movl %esp, %ebp\n"
    "    pushl %esi\n"
    "    pushl %edi\n"
    "    pushl %ebx\n"
    "    movl 12(%ebp), %esi\n"
    "    movl 16(%ebp), %ecx\n"
    "    movl %esp, %edi\n"
    "1:  testl %ecx, %ecx\n"
    "    jz 2f\n"
    "    decl %ecx\n"
    "    pushl (%esi,%ecx,4)\n"
    "    jmp 1b\n"
    "2:  call *8(%ebp)\n"
    "    movl %edi, %ecx\n"
    "    subl %esp, %ecx\n"
    "    movl %edi, %esp\n"
    "    movl 20(%ebp), %edx\n"
    "    movl %ecx, (%edx)\n"
    "    popl %ebx\n"
    "    popl %edi\n"
    "    popl %esi\n"
    "    popl %ebp\n"
    "    ret\n");

ProbedCall CallMeasuringStack(const void* function, const uint32_t* words, int32_t count) {
    int32_t bytesLeft = 0;
    int32_t result = ProbeCall(function, words, count, &bytesLeft);
    return ProbedCall{result, count * 4 - bytesLeft};
}

} // namespace windows_host
