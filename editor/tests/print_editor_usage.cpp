// Prints the text `vexra --help` prints, natively, so that a test can hold editor/README.md to
// it without Wine.
#include <stdio.h>

#include "editor/editor_options.h"

int main() {
    fputs(EditorUsage, stdout);
    return ferror(stdout) ? 1 : 0;
}
