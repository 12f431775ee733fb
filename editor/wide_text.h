// wide_text.h - the editor keeps every text in UTF-8 and meets Windows through its
// wide-character API: window texts and system messages in UTF-8, converted at that border by
// the hosts' shared WideFromUtf8 and Utf8FromWide (host_model/utf8_wide.h).
#ifndef EDITOR_WIDE_TEXT_H
#define EDITOR_WIDE_TEXT_H

#include <windows.h>

#include <string>

#include "utf8_wide.h"

namespace editor {

// The system's own text for an error code (FormatMessageW), without its line end, followed by
// the code: "%1 is not a valid Win32 application. (error 193)".
std::string SystemMessage(DWORD code);

// A window's text, and setting one, in UTF-8.
std::string WindowText(HWND window);
void SetWindowTextUtf8(HWND window, const std::string& text);

} // namespace editor

#endif
