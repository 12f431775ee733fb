#include "window_frames.h"

#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "interrupt_cleanup.h"
#include "tool_paths.h"

uint32_t OutlineColourFor(uint32_t paintColour) {
    bool nearYellow = (paintColour >> 16 & 0xFF) >= 192 && (paintColour >> 8 & 0xFF) >= 192 &&
                      (paintColour & 0xFF) < 64;
    return nearYellow ? 0x0000FFFFu : 0x00FFFF00u;
}

// The request's rectangle cut to the picture; false when nothing of it lies inside.
static bool ClipToImage(const RefreshRequest& r, const RgbImage& image, int32_t* left, int32_t* top,
                        int32_t* right, int32_t* bottom) {
    *left = std::max(r.left, 0);
    *top = std::max(r.top, 0);
    *right = std::min(r.right, image.width - 1);
    *bottom = std::min(r.bottom, image.height - 1);
    return *left <= *right && *top <= *bottom;
}

void ApplyRefresh(const RgbImage& input, const RgbImage& result, const FillReport& report,
                  size_t request, RgbImage* screen) {
    int32_t left, top, right, bottom;
    if (!ClipToImage(report.refreshes[request], input, &left, &top, &right, &bottom))
        return;
    for (int32_t y = top; y <= bottom; ++y)
        for (int32_t x = left; x <= right; ++x) {
            size_t i = size_t(y) * size_t(input.width) + size_t(x);
            bool paintedByNow = report.paintEpoch[i] <= request;
            screen->pixels[i] = paintedByNow ? result.pixels[i] : input.pixels[i];
        }
}

static void DrawOutline(const RefreshRequest& r, uint32_t colour, RgbImage* image) {
    int32_t left, top, right, bottom;
    if (!ClipToImage(r, *image, &left, &top, &right, &bottom))
        return;
    left = std::max(left - 1, 0);
    top = std::max(top - 1, 0);
    right = std::min(right + 1, image->width - 1);
    bottom = std::min(bottom + 1, image->height - 1);
    auto at = [image](int32_t x, int32_t y) -> uint32_t& {
        return image->pixels[size_t(y) * size_t(image->width) + size_t(x)];
    };
    for (int32_t x = left; x <= right; ++x)
        at(x, top) = at(x, bottom) = colour;
    for (int32_t y = top; y <= bottom; ++y)
        at(left, y) = at(right, y) = colour;
}

static std::string FramePath(const std::string& dir, size_t request) {
    char name[32];
    snprintf(name, sizeof name, "frame-%05zu.png", request + 1);
    return (std::filesystem::path(dir) / name).string();
}

bool WriteFrames(const std::string& dir, const RgbImage& input, const RgbImage& result,
                 const FillReport& report, uint32_t paintColour, int32_t maxFrames,
                 FramesWritten* written, std::string* error) {
    const size_t requests = report.refreshes.size();
    written->stride = requests > size_t(maxFrames)
                          ? int32_t((requests + size_t(maxFrames) - 1) / size_t(maxFrames))
                          : 1;
    const uint32_t outline = OutlineColourFor(paintColour);

    RgbImage screen = input;
    screen.hasAlpha = false; // the window shows colours: frames are opaque
    for (size_t k = 0; k < requests; ++k) {
        ApplyRefresh(input, result, report, k, &screen);
        bool lastOfClick =
            k + 1 == requests || report.refreshes[k + 1].click != report.refreshes[k].click;
        if ((k + 1) % size_t(written->stride) != 0 && !lastOfClick)
            continue;
        RgbImage frame = screen;
        DrawOutline(report.refreshes[k], outline, &frame);
        if (!SavePng(FramePath(dir, k), frame, error))
            return false;
        ++written->files;
    }

    // Overview: cycling colours keep neighbouring rectangles apart.
    static const uint32_t OverviewColours[] = {0x00FFFF00u, 0x0000FFFFu, 0x0000FF00u, 0x00FF8000u,
                                               0x00FFFFFFu};
    RgbImage overview = result;
    overview.hasAlpha = false;
    for (size_t k = 0; k < requests; ++k)
        DrawOutline(report.refreshes[k], OverviewColours[k % 5], &overview);
    return SavePng((std::filesystem::path(dir) / "overview.png").string(), overview, error);
}

// ---- PendingFrames ---------------------------------------------------------------------------

namespace fs = std::filesystem;

static bool ListFolder(const fs::path& dir, std::vector<fs::path>* files, std::string* error) {
    std::error_code failure;
    for (fs::directory_iterator it(dir, failure); !failure && it != fs::directory_iterator();
         it.increment(failure))
        files->push_back(it->path());
    if (failure)
        *error = "cannot list " + Quoted(dir.string()) + ": " + failure.message();
    return !failure;
}

bool PendingFrames::Open(const std::string& dir, std::string* error) {
    dir_ = dir;
    std::error_code failure;
    for (fs::path p = dir;
         !p.empty() && fs::symlink_status(p, failure).type() == fs::file_type::not_found;
         p = p.parent_path())
        created_ = p.string();
    // Created and registered as one step, so that an interruption removes what was made.
    CleanupHold hold;
    std::string temporary = TemporaryPathFor((fs::path(dir) / "frames").string());
    RegisterTemporary(created_.empty() ? temporary : created_);
    fs::create_directories(temporary, failure);
    if (failure) {
        UnregisterTemporary(created_.empty() ? temporary : created_);
        created_.clear();
        *error = "cannot create frames directory " + Quoted(dir) + ": " + failure.message();
        return false;
    }
    temporary_ = temporary;
    return true;
}

std::string PendingFrames::InTermsOfFolder(const std::string& message) const {
    std::string text = message;
    if (!temporary_.empty())
        for (size_t at; (at = text.find(temporary_)) != std::string::npos;)
            text.replace(at, temporary_.size(), dir_);
    return text;
}

// Only the names the frames take are replaced: a user's frame-mine.png or notes stay, and since
// the old frames all go, DIR never mixes two runs. One step for an interruption too.
bool PendingFrames::Commit(std::string* error) {
    if (temporary_.empty())
        return true;
    CleanupHold hold;
    std::vector<fs::path> oldFiles, newFiles;
    if (!ListFolder(dir_, &oldFiles, error) || !ListFolder(temporary_, &newFiles, error))
        return false;
    std::error_code failure;
    for (const fs::path& file : oldFiles)
        if (IsFrameFileName(file.filename().string()) && !fs::is_directory(file, failure))
            fs::remove(file, failure);
    for (const fs::path& file : newFiles) {
        fs::rename(file, fs::path(dir_) / file.filename(), failure);
        if (failure) {
            *error = "cannot write " + Quoted((fs::path(dir_) / file.filename()).string()) + ": " +
                     failure.message();
            return false;
        }
    }
    fs::remove(temporary_, failure);
    UnregisterTemporary(created_.empty() ? temporary_ : created_);
    temporary_.clear();
    created_.clear();
    return true;
}

PendingFrames::~PendingFrames() {
    std::error_code ignored;
    if (!temporary_.empty()) {
        CleanupHold hold;
        fs::remove_all(created_.empty() ? temporary_ : created_, ignored);
        UnregisterTemporary(created_.empty() ? temporary_ : created_);
    }
}
