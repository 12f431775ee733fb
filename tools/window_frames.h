// window_frames.h - what the image window shows at each refresh request, as pictures.
//
// The window shows the picture as it was at its last refresh: a pixel on screen changes only
// when a refresh request covers it, and then shows the working picture at that moment. So
// frame k is frame k-1 with request k's rectangle copied from the picture as painted by then,
// and that rectangle outlined (a one-pixel ring just outside it, moved onto its own edge where
// the picture ends). An empty request (-1, -1, -1, -1) changes nothing and outlines nothing.
// Before the first request the window shows the input picture.
//
// Files in DIR: frame-NNNNN.png, NNNNN the request's number counted from 1 over all clicks,
// and overview.png, every request's rectangle outlined over the result. They are written to a
// temporary folder first (PendingFrames); only when all are written are the older frame-*.png
// files and overview.png in DIR replaced by them, so DIR never mixes two runs and a failed
// run leaves DIR as it was.
//
// Cap. When there are more requests than maxFrames, only every S-th request gets a file,
// S = ceil(requests / maxFrames), plus the last request of each click; the missing numbers in
// the file names show the gaps, and the tool's summary says how many were written.
#ifndef TOOLS_WINDOW_FRAMES_H
#define TOOLS_WINDOW_FRAMES_H

#include <stdint.h>

#include <string>

#include "fill_run.h"
#include "image_files.h"

struct FramesWritten {
    int32_t files = 0;  // frame files, overview not counted
    int32_t stride = 1; // every stride-th request got a file (1: all)
};

// Outline colour of the frames: yellow, or cyan when the paint colour is close to yellow.
uint32_t OutlineColourFor(uint32_t paintColour);

// The window as it shows after request `request`, given the one after request - 1 in
// *screen (the input picture before the first).
void ApplyRefresh(const RgbImage& input, const RgbImage& result, const FillReport& report,
                  size_t request, RgbImage* screen);

// Writes the frames and the overview into `dir`, which should be PendingFrames::Folder().
bool WriteFrames(const std::string& dir, const RgbImage& input, const RgbImage& result,
                 const FillReport& report, uint32_t paintColour, int32_t maxFrames,
                 FramesWritten* written, std::string* error);

// The frames folder, prepared before the fill: Open() creates DIR (and any missing parents) and
// an empty temporary folder in it, which fails early when DIR cannot be written. Commit()
// removes the older frames from DIR (only names the frames take: frame-N.png, overview.png) and
// moves the new ones in. Destroyed without Commit(), it
// removes the temporary folder and every folder Open() created. Commit() on frames never
// opened does nothing.
class PendingFrames {
  public:
    bool Open(const std::string& dir, std::string* error);
    const std::string& Folder() const { return temporary_; }
    // `message` with the temporary folder's name replaced by DIR's: what the user named.
    std::string InTermsOfFolder(const std::string& message) const;
    bool Commit(std::string* error);
    ~PendingFrames();

  private:
    std::string dir_, temporary_, created_; // created_: the outermost folder Open() made
};

#endif
