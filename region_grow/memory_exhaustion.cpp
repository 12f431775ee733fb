#include "memory_exhaustion.h"

#include <stdio.h>
#include <stdlib.h>

#include <exception>
#include <filesystem>
#include <new>
#include <system_error>

#include "interrupt_cleanup.h"

namespace region_grow {

// Composed beforehand: when memory has run out, nothing more may be allocated.
static char Program[128] = "region_grow";
static char Message[256] = "region_grow: not enough memory\n";

[[noreturn]] static void OnMemoryExhausted() {
    fputs(Message, stderr);
    fflush(stderr);
    files::ExitRemovingTemporaries(1);
}

[[noreturn]] static void OnUncaughtException() {
    const char* reason = "an unknown failure";
    if (std::exception_ptr failure = std::current_exception()) {
        try {
            std::rethrow_exception(failure);
        } catch (const std::bad_alloc&) {
            OnMemoryExhausted();
        } catch (const std::system_error& error) {
            // A thread whose stack cannot be mapped: memory again.
            if (error.code() == std::errc::resource_unavailable_try_again ||
                error.code() == std::errc::not_enough_memory)
                OnMemoryExhausted();
            reason = error.what();
        } catch (const std::exception& exception) {
            reason = exception.what();
        } catch (...) {
        }
    }
    fprintf(stderr, "%s: cannot go on: %s\n", Program, reason);
    fflush(stderr);
    files::ExitRemovingTemporaries(1);
}

void ExitCleanlyOnUncaughtFailure(const std::string& program) {
    snprintf(Program, sizeof Program, "%s", std::filesystem::path(program).stem().string().c_str());
    snprintf(Message, sizeof Message, "%s: not enough memory\n", Program);
    std::set_terminate(OnUncaughtException);
    std::set_new_handler(OnMemoryExhausted);
}

void ExitCleanlyWhenMemoryRunsOut(int64_t width, int64_t height) {
    snprintf(Message, sizeof Message, "%s: not enough memory for a picture of %lld x %lld pixels\n",
             Program, (long long)width, (long long)height);
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

} // namespace region_grow
