// script.h - the editor's scripted mode, for tests and for pictures of the editor at work.
//
// RunScript does what the command line asks (editor_options.h) through the editor's own
// window, as a user would: it types the tolerance texts into the fields, presses the
// RegionGrowing button, and posts mouse messages to the view at each click's position. It
// prints, on standard output:
//   skipped FILE: REASON     one line per DLL in plugins\ that did not become a tool
//   tool RegionGrowing from PAINT.DLL, tooltip "RegionGrowing"
//   click X Y: N pixels painted, R refresh requests, M messages, T ms[ (boxes open B ms)];
//     repaints P; cursor
//     during the fill: wait, after: as before (cross); shown at repaints: S of L looked at
//   message "Buffer over", caption "Err", buttons OK, icon none, owner main window
//   fault: TEXT                  (a fill the plug-in ended with a processor fault)
//   status: TEXT                 (the status bar after each click)
//   progress: N updates, last "TEXT"          (with --report-status: the fill's progress
//   status parts: "SIZE", "X, Y  #RRGGBB", "step S, seed T"   shown, then the other parts)
//   fills F                      (fills started: one per click, whatever input came meanwhile)
//   dialog "Open", buttons Open,Cancel, owner main window   (cancelled; with --close-messages)
//   key ctrl+s: status: TEXT; size "SIZE"; title "TITLE"    (after each --key)
//   drop FILE: status: TEXT; title "TITLE"                  (after each --drop)
//   saved OUT.png
//   screenshot SHOT.png
//   window closed | window still open      (after --close-window)
// (the click line is one line; a message line comes before the line of its click; T leaves
// out the B ms its message boxes were open, given when it showed any). The cursor
// is named wait, cross, arrow, none or other; "wait" during the fill means it was the wait
// cursor whenever it was looked at (at every refresh request with --check-repaints, else at
// repaints). "Shown at repaints" (with --check-repaints): after a repaint, the window, read
// back, showed a pixel the fill painted inside the repainted area in its new colour; L counts
// the repaints that had such a pixel. Returns the exit status.
#ifndef EDITOR_SCRIPT_H
#define EDITOR_SCRIPT_H

#include "editor.h"
#include "editor_options.h"

namespace editor {

int RunScript(const EditorOptions& options);

// The click line above, for a fill just made.
std::string FillReportLine(const FillOutcome& fill);

// From now on, each message box that appears on this thread is printed and closed, by its OK
// button or else the one labelled `answer` (--close-messages).
void StartClosingMessages(const std::string& answer);

// --report-layout: screen positions for a test that drives the editor with a real pointer:
//   button NAME X Y          the centre of a tool's button
//   picture X Y              where the picture's pixel (0, 0) is
void ReportLayout();

} // namespace editor

#endif
