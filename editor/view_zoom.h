// view_zoom.h - how the view's zoom maps picture pixels to view pixels and back.
//
// The zoom is the fraction num/den of a view pixel per picture pixel (2/1 at 200 %, 1/4 at
// 25 %, the view's width over the picture's to fit it). Picture pixel p covers the view pixels
// from ViewStart(p) up to ViewStart(p + 1), so that PictureAt(ViewStart(p)) is p whenever the
// zoom is 1:1 or larger: a click on any view pixel of a picture pixel lands on that pixel.
// Zoomed out, several picture pixels share a view pixel, and PictureAt gives the first of them.
// Both take positions in the whole zoomed picture, before scrolling.
#ifndef EDITOR_VIEW_ZOOM_H
#define EDITOR_VIEW_ZOOM_H

#include <stdint.h>

namespace editor {

struct Zoom {
    int64_t num = 1, den = 1;
};

// floor(a / b) for b > 0, whatever the sign of a.
inline int64_t FloorDivide(int64_t a, int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The first view pixel of picture pixel p: ceil(p * num / den).
inline int64_t ViewStart(int64_t p, Zoom zoom) {
    return -FloorDivide(-p * zoom.num, zoom.den);
}

// The picture pixel under view pixel v: floor(v * den / num).
inline int64_t PictureAt(int64_t v, Zoom zoom) {
    return FloorDivide(v * zoom.den, zoom.num);
}

// The zoom steps of View > Zoom in and Zoom out, in percent.
const int ZoomSteps[] = {5,   10,  25,  33,  50,  67,   100,  150,
                         200, 300, 400, 600, 800, 1200, 1600, 3200};

// The next step above (`in`) or below the zoom; the zoom itself at either end.
inline Zoom NextZoom(Zoom zoom, bool in) {
    const int count = int(sizeof ZoomSteps / sizeof ZoomSteps[0]);
    if (in) {
        for (int i = 0; i < count; ++i)
            if (int64_t(ZoomSteps[i]) * zoom.den > 100 * zoom.num)
                return Zoom{ZoomSteps[i], 100};
    } else {
        for (int i = count - 1; i >= 0; --i)
            if (int64_t(ZoomSteps[i]) * zoom.den < 100 * zoom.num)
                return Zoom{ZoomSteps[i], 100};
    }
    return zoom;
}

// The largest zoom at which a picture of width x height fits in a view of that size, at most
// 1:1 (a small picture is shown at its size); 1:1 when either is empty.
inline Zoom FitZoom(int64_t width, int64_t height, int64_t viewWidth, int64_t viewHeight) {
    if (width <= 0 || height <= 0 || viewWidth <= 0 || viewHeight <= 0)
        return Zoom{};
    if (viewWidth >= width && viewHeight >= height)
        return Zoom{};
    // viewWidth / width against viewHeight / height, without division.
    return viewWidth * height <= viewHeight * width ? Zoom{viewWidth, width}
                                                    : Zoom{viewHeight, height};
}

// The zoom in percent, rounded down (for the status bar).
inline int64_t ZoomPercent(Zoom zoom) {
    return 100 * zoom.num / zoom.den;
}

} // namespace editor

#endif
