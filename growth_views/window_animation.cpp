#include "window_animation.h"

#include <algorithm>
#include <functional>

#include "utf8_files.h"

#ifdef VX_HAVE_WEBP
#include "gif_writer.h"
#include <webp/encode.h>
#include <webp/mux.h>
#endif

namespace growth_views {

AnimationPacing PaceAnimation(size_t requests) {
    AnimationPacing pacing;
    pacing.shown = std::min(requests, size_t(AnimationPictures));
    pacing.inputMs = 500;
    pacing.pictureMs = pacing.shown == 0 ? 0 : std::clamp(int(3000 / pacing.shown), 40, 250);
    pacing.resultMs = 2000;
    return pacing;
}

bool AnimationFormatFor(const std::string& name, AnimationFormat* format, std::string* error) {
    std::string extension = files::Utf8FromPath(files::PathFromUtf8(name).extension());
    for (char& c : extension)
        c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (extension.empty() || extension == ".webp") {
        *format = AnimationFormat::WebP;
        return true;
    }
    if (extension == ".gif") {
        *format = AnimationFormat::Gif;
        return true;
    }
    *error = "--animation " + command_line::Quoted(name) +
             ": animations are written as WebP (.webp) or GIF (.gif); the name says neither";
    return false;
}

#ifdef VX_HAVE_WEBP

bool AnimationAvailable() {
    return true;
}

namespace {

// One encoder and one picture buffer for the whole animation, released on every path out.
struct Encoder {
    WebPAnimEncoder* encoder = nullptr;
    WebPPicture picture;
    WebPConfig config;
    WebPData data;
    int timestamp = 0;

    Encoder() {
        WebPPictureInit(&picture);
        WebPDataInit(&data);
    }
    ~Encoder() {
        WebPAnimEncoderDelete(encoder);
        WebPPictureFree(&picture);
        WebPDataClear(&data);
    }
    bool Start(int width, int height) {
        WebPAnimEncoderOptions options;
        if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&config))
            return false;
        options.anim_params.loop_count = 0;
        options.anim_params.bgcolor = 0xFFFFFFFFu;
        options.kmax = 0; // no key frames beyond the first: each picture stores what changed
        // Lossless, so that the paint colour and the outline show exactly; the fastest
        // effort, which the pictures' few changed rectangles make small enough anyway.
        config.lossless = 1;
        config.method = 0;
        config.quality = 10;
        picture.width = width;
        picture.height = height;
        picture.use_argb = 1;
        encoder = WebPAnimEncoderNew(width, height, &options);
        return encoder != nullptr && WebPValidateConfig(&config);
    }
    // Adds `image` to be shown for `ms` milliseconds.
    bool Add(const picture_io::Picture& image, int ms) {
        // Colour words 0x00RRGGBB lie in memory as B, G, R, unused.
        if (!WebPPictureImportBGRX(&picture, reinterpret_cast<const uint8_t*>(image.pixels.data()),
                                   image.width * 4) ||
            !WebPAnimEncoderAdd(encoder, &picture, timestamp, &config))
            return false;
        timestamp += ms;
        return true;
    }
    bool Finish() {
        return WebPAnimEncoderAdd(encoder, nullptr, timestamp, nullptr) &&
               WebPAnimEncoderAssemble(encoder, &data);
    }
};

} // namespace

// The pictures of the animation, in order, each with how long it shows: the input, the
// requests chosen, the result. Stops at the first `add` that fails.
static bool PlayWindow(const WindowSamples& samples, const run_records::FillReport& report,
                       uint32_t paintColour,
                       const std::function<bool(const picture_io::Picture&, int ms)>& add) {
    const size_t requests = report.refreshes.size();
    const AnimationPacing pacing = PaceAnimation(requests);
    const uint32_t outline = OutlineColourFor(paintColour);
    if (!add(samples.input, pacing.inputMs))
        return false;
    WindowScreen screen(samples, report);
    size_t next = 0; // pictures shown so far
    for (size_t k = 0; k < requests; ++k) {
        screen.Apply(k);
        // Picture j shows request ceil((j + 1) * requests / shown) - 1: the last is the last.
        if ((next + 1) * requests > (k + 1) * pacing.shown)
            continue;
        if (!add(screen.Outlined(k, outline), pacing.pictureMs))
            return false;
        ++next;
    }
    return add(screen.Shown(), pacing.resultMs);
}

static bool WriteWebP(FILE* file, const WindowSamples& samples,
                      const run_records::FillReport& report, uint32_t paintColour, bool* written) {
    Encoder encoder;
    bool encoded = encoder.Start(samples.input.width, samples.input.height) &&
                   PlayWindow(samples, report, paintColour,
                              [&encoder](const picture_io::Picture& picture, int ms) {
                                  return encoder.Add(picture, ms);
                              }) &&
                   encoder.Finish();
    *written =
        encoded && fwrite(encoder.data.bytes, 1, encoder.data.size, file) == encoder.data.size;
    return encoded;
}

static bool WriteGif(FILE* file, const WindowSamples& samples,
                     const run_records::FillReport& report, uint32_t paintColour, bool* written) {
    GifWriter gif(file);
    const uint32_t outline = OutlineColourFor(paintColour);
    bool encoded = gif.Start(samples.input.width, samples.input.height, {paintColour, outline},
                             {&samples.input, &samples.result}) &&
                   PlayWindow(samples, report, paintColour,
                              [&gif](const picture_io::Picture& picture, int ms) {
                                  return gif.Add(picture, ms);
                              }) &&
                   gif.Finish();
    *written = encoded && !ferror(file);
    return encoded;
}

bool WriteAnimation(FILE* file, const std::string& path, AnimationFormat format,
                    const WindowSamples& samples, const run_records::FillReport& report,
                    uint32_t paintColour, std::string* error) {
    bool written = false;
    const bool encoded = format == AnimationFormat::Gif
                             ? WriteGif(file, samples, report, paintColour, &written)
                             : WriteWebP(file, samples, report, paintColour, &written);
    if (!encoded) {
        *error = "cannot write " + command_line::Quoted(path) + ": animation encoding failed";
        return false;
    }
    if (!written) {
        *error = "cannot write " + command_line::Quoted(path) + ": short write";
        return false;
    }
    return true;
}

#else

bool AnimationAvailable() {
    return false;
}

bool WriteAnimation(FILE*, const std::string& path, AnimationFormat, const WindowSamples&,
                    const run_records::FillReport&, uint32_t, std::string* error) {
    *error = "cannot write " + command_line::Quoted(path) +
             ": animations are not available in this build";
    return false;
}

#endif

} // namespace growth_views
