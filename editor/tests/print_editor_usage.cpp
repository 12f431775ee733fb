// Prints the text `vexra --help` prints, natively, so that a test can hold editor/README.md to
// it without Wine.
#include <stdio.h>

#include "editor_options.h"

int main() {
    fputs(editor::EditorUsage, stdout);
    return ferror(stdout) ? 1 : 0;
}
