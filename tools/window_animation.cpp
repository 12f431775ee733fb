#include "window_animation.h"

#include <algorithm>

#ifdef VX_HAVE_WEBP
#include <webp/encode.h>
#include <webp/mux.h>
#endif

AnimationPacing PaceAnimation(size_t requests) {
    AnimationPacing pacing;
    pacing.shown = std::min(requests, size_t(AnimationPictures));
    pacing.inputMs = 500;
    pacing.pictureMs = pacing.shown == 0 ? 0 : std::clamp(int(3000 / pacing.shown), 40, 250);
    pacing.resultMs = 2000;
    return pacing;
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
    bool Add(const RgbImage& image, int ms) {
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

bool WriteAnimation(FILE* file, const std::string& path, const WindowSamples& samples,
                    const FillReport& report, uint32_t paintColour, std::string* error) {
    const size_t requests = report.refreshes.size();
    const AnimationPacing pacing = PaceAnimation(requests);
    const uint32_t outline = OutlineColourFor(paintColour);
    Encoder encoder;
    bool encoded = encoder.Start(samples.input.width, samples.input.height) &&
                   encoder.Add(samples.input, pacing.inputMs);
    WindowScreen screen(samples, report);
    size_t next = 0; // pictures shown so far
    for (size_t k = 0; k < requests && encoded; ++k) {
        screen.Apply(k);
        // Picture j shows request ceil((j + 1) * requests / shown) - 1: the last is the last.
        if ((next + 1) * requests > (k + 1) * pacing.shown)
            continue;
        encoded = encoder.Add(screen.Outlined(k, outline), pacing.pictureMs);
        ++next;
    }
    encoded = encoded && encoder.Add(screen.Shown(), pacing.resultMs) && encoder.Finish();
    if (!encoded) {
        *error = "cannot write " + Quoted(path) + ": animation encoding failed";
        return false;
    }
    if (fwrite(encoder.data.bytes, 1, encoder.data.size, file) != encoder.data.size) {
        *error = "cannot write " + Quoted(path) + ": short write";
        return false;
    }
    return true;
}

#else

bool AnimationAvailable() {
    return false;
}

bool WriteAnimation(FILE*, const std::string& path, const WindowSamples&, const FillReport&,
                    uint32_t, std::string* error) {
    *error = "cannot write " + Quoted(path) + ": animations are not available in this build";
    return false;
}

#endif
