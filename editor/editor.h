// editor.h - a stand-in for the host editor vexra.exe: a plain Win32 program that finds its
// drawing tools in plugins\ beside it, shows a picture, and lets the user apply a tool to it
// with the platform's real cursor and message boxes.
//
// The window: a toolbar strip with one button per tool (its bitmap 102, its string 100 as
// tooltip) and the two tolerance fields, the picture 1:1 in a scrollable view, and a status
// bar. The nine host services are the tool host's (tool_host/tool_host.h), over the picture in
// memory. A refresh request adds its rectangle to the view's invalid area, and the view is
// repainted when about 16 ms of fill time have passed since the last repaint, and once at the
// end of the fill: the fill is seen growing at the display's pace, although it holds the thread
// and runs no message loop. LoadCursorA, SetCursor and MessageBoxA reach user32 untouched.
//
// Texts are UTF-8 inside; the editor meets Windows through its wide-character API (wide_text.h).
// One editor per process; its state is the single Editor below.
#ifndef EDITOR_EDITOR_H
#define EDITOR_EDITOR_H

#include <windows.h>

#include <string>
#include <vector>

#include "picture_io.h"
#include "plugin_loader.h"
#include "tool_host.h"
#include "undo_history.h"
#include "view_zoom.h"

namespace editor {

// A plug-in that answered 2 to VXcGetDrawInterface.
struct EditorTool {
    std::string fileName, path, name; // path: the DLL's full path
    host_model::LoadedPlugin plugin;  // library null when it could not be loaded again
    HBITMAP bitmap = nullptr;
    HWND button = nullptr;
};

// What one application of a tool did, as the status bar and the script report it.
struct FillOutcome {
    int32_t x = 0, y = 0;
    uint64_t pixelsPainted = 0; // distinct pixels
    uint64_t refreshRequests = 0, repaints = 0;
    int32_t messagesShown = 0;
    std::string firstMessage; // the text of the first message box the fill showed
    double milliseconds = 0;  // in the plug-in, without the time its message boxes were open
    double boxMilliseconds = 0;
    // Pixels painted so far, shown in the status bar at each repaint during the fill.
    uint64_t progressShown = 0;
    std::string lastProgress;
    bool faulted = false;
    std::string faultText;       // what the fault was and what the editor did about it
    std::string undoNote;        // set when the fill could not be kept for Undo
    bool changedNothing = false; // every pixel it painted had the paint colour already
    // The cursor before the call and after it; how often it was looked at during the fill (at
    // repaints, or with --check-repaints at every refresh request) and found the wait cursor.
    HCURSOR cursorBefore = nullptr, cursorAfter = nullptr;
    uint64_t cursorLooks = 0, cursorLooksWait = 0;
    // With --check-repaints: repaints after which a pixel the fill painted inside the area
    // repainted was read back from the window, and how many of those showed its new colour.
    uint64_t repaintsLookedAt = 0, repaintsShownRight = 0;
};

// The most pixels a picture may have: what this 32-bit editor can hold with room to spare. A
// picture takes about 9 bytes a pixel while open (the picture, the picture before the next
// fill, the drawn flags), saving about 12 more for a while, and undo levels up to their budget;
// a 16-bit one up to 8 more while open (its samples) and as many again while saving.
const int64_t EditorMaxPixels = int64_t(1) << 25; // 33,554,432
const size_t UndoBudgetBytes = size_t(192) << 20;

struct Editor {
    HINSTANCE instance = nullptr;
    HWND main = nullptr, view = nullptr, stepField = nullptr, seedField = nullptr, status = nullptr,
         tooltip = nullptr;
    std::vector<EditorTool> tools;
    int selectedTool = -1;
    std::vector<std::string> skippedPlugins; // one line per DLL that did not become a tool

    tool_host::ToolHost
        host; // the picture, its drawn flags, the parameter store, what a fill painted
    bool havePicture = false;
    // The picture as opened but for its colour words, which the host holds: its alpha, grey
    // and deep samples and its colour chunks, which saving carries over.
    picture_io::Picture opened;
    std::string picturePath;      // UTF-8, as opened or last saved
    bool savedAsPng = false;      // picturePath names a PNG this editor may save over (File > Save)
    std::vector<uint32_t> before; // the picture before the next fill: what a fault restores
    UndoHistory history{UndoBudgetBytes};
    uint64_t savedState = 0;            // history.StateId() when the picture was opened or saved
    int32_t scrollX = 0, scrollY = 0;   // in view pixels, of the whole zoomed picture
    Zoom zoom;                          // view pixels per picture pixel (view_zoom.h)
    uint32_t paintColour = 0x00FF00FFu; // 0x00RRGGBB, chosen for the session (Edit > Paint colour)

    bool filling = false;
    FillOutcome last;
    uint32_t fillNumber = 0; // fills started, for the script

