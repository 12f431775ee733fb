// plugin_loader.h - loads the plug-in by path and finds its six entry points by name, as the
// host does: dlopen/dlsym natively, LoadLibraryW/GetProcAddress on Windows (the path in UTF-8).
#ifndef HOST_MODEL_PLUGIN_LOADER_H
#define HOST_MODEL_PLUGIN_LOADER_H

#include <string>

#include "plugin_exports.h"

namespace host_model {

struct LoadedPlugin {
    void* library = nullptr;
    VXcGetDrawInterfaceFn getDrawInterface = nullptr;
    VXcGetDrawInfoFn getDrawInfo = nullptr;
    VXcSetPointFn setPoint = nullptr;
    VXcDrawGuideLineFn drawGuideLine = nullptr;
    VXcDrawItFn drawIt = nullptr;
    VXcCancelOneFn cancelOne = nullptr;
};

// Fills *plugin and returns true, or returns false with a one-line reason in *error (a library
// that cannot be loaded, or the first entry point it lacks).
bool LoadPlugin(const std::string& path, LoadedPlugin* plugin, std::string* error);

void UnloadPlugin(LoadedPlugin* plugin);

} // namespace host_model

#endif
