// script.h - the editor's scripted mode, for tests and for pictures of the editor at work.
//
// RunScript does what the command line asks (editor_options.h) through the editor's own
// window, as a user would: it types the tolerance texts into the fields, presses the
// RegionGrowing button, and posts mouse messages to the view at each click's position. It
// prints, on standard output:
//   skipped FILE: REASON     one line per DLL in plugins\ that did not become a tool
//   tool RegionGrowing from PAINT.DLL, tooltip "RegionGrowing"
//   click X Y: N pixels painted, R refresh requests, M messages; cursor during the fill: wait,
//     after: as before (cross); shown at once: S of L looked at
//   message "Buffer over", caption "Err", buttons OK, icon none, owner main window
//   saved OUT.png
//   screenshot SHOT.png
// (the click line is one line; a message line comes before the line of its click). The cursor
// is named wait, cross, arrow, none or other; "wait" during the fill means it was the wait
// cursor at every refresh request. "Shown at once": after a refresh request, the window,
// read back, showed the last pixel painted in its new colour, before the fill went on; L
// counts the requests whose last pixel was in view. Returns the exit status.
#ifndef EDITOR_SCRIPT_H
#define EDITOR_SCRIPT_H

#include "editor_options.h"

int RunScript(const EditorOptions& options);

// --report-layout: screen positions for a test that drives the editor with a real pointer:
//   button NAME X Y          the centre of a tool's button
//   picture X Y              where the picture's pixel (0, 0) is
void ReportLayout();

#endif
