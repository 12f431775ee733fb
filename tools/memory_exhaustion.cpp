#include "memory_exhaustion.h"

#include <stdio.h>

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
