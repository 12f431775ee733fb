// window_frames.h - what the image window shows at each refresh request, as pictures.
//
// The window shows the picture as it was at its last refresh: a pixel on screen changes only
// when a refresh request covers it, and then shows the working picture at that moment. So
// frame k is frame k-1 with request k's rectangle copied from the picture as painted by then,
// and that rectangle outlined (a one-pixel ring just outside it, moved onto its own edge where
// the picture ends). An empty request (-1, -1, -1, -1) changes nothing and outlines nothing.
// Before the first request the window shows the input picture.
//
// Scale. The window is drawn at most `frameWidth` pixels wide and as many high: each frame
// pixel shows the picture pixel at its centre (a picture that fits stays 1:1). Only those sampled
// pixels are kept, of the input before the fill and of the result and the paint epochs after it, so
// the frames cost memory and time by the frame's size, not the picture's. A rectangle is outlined
// around the frame pixels it covers; one that covers none still gets a two-pixel ring where it
// lies, so that no request is invisible at a small scale.
//
// Files in DIR: frame-N.png, N the request's number counted from 1 over all clicks, padded
// with zeros to five digits or to the digits the number of requests needs, so that the names
// sort in order; and overview.png, the requests' rectangles outlined over the result: all of
// them when their rings cover at most a quarter of the picture, else every S-th (the last
// included), so that the paint still shows under thousands of requests. They are
// written to a staging folder first (PendingFrames); only when every output of the run is
// complete are the older frame files and overview.png in DIR replaced by them, so DIR never
// mixes two runs and a failed run leaves DIR as it was.
//
// Limit. Exactly min(maxFrames, requests) frame files are written. The last request of each
// click comes first: when there are at least as many frames as clicks, every click's last
// frame is kept and the rest are spread evenly over the other requests; with fewer frames
// than clicks, the last frames of clicks spread evenly from the first click to the last. The
// missing numbers in the file names show the gaps, and the summary says how many were written.
#ifndef GROWTH_VIEWS_WINDOW_FRAMES_H
#define GROWTH_VIEWS_WINDOW_FRAMES_H

#include <stdint.h>

#include <string>
#include <vector>

#include "fill_report.h"
#include "image_files.h"
#include "output_files.h"

namespace growth_views {

// The window's pictures at frame scale: which picture pixel each frame column and row shows,
// and those pixels of the input, of the result and of the paint epochs.
struct WindowSamples {
    int32_t pictureWidth = 0, pictureHeight = 0;
    std::vector<int32_t> columns, rows; // picture x of each frame column, y of each frame row
    picture_io::Picture input, result;  // at frame scale
    std::vector<uint32_t> paintEpoch;   // at frame scale
};

// Before the fill: the frame scale for `picture` and its sampled input.
void SampleInput(const picture_io::Picture& picture, int32_t frameWidth, WindowSamples* samples);
// After the fill: the sampled result (the painted picture) and paint epochs.
void SampleResult(const std::vector<uint32_t>& painted, const run_records::FillReport& report,
                  WindowSamples* samples);

// Outline colour of the frames: yellow, or cyan when the paint colour is close to yellow.
uint32_t OutlineColourFor(uint32_t paintColour);

// The window, request after request, at frame scale. A frame pixel changes at most once: at
// the first request at or after its pixel's first paint whose rectangle covers it (before, it
// shows the input, painted or not). Those moments are worked out once, so that showing a
// request costs by the pixels it changes, not by its rectangle.
class WindowScreen {
  public:
    WindowScreen(const WindowSamples& samples, const run_records::FillReport& report);
    // Shows request `request` (requests are applied in order, each once).
    void Apply(size_t request);
    const picture_io::Picture& Shown() const { return screen_; }
    // What is shown, with request `request`'s rectangle outlined in `colour`.
    picture_io::Picture Outlined(size_t request, uint32_t colour) const;
    // Draws request `request`'s rectangle's outline onto `image` (of the frame scale).
    void DrawOutline(size_t request, uint32_t colour, picture_io::Picture* image) const;

    // Frame pixels the outline of request `request` takes (0 when it has none).
    size_t OutlineLength(size_t request) const;

  private:
    bool Covers(size_t request, size_t pixel) const;
    // The outline's ring at frame scale; false when the request has none.
    bool OutlineBox(size_t request, int32_t* left, int32_t* top, int32_t* right,
                    int32_t* bottom) const;

    const WindowSamples& samples_;
    const run_records::FillReport& report_;
    picture_io::Picture screen_;
    // The frame pixels that change at request k: changing_[firstChanging_[k]] up to
    // changing_[firstChanging_[k + 1]] (exclusive).
    std::vector<uint32_t> firstChanging_, changing_;
};

// Which requests get a frame file under the limit described above: exactly
// min(maxFrames, requests) of them.
struct FrameChoice {
    std::vector<bool> chosen; // per request
    int32_t files = 0;        // chosen requests
    bool byClick = false;     // fewer frames than clicks: only clicks' last requests chosen
    size_t clicks = 0;        // clicks that made requests
};
FrameChoice ChooseFrames(const run_records::FillReport& report, int32_t maxFrames);

// A frame's file name for request `request` (from 0) out of `requests`.
std::string FrameName(size_t request, size_t requests);

// Writes the frames and the overview into `dir`, which should be PendingFrames::Folder();
// `afterFrame`, when given, runs after each frame file with the number written. *chosen says
// which frames were written.
bool WriteFrames(const std::string& dir, const WindowSamples& samples,
                 const run_records::FillReport& report, uint32_t paintColour, int32_t maxFrames,
                 FrameChoice* chosen, std::string* error,
                 void (*afterFrame)(int32_t framesWritten) = nullptr);

// The frames folder, prepared before the fill and committed with the other outputs
// (output_files.h). Open() creates DIR (and any missing parents) and in it an empty staging
// folder of an unpredictable name, which fails early when DIR cannot be written; the frames
// are written there. Ready() checks that every new frame's name in DIR is free or a file
// (a folder of that name fails the run before anything is put in place). Commit() moves the
// older frames aside (only names the frames take: frame-N.png, overview.png) and the new ones
// in; Rollback() moves them back. Destroyed without a commit, it removes the staging folder
// and every folder Open() created. Nothing to do for frames never opened.
class PendingFrames : public files::StagedOutput {
  public:
    PendingFrames() = default;
    PendingFrames(const PendingFrames&) = delete;
    PendingFrames& operator=(const PendingFrames&) = delete;
    ~PendingFrames() override;

    bool Open(const std::string& dir, std::string* error);
    const std::string& Folder() const { return staging_; }
    // `message` with the staging folder's name replaced by DIR's: what the user named.
    std::string InTermsOfFolder(const std::string& message) const;

    bool Ready(std::string* error) override;
    bool Commit(std::string* error) override;
    void Rollback() override;
    void Finish() override;

  private:
    std::string dir_, staging_, created_; // created_: the outermost folder Open() made
    std::string aside_;                   // the older frames, kept for a rollback
    std::vector<std::string> newNames_, oldNames_, movedIn_, movedAside_;
    bool committed_ = false, finished_ = false;
};

} // namespace growth_views

#endif
