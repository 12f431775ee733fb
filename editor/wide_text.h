// wide_text.h - the editor keeps every text in UTF-8 and meets Windows through its
// wide-character API: these convert at that border. Invalid input is replaced, never refused.
#ifndef EDITOR_WIDE_TEXT_H
#define EDITOR_WIDE_TEXT_H

#include <windows.h>

#include <string>

std::string Utf8FromWide(const wchar_t* text, int length = -1);
std::wstring WideFromUtf8(const std::string& text);

// The system's own text for an error code (FormatMessageW), without its line end, followed by
// the code: "%1 is not a valid Win32 application. (error 193)".
std::string SystemMessage(DWORD code);

// A window's text, and setting one, in UTF-8.
std::string WindowText(HWND window);
void SetWindowTextUtf8(HWND window, const std::string& text);

#endif
