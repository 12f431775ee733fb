// What only the real DLL in a real Windows loader shows: the calling convention of every
// export, the ordinals, the load/unload entry, the bindings of the host's services, and the
// resources as the host reads them.
#include <string.h>
#include <windows.h>

#include <string>

#include "import_patch.h"
#include "stack_probe.h"
#include "test_support.h"

static HMODULE PluginModule() {
    return GetModuleHandleA(PLUGIN_PATH);
}

// Words pushed for every probed call: more than any export takes. The first three are what
// VXcDrawIt reads (view, x, y); the other exports ignore all of theirs.
static void ProbeWords(ImageView* view, uint32_t words[8]) {
    uint32_t filler[8] = {uint32_t(uintptr_t(view)), 1, 0, 0x7777, 0xFFFFFFFFu, 0, 9, 0};
    memcpy(words, filler, sizeof filler);
}

using plugin_checks::PluginTest;

TEST_F(PluginTest, EveryExportRemovesExactlyItsArgumentWordsAndAnswersItsCode) {
    UseGreyImage({{3, 3}, {3, 3}});
    host.SetTolerances("0", "0");
    struct Expectation {
        const char* name;
        int32_t bytesRemoved, result;
    } expectations[] = {{"VXcGetDrawInterface", 0, 2}, {"VXcGetDrawInfo", 0, 1},
                        {"VXcSetPoint", 16, 4},        {"VXcDrawGuideLine", 24, 1},
                        {"VXcDrawIt", 16, 4},          {"VXcCancelOne", 12, 4}};
    uint32_t words[8];
    ProbeWords(host.View(), words);
    for (const Expectation& expected : expectations) {
        FARPROC entry = GetProcAddress(PluginModule(), expected.name);
        ASSERT_NE(entry, nullptr) << expected.name;
        windows_host::ProbedCall call =
            windows_host::CallMeasuringStack(reinterpret_cast<const void*>(entry), words, 8);
        EXPECT_EQ(call.bytesRemoved, expected.bytesRemoved) << expected.name;
        EXPECT_EQ(call.result, expected.result) << expected.name;
    }
    // The probed VXcDrawIt really ran the fill at (1, 0) of the uniform image.
    EXPECT_EQ(PaintedPixels().size(), 4u);
}

TEST(DllImage, OrdinalsFollowTheAlphabeticalOrderOfTheNames) {
    const char* byOrdinal[] = {"VXcCancelOne",   "VXcDrawGuideLine",    "VXcDrawIt",
                               "VXcGetDrawInfo", "VXcGetDrawInterface", "VXcSetPoint"};
    for (int ordinal = 1; ordinal <= 6; ++ordinal) {
        FARPROC byNumber = GetProcAddress(PluginModule(), MAKEINTRESOURCEA(ordinal));
        EXPECT_NE(byNumber, nullptr) << ordinal;
        EXPECT_EQ(byNumber, GetProcAddress(PluginModule(), byOrdinal[ordinal - 1])) << ordinal;
    }
    EXPECT_EQ(GetProcAddress(PluginModule(), MAKEINTRESOURCEA(7)), nullptr);
    // Only the plain names are exported, not the decorated ones.
    EXPECT_EQ(GetProcAddress(PluginModule(), "VXcDrawIt@16"), nullptr);
    EXPECT_EQ(GetProcAddress(PluginModule(), "_VXcDrawIt@16"), nullptr);
}

TEST(DllImage, LoadEntryReportsSuccessForAllFourReasonsAndCleansItsThreeWords) {
    HMODULE module = PluginModule();
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        reinterpret_cast<const BYTE*>(module) + dos->e_lfanew);
    const void* entry =
        reinterpret_cast<const BYTE*>(module) + nt->OptionalHeader.AddressOfEntryPoint;
    const DWORD reasons[] = {DLL_PROCESS_ATTACH, DLL_THREAD_ATTACH, DLL_THREAD_DETACH,
                             DLL_PROCESS_DETACH};
    for (DWORD reason : reasons) {
        uint32_t words[4] = {uint32_t(uintptr_t(module)), reason, 0, 0x5EED};
        windows_host::ProbedCall call = windows_host::CallMeasuringStack(entry, words, 4);
        EXPECT_EQ(call.result, TRUE) << reason;
        EXPECT_EQ(call.bytesRemoved, 12) << reason;
    }
}

