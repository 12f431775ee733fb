#include "memory_exhaustion.h"

#include <stdio.h>
#include <stdlib.h>

#include <new>

#include "interrupt_cleanup.h"

// Composed beforehand: when memory has run out, nothing more may be allocated.
static char Message[256];

[[noreturn]] static void OnMemoryExhausted() {
    fputs(Message, stderr);
    fflush(stderr);
    ExitRemovingTemporaries(1);
}

void ExitCleanlyWhenMemoryRunsOut(const std::string& program, int64_t width, int64_t height) {
    snprintf(Message, sizeof Message, "%s: not enough memory for a picture of %lld x %lld pixels\n",
             program.c_str(), (long long)width, (long long)height);
    std::set_new_handler(OnMemoryExhausted);
}

void* AllocateOrExit(size_t size) {
    void* memory = malloc(size);
    if (memory == nullptr && size > 0 && std::get_new_handler() == OnMemoryExhausted)
        OnMemoryExhausted();
    return memory;
}

void* ReallocateOrExit(void* pointer, size_t size) {
    void* memory = realloc(pointer, size);
    if (memory == nullptr && size > 0 && std::get_new_handler() == OnMemoryExhausted)
        OnMemoryExhausted();
    return memory;
}
