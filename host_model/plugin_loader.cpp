#include "plugin_loader.h"

#include "utf8_wide.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace host_model {

static void* OpenLibrary(const std::string& path, std::string* error) {
#ifdef _WIN32
    HMODULE library = LoadLibraryW(WideFromUtf8(path).c_str());
    if (library == nullptr)
        *error = "cannot load plug-in " + path + ": error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(library);
#else
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        *error = std::string("cannot load plug-in: ") + dlerror();
    return library;
#endif
}

static void* FindEntry(void* library, const char* name) {
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
#else
    return dlsym(library, name);
#endif
}

template <typename Fn>
static bool Bind(void* library, const char* name, Fn* entry, std::string* error) {
    *entry = reinterpret_cast<Fn>(FindEntry(library, name));
    if (*entry == nullptr)
        *error = std::string("plug-in lacks the export ") + name;
    return *entry != nullptr;
}

bool LoadPlugin(const std::string& path, LoadedPlugin* plugin, std::string* error) {
    *plugin = LoadedPlugin();
    void* library = OpenLibrary(path, error);
    if (library == nullptr)
        return false;
    LoadedPlugin loaded;
    loaded.library = library;
    if (!Bind(library, "VXcGetDrawInterface", &loaded.getDrawInterface, error) ||
        !Bind(library, "VXcGetDrawInfo", &loaded.getDrawInfo, error) ||
        !Bind(library, "VXcSetPoint", &loaded.setPoint, error) ||
        !Bind(library, "VXcDrawGuideLine", &loaded.drawGuideLine, error) ||
        !Bind(library, "VXcDrawIt", &loaded.drawIt, error) ||
        !Bind(library, "VXcCancelOne", &loaded.cancelOne, error)) {
        UnloadPlugin(&loaded);
        return false;
    }
    *plugin = loaded;
    return true;
}

void UnloadPlugin(LoadedPlugin* plugin) {
    if (plugin->library != nullptr) {
#ifdef _WIN32
        FreeLibrary(static_cast<HMODULE>(plugin->library));
#else
        dlclose(plugin->library);
#endif
    }
    *plugin = LoadedPlugin();
}

} // namespace host_model
