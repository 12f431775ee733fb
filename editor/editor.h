// editor.h - a stand-in for the host editor vexra.exe: a plain Win32 program that finds its
// drawing tools in plugins\ beside it, shows a picture, and lets the user apply a tool to it
// with the platform's real cursor and message boxes.
//
// The window: a toolbar strip with one button per tool (its bitmap 102, its string 100 as
// tooltip) and the two tolerance fields, the picture 1:1 in a scrollable view, and a status
// bar. The nine host services are the simulated host's, over the picture in memory; the
// editor reacts to each refresh request by copying the requested rectangle to what the view
// shows and repainting it at once, so a fill is seen growing although it runs no message
// loop. LoadCursorA, SetCursor and MessageBoxA reach user32 untouched.
//
// One editor per process; its state is the single Editor below.
#ifndef EDITOR_EDITOR_H
#define EDITOR_EDITOR_H

#include <windows.h>

#include <string>
#include <vector>

#include "simulated_host/plugin_loader.h"
#include "simulated_host/simulated_host.h"
#include "tools/image_files.h"

// A plug-in that answered 2 to VXcGetDrawInterface.
struct EditorTool {
    std::string fileName, name;
    LoadedPlugin plugin;
    HBITMAP bitmap = nullptr;
    HWND button = nullptr;
};

// What one application of a tool did, as the status bar and the script report it.
struct FillOutcome {
    int32_t x = 0, y = 0;
    uint64_t pixelsPainted = 0; // distinct pixels
    uint64_t refreshRequests = 0;
    int32_t messagesShown = 0;
    double milliseconds = 0;
    // The cursor: before the call, at every refresh request (all wait?), after the call.
    HCURSOR cursorBefore = nullptr, cursorAfter = nullptr;
    uint64_t refreshesUnderWaitCursor = 0;
    // Refresh requests after which the last pixel painted, if in view, was looked at on the
    // window, and how many of those showed its new colour at once, before the fill went on.
    uint64_t refreshesLookedAt = 0, refreshesShownAtOnce = 0;
};

struct Editor {
    HINSTANCE instance = nullptr;
    HWND main = nullptr, view = nullptr, stepField = nullptr, seedField = nullptr, status = nullptr,
         tooltip = nullptr;
    std::vector<EditorTool> tools;
    int selectedTool = -1;
    std::vector<std::string> skippedPlugins; // one line per DLL that did not become a tool

    SimulatedHost host; // the picture, its mask, the parameter store
    bool havePicture = false;
    std::string picturePath;
    std::vector<uint32_t> shown; // what the view shows: the picture as of its last refresh
    std::vector<PackedColour> undoPixels;
    bool canUndo = false;
    int32_t scrollX = 0, scrollY = 0;

    bool filling = false;
    FillOutcome last;
    std::vector<uint32_t> paintStamp; // per pixel: the fill that last painted it
    uint32_t fillNumber = 0;
};

extern Editor TheEditor;

// Heights of the strips above and below the view, in pixels.
enum { ToolbarHeight = 34, ToolButtonSize = 28 };

// Command identifiers of the tool buttons: the first tool's, then one more for each.
enum : unsigned { FirstToolCommand = 2000 };

// plugins.cpp: loads every *.DLL in `folder`, keeps the drawing tools, makes their buttons.
void LoadTools(const std::string& folder);
void CreateToolButtons(HWND parent, int left, int top);
int ToolButtonsWidth();
int FindTool(const std::string& name);
void SelectTool(int index);
std::string TooltipTextOf(int index); // as the tooltip control holds it

// picture_view.cpp: the view and what a click on it does.
bool RegisterViewClass(HINSTANCE instance);
HWND CreatePictureView(HWND parent);
bool OpenPicture(const std::string& path, std::string* error);
bool SavePicture(const std::string& path, std::string* error);
void UndoLastFill();
void ScrollToShow(int32_t x, int32_t y);
void UpdateViewScrollBars();
POINT PictureToView(int32_t x, int32_t y);

// main.cpp
void SetStatusText(const std::string& text);
std::string FieldText(HWND field);
void PumpMessages(); // handles every message waiting now, without blocking

#endif
