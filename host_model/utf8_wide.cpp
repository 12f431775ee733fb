#include "utf8_wide.h"

#ifdef _WIN32
#include <wchar.h>
#include <windows.h>

namespace host_model {

std::wstring WideFromUtf8(const std::string& text) {
    if (text.empty())
        return L"";
    int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring wide(size_t(units > 0 ? units : 0), L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), &wide[0], units);
    return wide;
}

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

} // namespace host_model
#endif
