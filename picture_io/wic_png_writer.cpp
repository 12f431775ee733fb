// PNG written on Windows through the Windows Imaging Component's PNG encoder, into memory, and
// from there into the file with the colour chunks put in right after the header.
//
// The pixel format follows the picture: 8-bit grey, 24-bit BGR, 32-bit BGRA straight from the
// colour words, and from the deep samples 16-bit grey, 48-bit RGB and 64-bit RGBA. WIC has no
// grey-and-alpha format: such a picture is written as colour and alpha, its grey spread to the
// three channels. The encoder writes no chunk from raw bytes (Wine's does not even through its
// metadata writers), so the colour chunks are spliced into its output, and any chunk of those
// types (or eXIf) that the encoder wrote itself is dropped: the file carries exactly the
// picture's colour chunks, as the native writer's does.
//
// WIC's 16-bit formats hold each sample in the machine's order. Wine's encoder takes them in
// PNG's own order instead (most significant byte first); which one this encoder takes is found
// once, by encoding one 16-bit grey pixel and reading the sample back from the file.
#include <errno.h>
#include <string.h>
#include <zlib.h>

#include <algorithm>
#include <functional>
#include <new>

#include "picture_io.h"
#include "wic_codecs.h"

namespace picture_io {
namespace {

uint32_t Big32(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

void PutBig32(uint32_t value, unsigned char* p) {
    p[0] = value >> 24 & 0xFF, p[1] = value >> 16 & 0xFF, p[2] = value >> 8 & 0xFF;
    p[3] = value & 0xFF;
}

// Writes `count` rows from row `top` in the encoder's pixel format into `band`.
using BandFiller = std::function<void(size_t top, size_t count, unsigned char* band)>;

// A PNG the encoder made, held in its stream's memory.
class EncodedPng {
  public:
    ~EncodedPng() {
        if (bytes_ != nullptr)
            GlobalUnlock(memory_);
    }
    const unsigned char* Bytes() const { return bytes_; }
    size_t Size() const { return size_; }

    // Encodes `height` rows of `width` pixels in `format`, `rowBytes` each, a band at a time.
    bool Encode(const GUID& format, UINT width, UINT height, size_t rowBytes,
                const BandFiller& fill, std::string* reason);

  private:
    bool Failed(HRESULT result, std::string* reason) const;
    ComRef<IStream> stream_;
    HGLOBAL memory_ = nullptr;
    const unsigned char* bytes_ = nullptr;
    size_t size_ = 0;
};

bool EncodedPng::Failed(HRESULT result, std::string* reason) const {
    *reason =
        result == E_OUTOFMEMORY ? "not enough memory" : "encoding failed: " + WicErrorText(result);
    return false;
}

// One filter for every row, Up: under Wine it encodes a photograph in two thirds of the time
// of the encoder's own choice per row, the file a few percent larger. An encoder that does not
// know the option chooses as it would.
void ChooseFilter(IPropertyBag2* options) {
    PROPBAG2 option = {};
    option.pstrName = const_cast<LPOLESTR>(L"FilterOption");
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_UI1;
    value.bVal = WICPngFilterUp;
    options->Write(1, &option, &value);
}

bool EncodedPng::Encode(const GUID& format, UINT width, UINT height, size_t rowBytes,
                        const BandFiller& fill, std::string* reason) {
    ComRef<IWICBitmapEncoder> encoder;
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    HRESULT result = CreateStreamOnHGlobal(nullptr, TRUE, stream_.Out());
    if (SUCCEEDED(result))
        result = CreateWicObject(CLSID_WICPngEncoder, IID_IWICBitmapEncoder, encoder.OutVoid());
    if (SUCCEEDED(result))
        result = encoder->Initialize(stream_.get(), WICBitmapEncoderNoCache);
    if (SUCCEEDED(result))
        result = encoder->CreateNewFrame(frame.Out(), options.Out());
    if (SUCCEEDED(result))
        ChooseFilter(options.get());
    if (SUCCEEDED(result))
        result = frame->Initialize(options.get());
    if (SUCCEEDED(result))
        result = frame->SetSize(width, height);
    WICPixelFormatGUID asked = format;
    if (SUCCEEDED(result))
        result = frame->SetPixelFormat(&asked);
    if (FAILED(result))
        return Failed(result, reason);
    if (!IsEqualGUID(asked, format)) {
        *reason = "encoding failed: WIC's PNG encoder does not take the picture's pixel format";
        return false;
    }
    const size_t bandRows = std::max<size_t>(1, (size_t(4) << 20) / rowBytes);
    std::vector<unsigned char> band(rowBytes * std::min<size_t>(bandRows, height));
    for (size_t top = 0; top < height; top += bandRows) {
        const size_t rows = std::min<size_t>(bandRows, height - top);
        fill(top, rows, band.data());
        result = frame->WritePixels(UINT(rows), UINT(rowBytes), UINT(rowBytes * rows), band.data());
        if (FAILED(result))
            return Failed(result, reason);
    }
    result = frame->Commit();
    if (SUCCEEDED(result))
        result = encoder->Commit();
    STATSTG status = {};
    if (SUCCEEDED(result))
        result = stream_->Stat(&status, STATFLAG_NONAME);
    if (SUCCEEDED(result))
        result = GetHGlobalFromStream(stream_.get(), &memory_);
    if (FAILED(result))
        return Failed(result, reason);
    size_ = size_t(status.cbSize.QuadPart);
    bytes_ = static_cast<const unsigned char*>(GlobalLock(memory_));
    if (bytes_ == nullptr && size_ > 0)
        return Failed(HRESULT_FROM_WIN32(GetLastError()), reason);
    return true;
}

// Calls `visit(type, chunk, size)` for each whole chunk (length, type, data, checksum) after
// the signature; false when they do not lead to IEND inside the bytes.
bool EachChunk(const unsigned char* png, size_t size,
               const std::function<bool(const std::string&, const unsigned char*, size_t)>& visit) {
    if (size < 8 || memcmp(png, "\x89PNG\r\n\x1a\n", 8) != 0)
        return false;
    for (size_t at = 8; size - at >= 12;) {
        const size_t chunkSize = size_t(Big32(png + at)) + 12;
        if (chunkSize < 12 || chunkSize > size - at)
            return false;
        const std::string type(reinterpret_cast<const char*>(png + at + 4), 4);
        if (!visit(type, png + at, chunkSize))
            return false;
        if (type == "IEND")
            return true;
        at += chunkSize;
    }
    return false;
}

// Whether the encoder takes 16-bit samples most significant byte first (see the top).
// -1 when the probe itself fails, with the reason.
int EncoderTakesBigEndian(std::string* reason) {
    static int found = -1;
    if (found >= 0)
        return found;
    const unsigned char sample[2] = {0x01, 0x02};
    EncodedPng probe;
    auto fill = [&sample](size_t, size_t, unsigned char* band) { memcpy(band, sample, 2); };
    if (!probe.Encode(GUID_WICPixelFormat16bppGray, 1, 1, 2, fill, reason))
        return -1;
    std::string data;
    EachChunk(probe.Bytes(), probe.Size(),
              [&data](const std::string& type, const unsigned char* chunk, size_t size) {
                  if (type == "IDAT")
                      data.append(reinterpret_cast<const char*>(chunk) + 8, size - 12);
                  return true;
              });
    unsigned char row[16];
    uLongf rowSize = sizeof row;
    if (uncompress(row, &rowSize, reinterpret_cast<const Bytef*>(data.data()),
                   uLong(data.size())) != Z_OK ||
        rowSize != 3) {
        *reason =
            "encoding failed: WIC's PNG encoder wrote a 16-bit pixel this library cannot read";
        return -1;
    }
    found = row[1] == sample[0] && row[2] == sample[1] ? 1 : 0;
    return found;
}

// The picture as the encoder takes it: its pixel format, bytes a row, and rows a band at a time.
struct Source {
    GUID format;
    size_t rowBytes;
    BandFiller fill;
};

Source SourceOf(const Picture& picture, bool bigEndian) {
    const size_t w = size_t(picture.width);
    const uint32_t* words = picture.pixels.data();
    if (picture.deep.empty()) {
        if (picture.hasAlpha) // colour words are BGRA in memory; grey and alpha spread too
            return {GUID_WICPixelFormat32bppBGRA, w * 4,
                    [words, w](size_t top, size_t rows, unsigned char* band) {
                        memcpy(band, words + top * w, rows * w * 4);
                    }};
        if (picture.grey)
            return {GUID_WICPixelFormat8bppGray, w,
                    [words, w](size_t top, size_t rows, unsigned char* band) {
                        const uint32_t* from = words + top * w;
                        for (size_t i = 0; i < rows * w; ++i)
                            band[i] = from[i] & 0xFF;
                    }};
        return {GUID_WICPixelFormat24bppBGR, w * 3,
                [words, w](size_t top, size_t rows, unsigned char* band) {
                    const uint32_t* from = words + top * w;
                    for (size_t i = 0; i < rows * w; ++i, band += 3)
                        band[0] = from[i] & 0xFF, band[1] = from[i] >> 8 & 0xFF,
                        band[2] = from[i] >> 16 & 0xFF;
                }};
    }
    // From the deep samples: grey and alpha becomes RGBA, the rest keeps its channels.
    const size_t in = size_t(picture.Channels());
    const bool greyAlpha = picture.grey && picture.hasAlpha;
    const size_t out = greyAlpha ? 4 : in;
    const GUID format = out == 1   ? GUID_WICPixelFormat16bppGray
                        : out == 3 ? GUID_WICPixelFormat48bppRGB
                                   : GUID_WICPixelFormat64bppRGBA;
    const uint16_t* deep = picture.deep.data();
    return {format, w * out * 2,
            [deep, w, in, out, greyAlpha, bigEndian](size_t top, size_t rows, unsigned char* band) {
                const uint16_t* from = deep + top * w * in;
                for (size_t i = 0; i < rows * w; ++i, from += in) {
                    uint16_t pixel[4] = {from[0], 0, 0, 0};
                    if (greyAlpha)
                        pixel[1] = pixel[2] = from[0], pixel[3] = from[1];
                    else
                        std::copy(from, from + in, pixel);
                    for (size_t c = 0; c < out; ++c, band += 2) {
                        band[bigEndian ? 1 : 0] = pixel[c] & 0xFF;
                        band[bigEndian ? 0 : 1] = pixel[c] >> 8;
                    }
                }
            }};
}

bool IsColourChunkType(const std::string& type) {
    return type == "iCCP" || type == "sRGB" || type == "gAMA" || type == "cHRM" || type == "pHYs" ||
           type == "eXIf";
}

// The encoder's file with the colour chunks after its header and its own chunks of their kinds
// left out.
bool WriteSpliced(FILE* file, const EncodedPng& png, const std::vector<Chunk>& colour,
                  std::string* reason) {
    bool written = true, header = true;
    auto put = [file, &written](const void* bytes, size_t size) {
        written = written && fwrite(bytes, 1, size, file) == size;
    };
    put(png.Bytes(), 8);
    const bool complete =
        EachChunk(png.Bytes(), png.Size(),
                  [&](const std::string& type, const unsigned char* chunk, size_t size) {
                      if (header != (type == "IHDR"))
                          return false;
                      if (!IsColourChunkType(type))
                          put(chunk, size);
                      for (size_t i = 0; header && i < colour.size(); ++i) {
                          const Chunk& c = colour[i];
                          unsigned char frame[8];
                          PutBig32(uint32_t(c.data.size()), frame);
                          memcpy(frame + 4, c.type.data(), 4);
                          uLong crc = crc32(0, frame + 4, 4);
                          crc = crc32(crc, reinterpret_cast<const Bytef*>(c.data.data()),
                                      uInt(c.data.size()));
                          unsigned char check[4];
                          PutBig32(uint32_t(crc), check);
                          put(frame, 8);
                          put(c.data.data(), c.data.size());
                          put(check, 4);
                      }
                      header = false;
                      return written;
                  });
    if (!written) {
        *reason = strerror(errno != 0 ? errno : EIO);
        return false;
    }
    if (!complete) {
        *reason = "encoding failed: WIC's PNG encoder wrote a file that does not end as a PNG";
        return false;
    }
    return true;
}

} // namespace

bool WritePng(FILE* file, const Picture& picture, std::string* reason) {
    try {
        ComScope com;
        const int bigEndian = picture.deep.empty() ? 0 : EncoderTakesBigEndian(reason);
        if (bigEndian < 0)
            return false;
        const Source source = SourceOf(picture, bigEndian == 1);
        EncodedPng png;
        if (!png.Encode(source.format, UINT(picture.width), UINT(picture.height), source.rowBytes,
                        source.fill, reason))
            return false;
        errno = 0;
        return WriteSpliced(file, png, picture.colour, reason);
    } catch (const std::bad_alloc&) {
        *reason = "not enough memory";
        return false;
    }
}

} // namespace picture_io
