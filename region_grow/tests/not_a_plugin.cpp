// A shared library with only the first of the plug-in's six entry points.
extern "C" __attribute__((visibility("default"))) int VXcGetDrawInterface(void) {
    return 2;
}
