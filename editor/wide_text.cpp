#include "wide_text.h"

#include <stdio.h>

std::string Utf8FromWide(const wchar_t* text, int length) {
    if (length < 0)
        length = int(wcslen(text));
    if (length == 0)
        return "";
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, length, &utf8[0], bytes, nullptr, nullptr);
    return utf8;
}

std::wstring WideFromUtf8(const std::string& text) {
    if (text.empty())
        return L"";
    int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(units > 0 ? units : 0), L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &wide[0], units);
    return wide;
}

std::string SystemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = length > 0 ? Utf8FromWide(buffer, int(length)) : "";
    if (buffer != nullptr)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    char number[32];
    snprintf(number, sizeof number, "error %lu", static_cast<unsigned long>(code));
    return text.empty() ? number : text + " (" + number + ")";
}

std::string WindowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(size_t(length) + 1, L'\0');
    length = GetWindowTextW(window, &text[0], length + 1);
    return Utf8FromWide(text.c_str(), length > 0 ? length : 0);
}

void SetWindowTextUtf8(HWND window, const std::string& text) {
    SetWindowTextW(window, WideFromUtf8(text).c_str());
}
