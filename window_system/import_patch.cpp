#include "import_patch.h"

#include <string.h>

namespace window_system {

template <typename T> static T* AtRva(HMODULE module, DWORD rva) {
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + rva);
}

void** FindImportSlot(HMODULE module, const char* dll, const char* function) {
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const IMAGE_NT_HEADERS* nt = AtRva<const IMAGE_NT_HEADERS>(module, dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0)
        return nullptr;
    for (const IMAGE_IMPORT_DESCRIPTOR* import =
             AtRva<const IMAGE_IMPORT_DESCRIPTOR>(module, directory.VirtualAddress);
         import->Name != 0; ++import) {
        if (_stricmp(AtRva<const char>(module, import->Name), dll) != 0)
            continue;
        // The lookup table keeps the names; the address table, in step with it, the pointers.
        const IMAGE_THUNK_DATA* names =
            AtRva<const IMAGE_THUNK_DATA>(module, import->OriginalFirstThunk);
        IMAGE_THUNK_DATA* slots = AtRva<IMAGE_THUNK_DATA>(module, import->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const IMAGE_IMPORT_BY_NAME* byName =
                AtRva<const IMAGE_IMPORT_BY_NAME>(module, names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

bool ReplaceImport(HMODULE module, const char* dll, const char* function, void* replacement) {
    void** slot = FindImportSlot(module, dll, function);
    if (slot == nullptr)
        return false;
    // The address table may sit in read-only memory once the loader is done with it.
    DWORD oldProtection;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &oldProtection))
        return false;
    *slot = replacement;
    VirtualProtect(slot, sizeof *slot, oldProtection, &oldProtection);
    return true;
}

} // namespace window_system