TEST(DllImage, HostServicesAreBoundToTheExecutablesExports) {
    struct Service {
        const char* name;
        void* address;
    } services[] = {{"_VXsGetParameter", reinterpret_cast<void*>(&_VXsGetParameter)},
                    {"_VXsGetCDIBinfo", reinterpret_cast<void*>(&_VXsGetCDIBinfo)},
                    {"_VXsStartOnImage", reinterpret_cast<void*>(&_VXsStartOnImage)},
                    {"_VXsGetColorOnImage", reinterpret_cast<void*>(&_VXsGetColorOnImage)},
                    {"_VXsGetMask", reinterpret_cast<void*>(&_VXsGetMask)},
                    {"_VXsStartPset", reinterpret_cast<void*>(&_VXsStartPset)},
                    {"_VXsPSet", reinterpret_cast<void*>(&_VXsPSet)},
                    {"_VXsSetDrawFlag", reinterpret_cast<void*>(&_VXsSetDrawFlag)},
                    {"_VXsUpdateImageWindow", reinterpret_cast<void*>(&_VXsUpdateImageWindow)}};
    for (const Service& service : services) {
        void** slot = window_system::FindImportSlot(PluginModule(), "vexra.exe", service.name);
        ASSERT_NE(slot, nullptr) << service.name;
        EXPECT_EQ(*slot, service.address) << service.name;
        EXPECT_EQ(GetProcAddress(GetModuleHandleA(nullptr), service.name), service.address)
            << service.name;
    }
}

TEST(DllImage, StringHundredIsTheToolNameAndTheOnlyString) {
    char text[64];
    EXPECT_EQ(LoadStringA(PluginModule(), 100, text, sizeof text), 13);
    EXPECT_EQ(std::string(text), "RegionGrowing");
    for (UINT id = 96; id < 112; ++id) {
        if (id != 100) {
            EXPECT_EQ(LoadStringA(PluginModule(), id, text, sizeof text), 0) << id;
        }
    }
    const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    EXPECT_NE(FindResourceExA(PluginModule(), MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(7), english),
              nullptr);
}

TEST(DllImage, BitmapHundredAndTwoLoadsAsTheTwentyByTwentyButton) {
    const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    EXPECT_NE(FindResourceExA(PluginModule(), MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(102), english),
              nullptr);
    HBITMAP button = LoadBitmapA(PluginModule(), MAKEINTRESOURCEA(102));
    ASSERT_NE(button, nullptr);
    BITMAP info = {};
    ASSERT_EQ(GetObjectA(button, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.bmWidth, 20);
    EXPECT_EQ(info.bmHeight, 20);

    // A few pixels the picture fixes: the margin, the outline's top, the dot at the centre.
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = 20;
    format.bmiHeader.biHeight = -20; // top row first
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    DWORD pixels[20 * 20] = {};
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(GetDIBits(screen, button, 0, 20, pixels, &format, DIB_RGB_COLORS), 20);
    ReleaseDC(nullptr, screen);
    auto at = [&](int x, int y) { return pixels[y * 20 + x] & 0xFFFFFFu; };
    EXPECT_EQ(at(0, 0), 0xC0C0C0u);
    EXPECT_EQ(at(19, 19), 0xC0C0C0u);
    EXPECT_EQ(at(12, 2), 0x000000u);
    EXPECT_EQ(at(11, 11), 0x000080u);
    EXPECT_EQ(at(11, 10), 0xC0C0C0u);
    DeleteObject(button);
}
