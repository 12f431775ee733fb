// PNG and JPEG on Windows, through the Windows Imaging Component's decoders. The whole file is
// read into memory first (a pipe as well as a file) and scanned (file_scan.h): the header, the
// colour chunks, the orientation and the file's structure come from the scan, as the native
// readers find them; the pixels from WIC, handed the bytes as a memory stream. PNG's pixel data
// is inflated once more beforehand, to refuse what WIC lets pass (data left over, a stream cut
// short), as the native reader refuses it.
//
// WIC gives each picture in a pixel format of its decoder's choosing, converted here to colour
// words and deep samples: grey at 1 to 16 bits, palette indices through the frame's palette
// (an index past the file's palette makes it damaged, as natively), 24-bit BGR, 32-bit BGR
// and BGRA, 48-bit RGB, 64-bit RGBA (16-bit samples in the machine's order), and 32-bit CMYK. WIC's
// CMYK from a JPEG with an Adobe segment is that segment's inverted CMYK inverted back, 0 meaning
// no ink; the native reader's rule, each channel times K over 255 on the samples as stored, is
// applied to them as stored.
#include <string.h>

#include <algorithm>
#include <new>
#include <stdexcept>

#include "decoders.h"
#include "file_scan.h"
#include "wic_codecs.h"

namespace picture_io {
namespace {

// The decoders' pixel formats converted here, and how.
enum class Layout { Grey, Indexed, Bgr, Bgra, Rgb16, Rgba16, Cmyk };

struct PixelFormat {
    const GUID* guid;
    int bits; // a pixel's
    Layout layout;
};

const PixelFormat Formats[] = {
    {&GUID_WICPixelFormatBlackWhite, 1, Layout::Grey},
    {&GUID_WICPixelFormat2bppGray, 2, Layout::Grey},
    {&GUID_WICPixelFormat4bppGray, 4, Layout::Grey},
    {&GUID_WICPixelFormat8bppGray, 8, Layout::Grey},
    {&GUID_WICPixelFormat16bppGray, 16, Layout::Grey},
    {&GUID_WICPixelFormat1bppIndexed, 1, Layout::Indexed},
    {&GUID_WICPixelFormat2bppIndexed, 2, Layout::Indexed},
    {&GUID_WICPixelFormat4bppIndexed, 4, Layout::Indexed},
    {&GUID_WICPixelFormat8bppIndexed, 8, Layout::Indexed},
    {&GUID_WICPixelFormat24bppBGR, 24, Layout::Bgr},
    {&GUID_WICPixelFormat32bppBGR, 32, Layout::Bgr},
    {&GUID_WICPixelFormat32bppBGRA, 32, Layout::Bgra},
    {&GUID_WICPixelFormat48bppRGB, 48, Layout::Rgb16},
    {&GUID_WICPixelFormat64bppRGBA, 64, Layout::Rgba16},
    {&GUID_WICPixelFormat32bppCMYK, 32, Layout::Cmyk},
};

const PixelFormat* FindFormat(const GUID& guid) {
    for (const PixelFormat& format : Formats)
        if (IsEqualGUID(*format.guid, guid))
            return &format;
    return nullptr;
}

bool SixteenBits(const PixelFormat& format) {
    return format.layout == Layout::Rgb16 || format.layout == Layout::Rgba16 ||
           (format.layout == Layout::Grey && format.bits == 16);
}

uint32_t Little16(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

// One pixel at 16 bits a sample; alpha 65535 where the format has none.
struct Sample16 {
    uint32_t r, g, b, a;
};

struct WicDecoder : Reader::Decoder {
    Format format;
    std::vector<unsigned char> file;
    Metadata metadata;
    PngScan png;        // PNG: the chunks, for the pixel data's check and the palette's size
    bool adobe = false; // JPEG: CMYK stored inverted

    explicit WicDecoder(Format f) : format(f) {}
    bool Decode(Picture* picture, std::string* reason) override;

    bool Failed(HRESULT result, std::string* reason) const;
    bool Convert(IWICBitmapFrameDecode* frame, const PixelFormat& source,
                 const std::vector<WICColor>& palette, Picture* picture, std::string* reason);
    bool ConvertRow(const unsigned char* row, const PixelFormat& source,
                    const std::vector<WICColor>& palette, size_t paletteSize, size_t width,
                    Sample16* out, uint32_t* badIndex) const;
};

bool WicDecoder::Failed(HRESULT result, std::string* reason) const {
    if (result == E_OUTOFMEMORY)
        *reason = "not enough memory";
    else if (result == WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT ||
             result == WINCODEC_ERR_UNSUPPORTEDOPERATION || result == E_NOTIMPL)
        *reason = std::string("unsupported ") + FormatName(format) + ": " + WicErrorText(result);
    else
        *reason = std::string("damaged ") + FormatName(format) + ": " + WicErrorText(result);
    return false;
}

// Reads the rest of the input into `file` and closes it. "not enough memory" when it does not
// fit.
bool ReadWhole(Input* input, std::vector<unsigned char>* file, std::string* reason) {
    try {
        if (input->size > 0 && uint64_t(input->size) < uint64_t(PTRDIFF_MAX))
            file->reserve(size_t(input->size));
        const size_t step = size_t(1) << 20;
        for (;;) {
            const size_t had = file->size();
            file->resize(had + step);
            const size_t got = input->Read(file->data() + had, step);
            file->resize(had + got);
            if (got < step)
                break;
        }
    } catch (const std::bad_alloc&) {
        *reason = "not enough memory";
        return false;
    } catch (const std::length_error&) {
        *reason = "not enough memory";
        return false;
    }
    if (input->failed) {
        *reason = "a read failed";
        return false;
    }
    fclose(input->file);
    input->file = nullptr;
    return true;
}

} // namespace

std::unique_ptr<Reader::Decoder> OpenPng(Input input, Header* header, std::string* reason) {
    std::unique_ptr<WicDecoder> d(new WicDecoder(Format::Png));
    d->input = input;
    header->format = Format::Png;
    if (!ReadWhole(&d->input, &d->file, reason))
        return nullptr;
    const PngScan& scan = d->png;
    if (!ScanPng(d->file.data(), d->file.size(), &d->png, reason)) {
        // A header that gave the size is judged by it first; the damage comes with decoding.
        if (scan.width == 0)
            return nullptr;
        d->deferred = *reason;
    }
    d->metadata = scan.metadata;
    *header = HeaderOf(scan);
    return d;
}

std::unique_ptr<Reader::Decoder> OpenJpeg(Input input, Header* header, std::string* reason) {
    std::unique_ptr<WicDecoder> d(new WicDecoder(Format::Jpeg));
    d->input = input;
    header->format = Format::Jpeg;
    if (!ReadWhole(&d->input, &d->file, reason))
        return nullptr;
    JpegScan scan;
    if (!ScanJpeg(d->file.data(), d->file.size(), &scan, reason)) {
        if (scan.width == 0)
            return nullptr;
        d->deferred = *reason;
    }
    if (scan.components != 1 && scan.components != 3 && scan.components != 4) {
        *reason = "unsupported JPEG: " + std::to_string(scan.components) + " components";
        return nullptr;
    }
    d->metadata = scan.metadata;
    d->adobe = scan.adobe;
    *header = HeaderOf(scan);
    return d;
}

bool WicDecoder::Decode(Picture* picture, std::string* reason) {
    if (format == Format::Png && !CheckPngData(file.data(), png, reason))
        return false;
    ComScope com;
    ComRef<IWICImagingFactory> factory;
    HRESULT result =
        CreateWicObject(CLSID_WICImagingFactory1, IID_IWICImagingFactory, factory.OutVoid());
    if (FAILED(result)) {
        *reason = "the Windows Imaging Component is not available: " + WicErrorText(result);
        return false;
    }
    ComRef<IWICStream> stream;
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> frame;
    result = factory->CreateStream(stream.Out());
    if (SUCCEEDED(result))
        result = stream->InitializeFromMemory(file.data(), DWORD(file.size()));
    if (SUCCEEDED(result))
        result = CreateWicObject(format == Format::Png ? CLSID_WICPngDecoder : CLSID_WICJpegDecoder,
                                 IID_IWICBitmapDecoder, decoder.OutVoid());
    if (SUCCEEDED(result))
        result = decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand);
    if (SUCCEEDED(result))
        result = decoder->GetFrame(0, frame.Out());
    UINT width = 0, height = 0;
    WICPixelFormatGUID guid = {};
    if (SUCCEEDED(result))
        result = frame->GetSize(&width, &height);
    if (SUCCEEDED(result))
        result = frame->GetPixelFormat(&guid);
    if (FAILED(result))
        return Failed(result, reason);
    if (width != UINT(picture->width) || height != UINT(picture->height)) {
        *reason = std::string("damaged ") + FormatName(format) +
                  ": it decodes to another size than its header gives";
        return false;
    }
    const PixelFormat* source = FindFormat(guid);
    if (source == nullptr || (!picture->deep.empty() && !SixteenBits(*source))) {
        *reason = std::string("unsupported ") + FormatName(format) +
                  ": WIC decodes it to a pixel format this library does not convert";
        return false;
    }
    std::vector<WICColor> palette;
    if (source->layout == Layout::Indexed) {
        ComRef<IWICPalette> framePalette;
        UINT count = 0;
        result = factory->CreatePalette(framePalette.Out());
        if (SUCCEEDED(result))
            result = frame->CopyPalette(framePalette.get());
        if (SUCCEEDED(result))
            result = framePalette->GetColorCount(&count);
        if (SUCCEEDED(result)) {
            palette.resize(count);
            result = framePalette->GetColors(count, palette.data(), &count);
            palette.resize(count);
        }
        if (FAILED(result))
            return Failed(result, reason);
    }
    if (!Convert(frame.get(), *source, palette, picture, reason))
        return false;
    picture->colour = metadata.colour;
    return true;
}

// The frame's pixels in bands of rows, each converted to 16-bit samples and then to the
// picture's words and deep samples.
bool WicDecoder::Convert(IWICBitmapFrameDecode* frame, const PixelFormat& source,
                         const std::vector<WICColor>& palette, Picture* picture,
                         std::string* reason) {
    const size_t w = size_t(picture->width), h = size_t(picture->height);
    const uint64_t stride = (uint64_t(w) * uint64_t(source.bits) + 7) / 8;
    if (stride > 0x7FFFFFFF)
        throw std::bad_alloc(); // a row WIC cannot hand over: no memory holds it in this process
    // The palette the indices may use: the file's own, where it has one.
    size_t paletteSize = palette.size();
    if (format == Format::Png && png.colourType == 3)
        paletteSize = std::min(paletteSize, png.paletteEntries);
    const size_t bandRows = std::max<size_t>(1, (size_t(4) << 20) / size_t(stride));
    std::vector<unsigned char> band(size_t(stride) * std::min(bandRows, h));
    std::vector<Sample16> samples(w);
    const size_t channels = size_t(picture->Channels());
    for (size_t top = 0; top < h; top += bandRows) {
        const size_t rows = std::min(bandRows, h - top);
        const WICRect rect = {0, INT(top), INT(w), INT(rows)};
        const HRESULT result =
            frame->CopyPixels(&rect, UINT(stride), UINT(stride * rows), band.data());
        if (FAILED(result))
            return Failed(result, reason);
        for (size_t y = 0; y < rows; ++y) {
            uint32_t index = 0;
            if (!ConvertRow(&band[y * size_t(stride)], source, palette, paletteSize, w,
                            samples.data(), &index)) {
                *reason = std::string("damaged ") + FormatName(format) + ": a pixel takes colour " +
                          std::to_string(index) + " of a palette of " + std::to_string(paletteSize);
                return false;
            }
            uint32_t* words = &picture->pixels[(top + y) * w];
            uint16_t* deep =
                picture->deep.empty() ? nullptr : &picture->deep[(top + y) * w * channels];
            for (size_t x = 0; x < w; ++x) {
                const Sample16& s = samples[x];
                const uint32_t a = picture->hasAlpha ? s.a >> 8 : 0;
                words[x] = picture->grey ? Word(s.r >> 8, s.r >> 8, s.r >> 8, a)
                                         : Word(s.r >> 8, s.g >> 8, s.b >> 8, a);
                if (deep != nullptr) {
                    *deep++ = uint16_t(s.r);
                    if (!picture->grey) {
                        *deep++ = uint16_t(s.g);
                        *deep++ = uint16_t(s.b);
                    }
                    if (picture->hasAlpha)
                        *deep++ = uint16_t(s.a);
                }
            }
        }
    }
    return true;
}

bool WicDecoder::ConvertRow(const unsigned char* row, const PixelFormat& source,
                            const std::vector<WICColor>& palette, size_t paletteSize, size_t width,
                            Sample16* out, uint32_t* badIndex) const {
    const int bits = source.bits;
    // A sample of fewer than 8 bits, from the left of its byte.
    auto packed = [row, bits](size_t x) {
        const size_t bit = x * size_t(bits);
        return uint32_t(row[bit / 8] >> (8 - bits - int(bit % 8)) & ((1u << bits) - 1));
    };
    for (size_t x = 0; x < width; ++x) {
        Sample16& s = out[x];
        s.a = 0xFFFF;
        switch (source.layout) {
        case Layout::Grey:
            if (bits == 16)
                s.r = Little16(row + 2 * x);
            else if (bits == 8)
                s.r = row[x] * 257u;
            else
                s.r = packed(x) * 65535u / ((1u << bits) - 1);
            s.g = s.b = s.r;
            break;
        case Layout::Indexed: {
            const uint32_t index = bits == 8 ? row[x] : packed(x);
            if (index >= paletteSize) { // the file is damaged, as the native reader finds it
                *badIndex = index;
                return false;
            }
            const WICColor colour = palette[index];
            s.r = (colour >> 16 & 0xFF) * 257u;
            s.g = (colour >> 8 & 0xFF) * 257u;
            s.b = (colour & 0xFF) * 257u;
            s.a = (colour >> 24) * 257u;
            break;
        }
        case Layout::Bgr:
        case Layout::Bgra: {
            const unsigned char* p = row + x * size_t(bits / 8);
            s.r = p[2] * 257u, s.g = p[1] * 257u, s.b = p[0] * 257u;
            if (source.layout == Layout::Bgra)
                s.a = p[3] * 257u;
            break;
        }
        case Layout::Rgb16:
        case Layout::Rgba16: {
            const unsigned char* p = row + x * size_t(bits / 8);
            s.r = Little16(p), s.g = Little16(p + 2), s.b = Little16(p + 4);
            if (source.layout == Layout::Rgba16)
                s.a = Little16(p + 6);
            break;
        }
        case Layout::Cmyk: {
            const unsigned char* p = row + 4 * x;
            // The samples as stored, which WIC has inverted where an Adobe segment says they
            // are stored inverted.
            auto stored = [this](unsigned char v) { return adobe ? 255u - v : uint32_t(v); };
            const uint32_t k = stored(p[3]);
            s.r = stored(p[0]) * k / 255u * 257u;
            s.g = stored(p[1]) * k / 255u * 257u;
            s.b = stored(p[2]) * k / 255u * 257u;
            break;
        }
        }
    }
    return true;
}

} // namespace picture_io
