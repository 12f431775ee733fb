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

// ---- Sampling --------------------------------------------------------------------------------

// The picture coordinate at the centre of each of `frameSize` frame pixels.
static std::vector<int32_t> Centres(int32_t pictureSize, int32_t frameSize) {
    std::vector<int32_t> centres(static_cast<size_t>(frameSize));
    for (int32_t i = 0; i < frameSize; ++i)
        centres[size_t(i)] = int32_t((2 * int64_t(i) + 1) * pictureSize / (2 * int64_t(frameSize)));
    return centres;
}

template <typename Word>
static std::vector<Word> Sample(const WindowSamples& samples, const std::vector<Word>& picture) {
    std::vector<Word> sampled;
    sampled.reserve(samples.columns.size() * samples.rows.size());
    for (int32_t y : samples.rows) {
        const Word* row = picture.data() + size_t(y) * size_t(samples.pictureWidth);
        for (int32_t x : samples.columns)
            sampled.push_back(row[x]);
    }
    return sampled;
}

void SampleInput(const RgbImage& picture, int32_t frameWidth, WindowSamples* samples) {
    samples->pictureWidth = picture.width;
    samples->pictureHeight = picture.height;
    const int32_t width = std::min(picture.width, std::max(frameWidth, 1));
    const int32_t height =
        width == picture.width
            ? picture.height
            : std::max(
                  int32_t((int64_t(picture.height) * width + picture.width / 2) / picture.width),
                  int32_t(1));
    samples->columns = Centres(picture.width, width);
    samples->rows = Centres(picture.height, height);
    samples->input.width = samples->result.width = width;
    samples->input.height = samples->result.height = height;
    samples->input.pixels = Sample(*samples, picture.pixels);
}

void SampleResult(const std::vector<uint32_t>& painted, const FillReport& report,
                  WindowSamples* samples) {
    samples->result.pixels = Sample(*samples, painted);
    samples->paintEpoch.clear();
    samples->paintEpoch.reserve(samples->result.pixels.size());
    for (int32_t y : samples->rows)
        for (int32_t x : samples->columns)
            samples->paintEpoch.push_back(
                report.PaintEpoch(size_t(y) * size_t(samples->pictureWidth) + size_t(x)));
}

// ---- The screen ------------------------------------------------------------------------------

// The frame pixels [*first, *last] whose picture coordinates lie in [low, high]; *last is
// *first - 1 when there are none.
static void Covered(const std::vector<int32_t>& centres, int32_t low, int32_t high, int32_t* first,
                    int32_t* last) {
    *first = int32_t(std::lower_bound(centres.begin(), centres.end(), low) - centres.begin());
    *last = int32_t(std::upper_bound(centres.begin(), centres.end(), high) - centres.begin()) - 1;
}

