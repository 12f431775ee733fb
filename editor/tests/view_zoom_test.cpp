// The view's zoom: every view pixel of a picture pixel leads back to it at 1:1 and above, the
// pixels tile the view without gaps or overlaps at any zoom, the steps go up and down through
// the odd fractions a fit gives, and a fit never enlarges.
#include <gtest/gtest.h>

#include "view_zoom.h"

namespace {

const editor::Zoom Zooms[] = {{1, 1}, {2, 1}, {3, 2}, {67, 100}, {1, 3}, {640, 6000}, {1024, 451}};

TEST(ViewZoom, PixelsTileTheViewAndClicksLandOnThePixelShown) {
    for (editor::Zoom zoom : Zooms) {
        for (int64_t p = -3; p < 2000; ++p) {
            const int64_t start = ViewStart(p, zoom), end = ViewStart(p + 1, zoom);
            ASSERT_LE(start, end) << zoom.num << "/" << zoom.den << " at " << p;
            // What the view shows at each of its pixels is the pixel a click there lands on.
            for (int64_t v = start; v < end; ++v) {
                ASSERT_EQ(PictureAt(v, zoom), p) << zoom.num << "/" << zoom.den << " at " << v;
            }
            if (zoom.num >= zoom.den) {
                ASSERT_LT(start, end)
                    << "a pixel with no view pixel at " << zoom.num << "/" << zoom.den;
            }
        }
        // Zoomed out, each view pixel shows the first picture pixel it covers.
        for (int64_t v = 0; v < 500; ++v)
            ASSERT_GE(ViewStart(PictureAt(v, zoom) + 1, zoom), v + 1);
    }
}

TEST(ViewZoom, StepsGoThroughEveryZoomAndStopAtTheEnds) {
    editor::Zoom zoom{640, 6000}; // a fit: between 10 % and 25 %
    zoom = editor::NextZoom(zoom, true);
    EXPECT_EQ(editor::ZoomPercent(zoom), 25);
    EXPECT_EQ(editor::ZoomPercent(editor::NextZoom(editor::Zoom{640, 6000}, false)), 10);
    editor::Zoom in{}, out{};
    for (int i = 0; i < 40; ++i) {
        in = editor::NextZoom(in, true);
        out = NextZoom(out, false);
    }
    EXPECT_EQ(editor::ZoomPercent(in), 3200);
    EXPECT_EQ(editor::ZoomPercent(out), 5);
    EXPECT_EQ(editor::ZoomPercent(editor::NextZoom(editor::Zoom{}, true)), 150);
    EXPECT_EQ(editor::ZoomPercent(editor::NextZoom(editor::Zoom{}, false)), 67);
}

TEST(ViewZoom, FitShowsTheWholePictureAndNeverEnlarges) {
    const editor::Zoom fit = editor::FitZoom(6000, 4000, 640, 400);
    EXPECT_LE(editor::ViewStart(6000, fit), 640);
    EXPECT_LE(editor::ViewStart(4000, fit), 400);
    EXPECT_TRUE(editor::ViewStart(6000, fit) == 640 || ViewStart(4000, fit) == 400);
    const editor::Zoom tall = editor::FitZoom(100, 5000, 800, 600);
    EXPECT_LE(editor::ViewStart(5000, tall), 600);
    EXPECT_LE(editor::ViewStart(100, tall), 800);
    EXPECT_EQ(editor::ZoomPercent(editor::FitZoom(300, 200, 640, 480)),
              100); // small: shown at its size
    EXPECT_EQ(editor::ZoomPercent(editor::FitZoom(300, 200, 0, 480)), 100); // no view yet
}

} // namespace
