// memory_exhaustion.h - a run that runs out of memory ends as any other failure does.
//
// Once the picture's size is known, an allocation that fails anywhere in the tool (decoding,
// the clicks, writing) prints one line, "PROGRAM: not enough memory for a picture of W x H
// pixels", removes every temporary file and folder the run registered (interrupt_cleanup.h)
// and exits with status 1: never an abort, never a file left half written under its name.
// Code that can go on without the memory (a decoder that reports it) is never asked: a failed
// allocation of `new` ends the run here before any bad_alloc is thrown.
#ifndef TOOLS_MEMORY_EXHAUSTION_H
#define TOOLS_MEMORY_EXHAUSTION_H

#include <stddef.h>
#include <stdint.h>

#include <string>

void ExitCleanlyWhenMemoryRunsOut(const std::string& program, int64_t width, int64_t height);

// malloc and realloc for C code (the PNG encoder, zlib's buffers): when they fail, the run ends
// as above once ExitCleanlyWhenMemoryRunsOut() has been called; before, they return null.
void* AllocateOrExit(size_t size);
void* ReallocateOrExit(void* pointer, size_t size);

#endif
