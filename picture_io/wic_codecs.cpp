// The Windows Imaging Component's classes, through COM or straight from its DLL, and its
// failures in words (wic_codecs.h).
#include "wic_codecs.h"

#include <stdio.h>

namespace picture_io {

ComScope::ComScope() {
    const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // S_FALSE: already initialised in this apartment, and counted; RPC_E_CHANGED_MODE: in the
    // other one, and not counted.
    initialised_ = SUCCEEDED(result);
}

ComScope::~ComScope() {
    if (initialised_)
        CoUninitialize();
}

namespace {

typedef HRESULT(WINAPI* GetClassObjectFunction)(REFCLSID, REFIID, void**);

// windowscodecs.dll's DllGetClassObject, loaded once and kept for the process: the objects it
// makes live in that DLL.
GetClassObjectFunction ClassObjectGetter() {
    static GetClassObjectFunction getter = [] {
        HMODULE library = LoadLibraryW(L"windowscodecs.dll");
        FARPROC function =
            library != nullptr ? GetProcAddress(library, "DllGetClassObject") : nullptr;
        return reinterpret_cast<GetClassObjectFunction>(reinterpret_cast<void*>(function));
    }();
    return getter;
}

} // namespace

HRESULT CreateWicObject(REFCLSID clsid, REFIID iid, void** object) {
    *object = nullptr;
    HRESULT result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
    if (result != REGDB_E_CLASSNOTREG && result != CO_E_NOTINITIALIZED)
        return result;
    GetClassObjectFunction getter = ClassObjectGetter();
    if (getter == nullptr)
        return result;
    ComRef<IClassFactory> factory;
    result = getter(clsid, IID_IClassFactory, factory.OutVoid());
    if (FAILED(result))
        return result;
    return factory->CreateInstance(nullptr, iid, object);
}

namespace {

// WIC's own codes, which the system often has no text for.
const char* WicCodeText(HRESULT result) {
    switch (result) {
    case WINCODEC_ERR_UNKNOWNIMAGEFORMAT:
        return "the data is not a picture WIC can decode";
    case WINCODEC_ERR_BADIMAGE:
        return "the picture data is damaged";
    case WINCODEC_ERR_BADHEADER:
        return "the picture's header is damaged";
    case WINCODEC_ERR_FRAMEMISSING:
        return "the file holds no picture";
    case WINCODEC_ERR_BADSTREAMDATA:
        return "the compressed data is damaged";
    case WINCODEC_ERR_STREAMREAD:
        return "the data could not be read";
    case WINCODEC_ERR_STREAMWRITE:
        return "the data could not be written";
    case WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT:
        return "the pixel format is not supported";
    case WINCODEC_ERR_UNSUPPORTEDOPERATION:
        return "the operation is not supported";
    case WINCODEC_ERR_IMAGESIZEOUTOFRANGE:
        return "the picture's size is out of range";
    case WINCODEC_ERR_COMPONENTNOTFOUND:
        return "a component WIC needs was not found";
    case WINCODEC_ERR_INTERNALERROR:
        return "WIC failed inside";
    }
    return nullptr;
}

} // namespace

std::string WicErrorText(HRESULT result) {
    char code[32];
    snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
    if (const char* text = WicCodeText(result))
        return std::string(text) + " (WIC error " + code + ")";
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, DWORD(result), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0) {
        const int bytes =
            WideCharToMultiByte(CP_UTF8, 0, buffer, int(length), nullptr, 0, nullptr, nullptr);
        text.resize(size_t(bytes));
        WideCharToMultiByte(CP_UTF8, 0, buffer, int(length), &text[0], bytes, nullptr, nullptr);
    }
    LocalFree(buffer);
    // The system ends its texts with a full stop and a line end.
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty())
        return std::string("WIC error ") + code;
    // A user reads it in the middle of a sentence.
    if (text[0] >= 'A' && text[0] <= 'Z' && (text.size() < 2 || text[1] < 'A' || text[1] > 'Z'))
        text[0] = char(text[0] - 'A' + 'a');
    return text + " (" + code + ")";
}

} // namespace picture_io