    // Test options (editor_options.h).
    bool checkRepaints = false, inputDuringFill = false, reportFills = false;
};

extern Editor TheEditor;

// Heights of the strips above and below the view, in pixels.
enum { ToolbarHeight = 34, ToolButtonSize = 28 };

// Command identifiers: the menu's, then the tool buttons' (the first tool's, then one more for
// each).
enum : UINT {
    CommandOpen = 1001,
    CommandSaveAs,
    CommandSave,
    CommandPaintColour,
    CommandExit,
    CommandUndo,
    CommandRedo,
    CommandSkipped,
    CommandRecentSeparator,
    CommandZoomIn,
    CommandZoomOut,
    CommandZoomActual,
    CommandZoomFit,
    FirstRecentCommand = 1100, // File > the recent pictures, newest first
    FirstToolCommand = 2000
};

// plugins.cpp: loads every *.DLL in `folder`, keeps the drawing tools, makes their buttons.
void LoadTools(const std::string& folder);
void CreateToolButtons(HWND parent, int left, int top);
int ToolButtonsWidth();
int FindTool(const std::string& name);
void SelectTool(int index);
std::string TooltipTextOf(int index); // as the tooltip control holds it
// After a fault: unloads the tool's DLL and loads it again. False (and the tool's button
// disabled) when it cannot be loaded again.
bool ReloadTool(int index, std::string* error);
std::string SkippedPluginsText(); // every skipped DLL with the system's reason, in full

// fill.cpp: a click with the selected tool.
void ApplyTool(int32_t x, int32_t y);

// picture_view.cpp: the view.
bool RegisterViewClass(HINSTANCE instance);
HWND CreatePictureView(HWND parent);
void ScrollToShow(int32_t x, int32_t y);
void UpdateViewScrollBars();
POINT PictureToView(int32_t x, int32_t y); // the first view pixel of picture pixel (x, y)
// The picture pixel under view pixel (x, y); false outside the picture.
bool ViewToPicture(int x, int y, int32_t* pictureX, int32_t* pictureY);
// View > Zoom: sets the zoom, keeping the picture pixel under view pixel (x, y) where it is.
void SetZoom(Zoom zoom, int x, int y);
void ZoomBy(bool in);  // the next step, keeping the view's centre
void ZoomToFit();      // the whole picture in the view, or 1:1 when it fits at that
void ZoomActualSize(); // 1:1
// The keyboard's point (arrow keys; Enter applies the tool there), at a picture pixel.
void SetKeyPoint(int32_t x, int32_t y);
void ShowWholePicture(); // invalidates the whole view

// document.cpp: the picture as a document: opening, saving, undo, the title and the menu.
// Messages name paths as the user typed them, in quotes. A picture is saved at its own depth
// and with its colour chunks: a 16-bit picture keeps the samples of every pixel no fill shown
// painted, and the painted ones get the paint colour at 16 bits (picture_io::PaintDeep).
bool OpenPicture(const std::string& path, std::string* error);
bool SavePicture(const std::string& path, std::string* error);
// Where File > Save writes: the file the picture came from or was last saved as, when that is a
// PNG; "" when Save must ask, as Save As does (another format, or no picture).
std::string SaveInPlaceTarget();
bool HasUnsavedChanges();
// The paint the tool paints with from the next fill on (0x00RRGGBB), for this picture and the
// ones opened after it; as text, RRGGBB.
void SetPaintColour(uint32_t colour);
std::string PaintColourText();
// Asks Save / Don't Save / Cancel when there are unsaved changes; false means Cancel (or a
// save that failed): the caller must not discard the picture.
bool MayDiscardPicture();
void UndoFill();
void RedoFill();
void UpdateTitleAndMenu();
std::string AskForFile(bool save); // the common Open or Save As dialog; "" when cancelled
// Opens `path` as File > Open does once a name is chosen: asks first about unsaved changes,
// and tells the user when it cannot be opened. False when nothing was opened.
bool OpenAskingFirst(const std::string& path);
// The recent pictures (recent_files.h), kept in %APPDATA%\vexra\recent.txt (beside vexra.exe
// when there is no %APPDATA%): read at start-up, and each picture opened or saved joins the
// list, written at once, and the File menu.
void LoadRecentFiles();
std::string RecentFile(size_t index); // "" past the list
std::string RecentFilesPath();

// main.cpp
// The status bar's parts: the message (SetStatusText), the picture's size, the pixel under the
// pointer and its colour, and the tolerances as the plug-in reads the fields' texts.
enum StatusPart { StatusMessage, StatusSize, StatusPointer, StatusTolerances, StatusParts };
void SetStatusText(const std::string& text);
std::string StatusText();
std::string StatusPartText(int part);
void ShowPictureSize(); // with the zoom
void ShowZoom();
void ShowPointer(int32_t x, int32_t y); // picture pixel; outside the picture, nothing
void ShowTolerances();
void ShowMessage(const std::string& text, UINT icon); // a box owned by the main window
void PumpMessages();                                  // every message waiting now, no blocking
// The same, with the menu's keys and Tab handled as the window's message loop handles them.
void PumpMessagesWithKeys();

} // namespace editor

#endif
