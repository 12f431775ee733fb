#include "allocation_hook.h"

#include <stddef.h>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace bench {

static bool Counting = false;
static uint64_t Allocations = 0;

void StartCountingAllocations() {
    Allocations = 0;
    Counting = true;
}

uint64_t StopCountingAllocations() {
    Counting = false;
    return Allocations;
}

static inline void Note() {
    if (Counting)
        ++Allocations;
}

} // namespace bench

extern "C" {

__attribute__((visibility("default"))) void* malloc(size_t size) {
    bench::Note();
    return __libc_malloc(size);
}

__attribute__((visibility("default"))) void* calloc(size_t count, size_t size) {
    bench::Note();
    return __libc_calloc(count, size);
}

__attribute__((visibility("default"))) void* realloc(void* block, size_t size) {
    bench::Note();
    return __libc_realloc(block, size);
}

__attribute__((visibility("default"))) void* memalign(size_t alignment, size_t size) {
    bench::Note();
    return __libc_memalign(alignment, size);
}

__attribute__((visibility("default"))) void* aligned_alloc(size_t alignment, size_t size) {
    bench::Note();
    return __libc_memalign(alignment, size);
}

__attribute__((visibility("default"))) int posix_memalign(void** block, size_t alignment,
                                                          size_t size) {
    bench::Note();
    *block = __libc_memalign(alignment, size);
    return *block == nullptr ? 12 /* ENOMEM */ : 0;
}
}
