// allocation_hook.h - counts heap allocations made by anything in the process (the loaded
// plug-in included) while counting is on. The bench executable defines malloc, calloc,
// realloc and the aligned allocators, forwarding to the C library's own; operator new reaches
// malloc, and the plug-in's calls bind to the executable's definitions.
#ifndef BENCH_ALLOCATION_HOOK_H
#define BENCH_ALLOCATION_HOOK_H

#include <stdint.h>

namespace bench {

void StartCountingAllocations();
// Stops counting and returns the allocations made since the start.
uint64_t StopCountingAllocations();

} // namespace bench

#endif
