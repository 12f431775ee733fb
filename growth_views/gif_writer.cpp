#include "gif_writer.h"

#include <gif_lib.h>

#include <algorithm>
#include <unordered_map>

namespace growth_views {

namespace {

int WriteBytes(GifFileType* gif, const GifByteType* bytes, int length) {
    return int(fwrite(bytes, 1, size_t(length), static_cast<FILE*>(gif->UserData)));
}

int Distance(uint32_t a, uint32_t b) {
    int total = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        int d = int(a >> shift & 0xFF) - int(b >> shift & 0xFF);
        total += d * d;
    }
    return total;
}

const size_t PaletteSize = 256;

} // namespace

GifWriter::~GifWriter() {
    if (gif_ != nullptr) {
        int ignored;
        EGifCloseFile(gif_, &ignored);
    }
}

bool GifWriter::ChoosePalette(const std::vector<uint32_t>& exact,
                              const std::vector<const picture_io::Picture*>& pictures) {
    for (uint32_t colour : exact)
        if (std::find(palette_.begin(), palette_.end(), colour & 0xFFFFFF) == palette_.end())
            palette_.push_back(colour & 0xFFFFFF);
    const size_t room = PaletteSize - palette_.size();
    // The pictures' colours: exactly, when there are few.
    std::unordered_map<uint32_t, bool> seen;
    for (const picture_io::Picture* picture : pictures)
        for (uint32_t p : picture->pixels)
            if (seen.size() <= room)
                seen.emplace(p & 0xFFFFFF, true);
    if (seen.size() <= room) {
        for (const auto& entry : seen)
            if (std::find(palette_.begin(), palette_.end(), entry.first) == palette_.end())
                palette_.push_back(entry.first);
        return true;
    }
    std::vector<GifByteType> red, green, blue;
    for (const picture_io::Picture* picture : pictures)
        for (uint32_t p : picture->pixels) {
            red.push_back(p >> 16 & 0xFF);
            green.push_back(p >> 8 & 0xFF);
            blue.push_back(p & 0xFF);
        }
    std::vector<GifByteType> unused(red.size());
    std::vector<GifColorType> quantized(PaletteSize);
    int size = int(PaletteSize);
    if (GifQuantizeBuffer(unsigned(red.size()), 1, &size, red.data(), green.data(), blue.data(),
                          unused.data(), quantized.data()) == GIF_ERROR)
        return false;
    for (int i = 0; i < size && palette_.size() < PaletteSize; ++i)
        palette_.push_back(uint32_t(quantized[size_t(i)].Red) << 16 |
                           uint32_t(quantized[size_t(i)].Green) << 8 | quantized[size_t(i)].Blue);
    return true;
}

void GifWriter::FindNearestColours() {
    // A 15-bit colour is a cell of 8 x 8 x 8 24-bit colours; its centre is each channel's
    // five bits, shifted up three, plus 4.
    nearest_.resize(1 << 15);
    for (uint32_t cell = 0; cell < (1u << 15); ++cell) {
        uint32_t colour = ((cell >> 10 & 31) << 3 | 4) << 16 | ((cell >> 5 & 31) << 3 | 4) << 8 |
                          ((cell & 31) << 3 | 4);
        size_t best = 0;
        for (size_t i = 1; i < palette_.size(); ++i)
            if (Distance(palette_[i], colour) < Distance(palette_[best], colour))
                best = i;
        nearest_[cell] = uint8_t(best);
    }
}

bool GifWriter::WriteScreen(int32_t width, int32_t height) {
    int failure = 0;
    gif_ = EGifOpen(file_, WriteBytes, &failure);
    if (gif_ == nullptr)
        return false;
    std::vector<GifColorType> colours(PaletteSize, GifColorType{0, 0, 0});
    for (size_t i = 0; i < palette_.size(); ++i)
        colours[i] = {GifByteType(palette_[i] >> 16), GifByteType(palette_[i] >> 8),
                      GifByteType(palette_[i])};
    ColorMapObject* map = GifMakeMapObject(int(PaletteSize), colours.data());
    if (map == nullptr)
        return false;
    EGifSetGifVersion(gif_, true);
    bool started = EGifPutScreenDesc(gif_, width, height, 8, 0, map) != GIF_ERROR;
    GifFreeMapObject(map);
    // Loop for ever (the application extension browsers read).
    static const GifByteType Loop[] = {1, 0, 0};
    return started && EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) != GIF_ERROR &&
           EGifPutExtensionBlock(gif_, 11, "NETSCAPE2.0") != GIF_ERROR &&
           EGifPutExtensionBlock(gif_, 3, Loop) != GIF_ERROR &&
           EGifPutExtensionTrailer(gif_) != GIF_ERROR;
}

bool GifWriter::Start(int32_t width, int32_t height, const std::vector<uint32_t>& exact,
                      const std::vector<const picture_io::Picture*>& pictures) {
    if (!ChoosePalette(exact, pictures))
        return false;
    FindNearestColours();
    previous_ = picture_io::Picture(); // the first picture is stored whole
    previous_.width = width;
    previous_.height = height;
    return WriteScreen(width, height);
}

uint8_t GifWriter::IndexOf(uint32_t colour) const {
    colour &= 0xFFFFFF;
    // Its cell's nearest colour, unless the palette holds the colour itself.
    const uint8_t guess =
        nearest_[(colour >> 19 & 31) << 10 | (colour >> 11 & 31) << 5 | (colour >> 3 & 31)];
    if (palette_[guess] == colour)
        return guess;
    auto at = std::find(palette_.begin(), palette_.end(), colour);
    return at != palette_.end() ? uint8_t(at - palette_.begin()) : guess;
}

bool GifWriter::Add(const picture_io::Picture& picture, int ms) {
    // The rectangle that changed since the previous picture (all of the first).
    int32_t left = 0, top = 0, right = picture.width - 1, bottom = picture.height - 1;
    if (!previous_.pixels.empty()) {
        left = picture.width;
        top = picture.height;
        right = bottom = -1;
        for (int32_t y = 0; y < picture.height; ++y)
            for (int32_t x = 0; x < picture.width; ++x) {
                const size_t i = size_t(y) * size_t(picture.width) + size_t(x);
                if ((picture.pixels[i] ^ previous_.pixels[i]) & 0xFFFFFF) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            }
        if (right < 0)
            left = right = top = bottom = 0; // nothing changed: one pixel, for the delay
    }
    GraphicsControlBlock control;
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = (ms + 5) / 10;
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    const int32_t width = right - left + 1;
    if (EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_ERROR ||
        EGifPutImageDesc(gif_, left, top, width, bottom - top + 1, false, nullptr) == GIF_ERROR)
        return false;
    std::vector<GifPixelType> row(static_cast<size_t>(width));
    for (int32_t y = top; y <= bottom; ++y) {
        const uint32_t* pixels = &picture.pixels[size_t(y) * size_t(picture.width)];
        for (int32_t x = left; x <= right; ++x)
            row[size_t(x - left)] = IndexOf(pixels[x]);
        if (EGifPutLine(gif_, row.data(), width) == GIF_ERROR)
            return false;
    }
    previous_.pixels = picture.pixels;
    return true;
}

bool GifWriter::Finish() {
    int failure = 0;
    GifFileType* gif = gif_;
    gif_ = nullptr;
    return EGifCloseFile(gif, &failure) != GIF_ERROR;
}

} // namespace growth_views
