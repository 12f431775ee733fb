// memory_exhaustion.h - a run that runs out of memory, or meets any failure nothing catches,
// ends as any other failure does.
//
// From ExitCleanlyOnUncaughtFailure() on, an allocation that fails anywhere in the tool
// (decoding, the clicks, writing) prints one line, "PROGRAM: not enough memory for a picture of
// W x H pixels" once the picture's size is known (ExitCleanlyWhenMemoryRunsOut), removes every
// temporary file and folder the run registered (interrupt_cleanup.h) and exits with status 1:
// never an abort, never a file left half written under its name. A failed allocation of `new`
// ends the run here before any bad_alloc is thrown. Any other exception that nothing catches (a
// thread the system cannot start) ends it the same way, with "PROGRAM: cannot go on: WHAT".
#ifndef REGION_GROW_MEMORY_EXHAUSTION_H
#define REGION_GROW_MEMORY_EXHAUSTION_H

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace region_grow {

// Call first in main(); `program` is argv[0] (its stem names the tool in messages).
void ExitCleanlyOnUncaughtFailure(const std::string& program);

// Names the picture's size in the message from now on.
void ExitCleanlyWhenMemoryRunsOut(int64_t width, int64_t height);

// malloc and realloc for C code (the PNG encoder, zlib's buffers): when they fail, the run ends
// as above once ExitCleanlyOnUncaughtFailure() has been called; before, they return null.
void* AllocateOrExit(size_t size);
void* ReallocateOrExit(void* pointer, size_t size);

} // namespace region_grow

#endif
