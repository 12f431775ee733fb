#include "wide_text.h"

#include <stdio.h>

namespace editor {

std::string SystemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = length > 0 ? host_model::Utf8FromWide(buffer, int(length)) : "";
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
    return host_model::Utf8FromWide(text.c_str(), length > 0 ? length : 0);
}

void SetWindowTextUtf8(HWND window, const std::string& text) {
    SetWindowTextW(window, host_model::WideFromUtf8(text).c_str());
}

} // namespace editor
