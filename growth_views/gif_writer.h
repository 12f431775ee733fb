// gif_writer.h - an animated GIF through Debian's giflib (libgif-dev), for --animation x.gif.
//
// One palette of 256 colours for the whole animation, so that a colour looks the same in every
// picture: the colours that must show exactly (the paint, the outlines) first, then the
// pictures' own colours, exactly when they are few enough, else a median-cut palette of them
// (giflib's GifQuantizeBuffer), each pixel shown as its nearest palette colour. Each picture
// after the first stores only the rectangle that changed, drawn over the one before; the
// animation loops.
#ifndef GROWTH_VIEWS_GIF_WRITER_H
#define GROWTH_VIEWS_GIF_WRITER_H

#include <stdint.h>
#include <stdio.h>

#include <vector>

#include "image_files.h"

struct GifFileType; // giflib's

namespace growth_views {

class GifWriter {
  public:
    explicit GifWriter(FILE* file) : file_(file) {}
    GifWriter(const GifWriter&) = delete;
    GifWriter& operator=(const GifWriter&) = delete;
    ~GifWriter();

    // `exact` colours are kept as they are; the palette's other colours come from `pictures`.
    bool Start(int32_t width, int32_t height, const std::vector<uint32_t>& exact,
               const std::vector<const picture_io::Picture*>& pictures);
    // Adds `picture` (of the animation's size), shown for `ms` milliseconds.
    bool Add(const picture_io::Picture& picture, int ms);
    bool Finish();

  private:
    // The palette: the `exact` colours, then the pictures' own or a median-cut palette of them.
    // False when giflib cannot make the palette.
    bool ChoosePalette(const std::vector<uint32_t>& exact,
                       const std::vector<const picture_io::Picture*>& pictures);
    // nearest_: the palette colour nearest to each 15-bit colour.
    void FindNearestColours();
    // Opens the GIF: the screen of the animation's size with the palette, set to loop.
    bool WriteScreen(int32_t width, int32_t height);
    uint8_t IndexOf(uint32_t colour) const;

    FILE* file_;
    GifFileType* gif_ = nullptr;
    std::vector<uint32_t> palette_;
    std::vector<uint8_t> nearest_; // palette index by 15-bit colour, for colours not in it
    picture_io::Picture previous_;
};

} // namespace growth_views

#endif