bool WindowScreen::Covers(size_t request, size_t pixel) const {
    const RefreshRequest& r = report_.refreshes[request];
    const size_t width = size_t(screen_.width);
    const int32_t x = samples_.columns[pixel % width], y = samples_.rows[pixel / width];
    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

WindowScreen::WindowScreen(const WindowSamples& samples, const FillReport& report)
    : samples_(samples), report_(report), screen_(samples.input) {
    // When each frame pixel changes: usually at the request right after its first paint,
    // whose rectangle holds every pixel painted since the one before; else a later one.
    const size_t requests = report.refreshes.size();
    const size_t pixels = samples.paintEpoch.size();
    std::vector<uint32_t> changesAt(pixels, NeverPainted);
    firstChanging_.assign(requests + 1, 0);
    for (size_t p = 0; p < pixels; ++p) {
        size_t k = samples.paintEpoch[p];
        while (k < requests && !Covers(k, p))
            ++k;
        if (k < requests) {
            changesAt[p] = uint32_t(k);
            ++firstChanging_[k + 1];
        }
    }
    for (size_t k = 0; k < requests; ++k)
        firstChanging_[k + 1] += firstChanging_[k];
    changing_.resize(firstChanging_[requests]);
    std::vector<uint32_t> next(firstChanging_.begin(), firstChanging_.end() - 1);
    for (size_t p = 0; p < pixels; ++p)
        if (changesAt[p] != NeverPainted)
            changing_[next[changesAt[p]]++] = uint32_t(p);
}

void WindowScreen::Apply(size_t request) {
    for (uint32_t i = firstChanging_[request]; i < firstChanging_[request + 1]; ++i)
        screen_.pixels[changing_[i]] = samples_.result.pixels[changing_[i]];
}

void WindowScreen::DrawOutline(size_t request, uint32_t colour, RgbImage* image) const {
    const RefreshRequest& r = report_.refreshes[request];
    // Nothing of the rectangle inside the picture: no outline.
    if (r.right < 0 || r.bottom < 0 || r.left >= samples_.pictureWidth ||
        r.top >= samples_.pictureHeight || r.left > r.right || r.top > r.bottom)
        return;
    int32_t left, right, top, bottom;
    Covered(samples_.columns, r.left, r.right, &left, &right);
    Covered(samples_.rows, r.top, r.bottom, &top, &bottom);
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

RgbImage WindowScreen::Outlined(size_t request, uint32_t colour) const {
    RgbImage frame = screen_;
    DrawOutline(request, colour, &frame);
    return frame;
}

// ---- Frame files -----------------------------------------------------------------------------

static bool LastOfClick(const FillReport& report, size_t k) {
    return k + 1 == report.refreshes.size() ||
           report.refreshes[k + 1].click != report.refreshes[k].click;
}

FrameChoice ChooseFrames(const FillReport& report, int32_t maxFrames) {
    const size_t requests = report.refreshes.size();
    const size_t limit = size_t(std::max(maxFrames, 1));
    FrameChoice choice;
    choice.chosen.assign(requests, false);
    std::vector<size_t> lasts;
    for (size_t k = 0; k < requests; ++k)
        if (LastOfClick(report, k))
            lasts.push_back(k);
    if (lasts.size() >= limit) {
        // Every stride-th click's last frame, counted back from the last click.
        const size_t stride = (lasts.size() + limit - 1) / limit;
        for (size_t i = 0; i < lasts.size(); ++i)
            if ((lasts.size() - 1 - i) % stride == 0)
                choice.chosen[lasts[i]] = true;
        choice.stride = 0;
        choice.clickStride = int32_t(stride);
    } else {
        for (size_t k : lasts)
            choice.chosen[k] = true;
        const size_t spare = limit - lasts.size();
        const size_t stride = requests <= limit ? 1 : (requests + spare - 1) / spare;
        for (size_t k = 0; k < requests; ++k)
            if ((k + 1) % stride == 0)
                choice.chosen[k] = true;
        choice.stride = int32_t(stride);
    }
    for (bool chosen : choice.chosen)
        choice.files += chosen;
    return choice;
}

std::string FrameName(size_t request, size_t requests) {
    int digits = 5;
    for (size_t limit = 100000; requests >= limit && digits < 20; limit *= 10)
        ++digits;
    char name[48];
    snprintf(name, sizeof name, "frame-%0*zu.png", digits, request + 1);
    return name;
}

bool WriteFrames(const std::string& dir, const WindowSamples& samples, const FillReport& report,
                 uint32_t paintColour, int32_t maxFrames, FramesWritten* written,
                 std::string* error, void (*afterFrame)(int32_t framesWritten)) {
    const size_t requests = report.refreshes.size();
    const FrameChoice choice = ChooseFrames(report, maxFrames);
    written->stride = choice.stride;
    written->clickStride = choice.clickStride;
    const uint32_t outline = OutlineColourFor(paintColour);

    WindowScreen screen(samples, report);
    for (size_t k = 0; k < requests; ++k) {
        screen.Apply(k);
        if (!choice.chosen[k])
            continue;
        if (!SavePng((std::filesystem::path(dir) / FrameName(k, requests)).string(),
                     screen.Outlined(k, outline), error))
            return false;
        ++written->files;
        if (afterFrame != nullptr)
            afterFrame(written->files);
    }

    // Overview: cycling colours keep neighbouring rectangles apart.
    static const uint32_t OverviewColours[] = {0x00FFFF00u, 0x0000FFFFu, 0x0000FF00u, 0x00FF8000u,
                                               0x00FFFFFFu};
    RgbImage overview = samples.result;
    for (size_t k = 0; k < requests; ++k)
        screen.DrawOutline(k, OverviewColours[k % 5], &overview);
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
