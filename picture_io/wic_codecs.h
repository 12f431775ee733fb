// wic_codecs.h - inside picture_io on Windows: the Windows Imaging Component's classes, made
// whether or not COM knows them, and its failures in words.
//
// A Windows where WIC is registered makes its classes through CoCreateInstance. A minimal
// installation (a Wine prefix that was never set up) has the DLL but no registration; there
// each class is made by windowscodecs.dll's own class factory (DllGetClassObject), which is
// what COM would call. The decoders and the encoder are used bare: no metadata readers and no
// format converters, which depend on registration; picture_io converts the decoders' own pixel
// formats itself and reads the metadata from the file's bytes (file_scan.h).
#ifndef PICTURE_IO_WIC_CODECS_H
#define PICTURE_IO_WIC_CODECS_H

#include <windows.h>

#include <wincodec.h>

#include <string>

namespace picture_io {

// A COM interface pointer that is released when it goes.
template <typename Interface> class ComRef {
  public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (pointer_ != nullptr)
            pointer_->Release();
    }
    Interface* operator->() const { return pointer_; }
    Interface* get() const { return pointer_; }
    // For the functions that hand out an interface; releases the one held first.
    Interface** Out() {
        if (pointer_ != nullptr)
            pointer_->Release();
        pointer_ = nullptr;
        return &pointer_;
    }
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }

  private:
    Interface* pointer_ = nullptr;
};

// COM for the calling thread while it lives: initialised here unless the thread already is
// (in whichever apartment), and uninitialised only if it was initialised here.
class ComScope {
  public:
    ComScope();
    ~ComScope();
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    bool initialised_ = false;
};

// Makes an instance of the WIC class `clsid` with the interface `iid`, through COM or else
// through windowscodecs.dll's class factory. The HRESULT of the last attempt.
HRESULT CreateWicObject(REFCLSID clsid, REFIID iid, void** object);

// An HRESULT in words, for a user: "the data is not a picture WIC can decode (WIC error
// 0x88982F07)". The system's text where it has one, a description of WIC's own codes else.
std::string WicErrorText(HRESULT result);

} // namespace picture_io

#endif
