// window_animation.h - the window's refreshes as one animated picture (WebP or GIF).
//
// The animation shows the window as the frames do (window_frames.h), at the same scale: first
// the input picture, then the window after a selection of the refresh requests, each with its
// rectangle outlined, and last the result without outline, held. It is paced by the number of
// pictures, not by the fill's own time, so that a fill of any size plays in about three
// seconds: at most AnimationPictures requests are shown, spread evenly over all of them and
// ending with the last.
//
// The file's name says the format: ".webp" (any case) is encoded with libwebp's animation
// encoder (WebPAnimEncoder, libwebpmux), lossless and in full colour, so the photograph and
// the paint colour show as they are; ".gif" with giflib (gif_writer.h), 256 colours with the
// paint and the outlines exact. A name without an extension (a stream such as "-") gets WebP;
// any other extension is refused before any work. Both store only the part of each picture
// that changed. Builds without the libraries (the Windows build) have no animation:
// AnimationAvailable() says so, and the tool refuses --animation before doing any work.
#ifndef GROWTH_VIEWS_WINDOW_ANIMATION_H
#define GROWTH_VIEWS_WINDOW_ANIMATION_H

#include <stdio.h>

#include <string>

#include "window_frames.h"

namespace growth_views {

enum { AnimationPictures = 75 };

enum class AnimationFormat { WebP, Gif };

// The format `name` asks for; false (with a one-line reason naming the formats) for a name
// with another extension.
bool AnimationFormatFor(const std::string& name, AnimationFormat* format, std::string* error);

// Whether this build can write animations.
bool AnimationAvailable();

// Requests shown, and how long each picture stays, for `requests` refresh requests.
struct AnimationPacing {
    size_t shown = 0;  // requests shown (at most AnimationPictures)
    int inputMs = 0;   // the input picture, first
    int pictureMs = 0; // each request's picture
    int resultMs = 0;  // the result, last
};
AnimationPacing PaceAnimation(size_t requests);

// Writes the animation to `file` (opened for writing, binary). On failure returns false with
// a reason naming `path`.
bool WriteAnimation(FILE* file, const std::string& path, AnimationFormat format,
                    const WindowSamples& samples, const run_records::FillReport& report,
                    uint32_t paintColour, std::string* error);

} // namespace growth_views

#endif
