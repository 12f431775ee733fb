// import_patch.h - finding and replacing a loaded module's imports, by DLL and function name.
//
// A module calls an imported function through its import address table: one pointer slot per
// imported name, filled in by the loader. Overwriting a slot sends the module's calls to
// another function of the same signature and calling convention; nothing else in the process
// is affected.
#ifndef WINDOW_SYSTEM_IMPORT_PATCH_H
#define WINDOW_SYSTEM_IMPORT_PATCH_H

#include <windows.h>

namespace window_system {

// The slot through which `module` calls `function` imported from `dll` (DLL names compare
// without regard to case), or null if the module imports no such name.
void** FindImportSlot(HMODULE module, const char* dll, const char* function);

// Points the slot of `function` at `replacement`. Returns false if there is no such slot.
bool ReplaceImport(HMODULE module, const char* dll, const char* function, void* replacement);

} // namespace window_system

#endif
