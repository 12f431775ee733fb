#include "window_frames.h"

#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "interrupt_cleanup.h"
#include "tool_paths.h"
#include "utf8_files.h"

namespace growth_views {

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

void SampleInput(const picture_io::Picture& picture, int32_t frameWidth, WindowSamples* samples) {
    samples->pictureWidth = picture.width;
    samples->pictureHeight = picture.height;
    // The largest size of the picture's shape that fits in frameWidth x frameWidth.
    const int64_t box = std::max(frameWidth, 1);
    int32_t width = picture.width, height = picture.height;
    if (width > box || height > box) {
        if (int64_t(width) >= int64_t(height)) {
            height = int32_t(std::max<int64_t>((height * box + width / 2) / width, 1));
            width = int32_t(box);
        } else {
            width = int32_t(std::max<int64_t>((width * box + height / 2) / height, 1));
            height = int32_t(box);
        }
    }
    samples->columns = Centres(picture.width, width);
    samples->rows = Centres(picture.height, height);
    samples->input.width = samples->result.width = width;
    samples->input.height = samples->result.height = height;
    samples->input.pixels = Sample(*samples, picture.pixels);
    // The frames show the picture's numbers: they carry its colour information too.
    samples->input.colour = samples->result.colour = picture.colour;
}

void SampleResult(const std::vector<uint32_t>& painted, const run_records::FillReport& report,
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
    const run_records::RefreshRequest& r = report_.refreshes[request];
    const size_t width = size_t(screen_.width);
    const int32_t x = samples_.columns[pixel % width], y = samples_.rows[pixel / width];
    return x >= r.left && x <= r.right && y >= r.top && y <= r.bottom;
}

WindowScreen::WindowScreen(const WindowSamples& samples, const run_records::FillReport& report)
    : samples_(samples), report_(report), screen_(samples.input) {
    // When each frame pixel changes: usually at the request right after its first paint,
    // whose rectangle holds every pixel painted since the one before; else a later one.
    const size_t requests = report.refreshes.size();
    const size_t pixels = samples.paintEpoch.size();
    std::vector<uint32_t> changesAt(pixels, run_records::NeverPainted);
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
        if (changesAt[p] != run_records::NeverPainted)
            changing_[next[changesAt[p]]++] = uint32_t(p);
}

void WindowScreen::Apply(size_t request) {
    for (uint32_t i = firstChanging_[request]; i < firstChanging_[request + 1]; ++i)
        screen_.pixels[changing_[i]] = samples_.result.pixels[changing_[i]];
}

bool WindowScreen::OutlineBox(size_t request, int32_t* left, int32_t* top, int32_t* right,
                              int32_t* bottom) const {
    const run_records::RefreshRequest& r = report_.refreshes[request];
    // Nothing of the rectangle inside the picture: no outline.
    if (r.right < 0 || r.bottom < 0 || r.left >= samples_.pictureWidth ||
        r.top >= samples_.pictureHeight || r.left > r.right || r.top > r.bottom)
        return false;
    Covered(samples_.columns, r.left, r.right, left, right);
    Covered(samples_.rows, r.top, r.bottom, top, bottom);
    *left = std::max(*left - 1, 0);
    *top = std::max(*top - 1, 0);
    *right = std::min(*right + 1, screen_.width - 1);
    *bottom = std::min(*bottom + 1, screen_.height - 1);
    return true;
}

size_t WindowScreen::OutlineLength(size_t request) const {
    int32_t left, top, right, bottom;
    if (!OutlineBox(request, &left, &top, &right, &bottom))
        return 0;
    return 2 * size_t(right - left + 1) + 2 * size_t(bottom - top + 1);
}

void WindowScreen::DrawOutline(size_t request, uint32_t colour, picture_io::Picture* image) const {
    int32_t left, top, right, bottom;
    if (!OutlineBox(request, &left, &top, &right, &bottom))
        return;
    auto at = [image](int32_t x, int32_t y) -> uint32_t& {
        return image->pixels[size_t(y) * size_t(image->width) + size_t(x)];
    };
    for (int32_t x = left; x <= right; ++x)
        at(x, top) = at(x, bottom) = colour;
    for (int32_t y = top; y <= bottom; ++y)
        at(left, y) = at(right, y) = colour;
}

picture_io::Picture WindowScreen::Outlined(size_t request, uint32_t colour) const {
    picture_io::Picture frame = screen_;
    DrawOutline(request, colour, &frame);
    return frame;
}

// ---- Frame files -----------------------------------------------------------------------------

static bool LastOfClick(const run_records::FillReport& report, size_t k) {
    return k + 1 == report.refreshes.size() ||
           report.refreshes[k + 1].click != report.refreshes[k].click;
}

// `count` of the indices 0 .. n-1 (all when count >= n) at even steps strictly between the
// ends, for requests spread between the clicks' last ones.
static std::vector<size_t> SpreadBetween(size_t n, size_t count) {
    std::vector<size_t> picked;
    for (size_t j = 0; j < std::min(count, n); ++j)
        picked.push_back(count >= n ? j : (j + 1) * n / (count + 1));
    return picked;
}

// `count` of the indices 0 .. n-1, spread evenly: the last always, the first too when
// count >= 2.
static std::vector<size_t> SpreadEvenly(size_t n, size_t count) {
    std::vector<size_t> picked;
    if (count >= n) {
        for (size_t i = 0; i < n; ++i)
            picked.push_back(i);
    } else if (count == 1) {
        picked.push_back(n - 1);
    } else {
        for (size_t j = 0; j < count; ++j)
            picked.push_back(size_t((2 * j * (n - 1) + (count - 1)) / (2 * (count - 1))));
    }
    return picked;
}

FrameChoice ChooseFrames(const run_records::FillReport& report, int32_t maxFrames) {
    const size_t requests = report.refreshes.size();
    const size_t limit = size_t(std::max(maxFrames, 1));
    FrameChoice choice;
    choice.chosen.assign(requests, false);
    std::vector<size_t> lasts, others;
    for (size_t k = 0; k < requests; ++k)
        (LastOfClick(report, k) ? lasts : others).push_back(k);
    choice.clicks = lasts.size();
    if (lasts.size() >= limit) {
        for (size_t i : SpreadEvenly(lasts.size(), limit))
            choice.chosen[lasts[i]] = true;
        choice.byClick = lasts.size() > limit;
    } else {
        for (size_t k : lasts)
            choice.chosen[k] = true;
        for (size_t i : SpreadBetween(others.size(), limit - lasts.size()))
            choice.chosen[others[i]] = true;
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

bool WriteFrames(const std::string& dir, const WindowSamples& samples,
                 const run_records::FillReport& report, uint32_t paintColour, int32_t maxFrames,
                 FrameChoice* chosen, std::string* error,
                 void (*afterFrame)(int32_t framesWritten)) {
    const size_t requests = report.refreshes.size();
    const FrameChoice& choice = *chosen = ChooseFrames(report, maxFrames);
    int32_t written = 0;
    const uint32_t outline = OutlineColourFor(paintColour);

    WindowScreen screen(samples, report);
    for (size_t k = 0; k < requests; ++k) {
        screen.Apply(k);
        if (!choice.chosen[k])
            continue;
        if (!files::WriteNewPng(
                files::Utf8FromPath(files::PathFromUtf8(dir) / FrameName(k, requests)),
                screen.Outlined(k, outline), error))
            return false;
        ++written;
        if (afterFrame != nullptr)
            afterFrame(written);
    }

    // Overview: cycling colours keep neighbouring rectangles apart. The rings may cover at most
    // a quarter of it; beyond that only every S-th request's, counted back from the last, so
    // that thousands of requests do not hide the paint.
    static const uint32_t OverviewColours[] = {0x00FFFF00u, 0x0000FFFFu, 0x0000FF00u, 0x00FF8000u,
                                               0x00FFFFFFu};
    picture_io::Picture overview = samples.result;
    size_t ringPixels = 0;
    for (size_t k = 0; k < requests; ++k)
        ringPixels += screen.OutlineLength(k);
    const size_t budget = std::max<size_t>(overview.pixels.size() / 4, 1);
    const size_t stride = std::max<size_t>((ringPixels + budget - 1) / budget, 1);
    for (size_t k = 0; k < requests; ++k)
        if ((requests - 1 - k) % stride == 0)
            screen.DrawOutline(k, OverviewColours[k % 5], &overview);
    return files::WriteNewPng(files::Utf8FromPath(files::PathFromUtf8(dir) / "overview.png"),
                              overview, error);
}

// ---- PendingFrames ---------------------------------------------------------------------------

namespace fs = std::filesystem;

static bool ListFolder(const std::string& dir, std::vector<std::string>* names,
                       std::string* error) {
    std::error_code failure;
    for (fs::directory_iterator it(files::PathFromUtf8(dir), failure);
         !failure && it != fs::directory_iterator(); it.increment(failure))
        names->push_back(files::Utf8FromPath(it->path().filename()));
    if (failure)
        *error = "cannot list " + command_line::Quoted(dir) + ": " + failure.message();
    return !failure;
}

static std::string In(const std::string& dir, const std::string& name) {
    return files::Utf8FromPath(files::PathFromUtf8(dir) / files::PathFromUtf8(name));
}

// A new folder in `dir` of an unpredictable name; empty when none could be made.
static std::string NewFolderIn(const std::string& dir, const char* suffix,
                               std::error_code* failure) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string folder = In(dir, files::UnpredictableName(".region_grow-", suffix));
        if (fs::create_directory(files::PathFromUtf8(folder), *failure))
            return folder;
        if (*failure)
            break;
    }
    if (!*failure)
        *failure = std::make_error_code(std::errc::file_exists);
    return std::string();
}

bool PendingFrames::Open(const std::string& dir, std::string* error) {
    dir_ = dir;
    std::error_code failure;
    for (fs::path p = files::PathFromUtf8(dir);
         !p.empty() && fs::symlink_status(p, failure).type() == fs::file_type::not_found;
         p = p.parent_path())
        created_ = files::Utf8FromPath(p);
    // Created and registered as one step, so that an interruption removes what was made.
    files::CleanupHold hold;
    if (!created_.empty()) {
        files::RegisterTemporary(created_);
        fs::create_directories(files::PathFromUtf8(dir), failure);
    }
    std::string staging = failure ? std::string() : NewFolderIn(dir, ".frames", &failure);
    if (staging.empty()) {
        if (!created_.empty()) {
            fs::remove_all(files::PathFromUtf8(created_), failure);
            files::UnregisterTemporary(created_);
            created_.clear();
        }
        *error = "cannot create frames directory " + command_line::Quoted(dir) + ": " +
                 (failure ? failure.message() : std::string("failed"));
        return false;
    }
    staging_ = staging;
    if (created_.empty())
        files::RegisterTemporary(staging_);
    return true;
}

std::string PendingFrames::InTermsOfFolder(const std::string& message) const {
    std::string text = message;
    if (!staging_.empty())
        for (size_t at; (at = text.find(staging_)) != std::string::npos;)
            text.replace(at, staging_.size(), dir_);
    return text;
}

// Every new frame must be able to take its name: a folder of that name (which is not a frame
// of an earlier run, so it stays) fails the run now, before any output is put in place.
bool PendingFrames::Ready(std::string* error) {
    if (staging_.empty())
        return true;
    std::vector<std::string> names;
    newNames_.clear();
    oldNames_.clear();
    if (!ListFolder(staging_, &newNames_, error) || !ListFolder(dir_, &names, error))
        return false;
    std::error_code failure;
    for (const std::string& name : names) {
        if (!files::IsFrameFileName(name))
            continue;
        if (fs::is_directory(fs::symlink_status(files::PathFromUtf8(In(dir_, name)), failure))) {
            if (std::find(newNames_.begin(), newNames_.end(), name) != newNames_.end()) {
                *error = "cannot write " + command_line::Quoted(In(dir_, name)) + ": " +
                         std::make_error_code(std::errc::is_a_directory).message();
                return false;
            }
            continue;
        }
        oldNames_.push_back(name);
    }
    return true;
}

// Only the names the frames take are replaced: a user's frame-mine.png or notes stay, and since
// the old frames all go, DIR never mixes two runs.
bool PendingFrames::Commit(std::string* error) {
    if (staging_.empty())
        return true;
    std::error_code failure;
    if (!oldNames_.empty()) {
        if (files::OutputStepFails())
            failure = std::error_code(errno, std::generic_category());
        else
            aside_ = NewFolderIn(dir_, ".old", &failure);
        if (aside_.empty()) {
            *error = "cannot write " + command_line::Quoted(dir_) + ": " + failure.message();
            return false;
        }
    }
    auto move = [&](const std::string& from, const std::string& to, const std::string& name) {
        if (files::OutputStepFails())
            failure = std::error_code(errno, std::generic_category());
        else
            fs::rename(files::PathFromUtf8(In(from, name)), files::PathFromUtf8(In(to, name)),
                       failure);
        if (failure)
            *error =
                "cannot write " + command_line::Quoted(In(dir_, name)) + ": " + failure.message();
        return !failure;
    };
    for (const std::string& name : oldNames_) {
        if (!move(dir_, aside_, name)) {
            Rollback();
            return false;
        }
        movedAside_.push_back(name);
    }
    for (const std::string& name : newNames_) {
        if (!move(staging_, dir_, name)) {
            Rollback();
            return false;
        }
        movedIn_.push_back(name);
    }
    committed_ = true;
    return true;
}

void PendingFrames::Rollback() {
    std::error_code ignored;
    for (const std::string& name : movedIn_)
        fs::rename(files::PathFromUtf8(In(dir_, name)), files::PathFromUtf8(In(staging_, name)),
                   ignored);
    for (const std::string& name : movedAside_)
        fs::rename(files::PathFromUtf8(In(aside_, name)), files::PathFromUtf8(In(dir_, name)),
                   ignored);
    movedIn_.clear();
    movedAside_.clear();
    committed_ = false;
}

void PendingFrames::Finish() {
    std::error_code ignored;
    if (!aside_.empty())
        fs::remove_all(files::PathFromUtf8(aside_), ignored);
    aside_.clear();
    if (!committed_)
        return; // the destructor removes what was made
    fs::remove_all(files::PathFromUtf8(staging_), ignored);
    files::UnregisterTemporary(created_.empty() ? staging_ : created_);
    staging_.clear();
    created_.clear();
    finished_ = true;
}

PendingFrames::~PendingFrames() {
    std::error_code ignored;
    if (!staging_.empty() && !finished_) {
        files::CleanupHold hold;
        fs::remove_all(files::PathFromUtf8(created_.empty() ? staging_ : created_), ignored);
        files::UnregisterTemporary(created_.empty() ? staging_ : created_);
    }
}

} // namespace growth_views
