// vexra.exe, the Windows test host: the simulated host's services exported from an executable
// of the name the DLL imports them from, and the test suite run against the real PAINT.DLL.
//
// The DLL is loaded once here, before any test, so that its user32 imports can be redirected
// to the simulated host's recorders; the tests' own LoadLibraryA of the same name then gets
// this already loaded, already redirected module.
#include <gtest/gtest.h>
#include <stdio.h>
#include <windows.h>

#include "recorded_user32.h"

// The runner script looks for this line to tell a Windows program that ran from a machine
// that could not start one.
static const char StartedLine[] = "vexra test host started";

int main(int argc, char** argv) {
    printf("%s\n", StartedLine);
    fflush(stdout);
    ::testing::InitGoogleTest(&argc, argv);
    HMODULE plugin = LoadLibraryA(PLUGIN_PATH);
    if (plugin == nullptr) {
        fprintf(stderr, "cannot load %s: error %lu\n", PLUGIN_PATH, GetLastError());
        return 1;
    }
    int redirected = window_system::RecordUser32CallsOf(plugin);
    if (redirected != window_system::RecordedUser32Calls) {
        fprintf(stderr, "%s: only %d of the %d user32 imports found\n", PLUGIN_PATH, redirected,
                int(window_system::RecordedUser32Calls));
        return 1;
    }
    return RUN_ALL_TESTS();
}
