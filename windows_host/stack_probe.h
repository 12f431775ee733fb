// stack_probe.h - calls a function with words pushed on the stack and measures how many bytes
// of them the function itself removed, as a callee-cleans (stdcall) function must.
#ifndef WINDOWS_HOST_STACK_PROBE_H
#define WINDOWS_HOST_STACK_PROBE_H

#include <stdint.h>

namespace windows_host {

struct ProbedCall {
    int32_t result;       // what the function returned in EAX
    int32_t bytesRemoved; // stack bytes the function popped on return: 4 per argument word
};

// Pushes words[count - 1] .. words[0] (so words[0] is the first argument), calls `function`,
// and puts the stack pointer back afterwards whatever the function did with it. Pushing more
// words than the function takes is harmless and shows exactly how many it removes.
ProbedCall CallMeasuringStack(const void* function, const uint32_t* words, int32_t count);

} // namespace windows_host

#endif
