#include "explore_run.h"

#include <filesystem>
#include <memory>
#include <new>
#include <system_error>

#include "interrupt_cleanup.h"

namespace growth_views {

namespace fs = std::filesystem;

bool Explore(const command_line::ToolOptions& options, const picture_io::Picture& picture,
             const std::vector<uint8_t>& startMask, Exploration* exploration, std::string* error) {
    exploration->width = picture.width;
    exploration->height = picture.height;
    exploration->seedX = options.clicks[0].x;
    exploration->seedY = options.clicks[0].y;
    exploration->stepText = options.stepText;
    exploration->step = ParseToleranceText(options.stepText.c_str());

    tolerance_explorer::ExplorerPicture view = {picture.pixels.data(),
                                                startMask.empty() ? nullptr : startMask.data(),
                                                picture.width, picture.height};
    size_t scratchBytes =
        tolerance_explorer::JoinToleranceScratchBytes(picture.width, picture.height);
    std::unique_ptr<uint32_t[]> scratch(new (std::nothrow)
                                            uint32_t[scratchBytes / sizeof(uint32_t) + 1]);
    try {
        exploration->map.resize(picture.pixels.size());
    } catch (const std::bad_alloc&) {
        scratch.reset();
    }
    if (scratch == nullptr || exploration->map.size() != picture.pixels.size()) {
        *error = "--explore: not enough memory for the " + std::to_string(picture.width) + "x" +
                 std::to_string(picture.height) + " picture's map";
        return false;
    }
    auto pass = [&](const std::string& seedText, GrowthCurve* curve) {
        curve->seedText = seedText;
        tolerance_explorer::JoinToleranceStatus status = ComputeJoinTolerances(
            &view, exploration->seedX, exploration->seedY, ParseToleranceText(seedText.c_str()),
            scratch.get(), scratchBytes, exploration->map.data(), curve->pixels);
        if (status != tolerance_explorer::JoinToleranceDone)
            *error = "--explore: the click cannot be explored (status " +
                     std::to_string(int(status)) + ")";
        return status == tolerance_explorer::JoinToleranceDone;
    };
    // The other seed tolerances first, so that the map left behind is the click's own.
    const std::vector<int32_t>& seeds = options.exploreSeeds;
    exploration->otherCurves.resize(seeds.size());
    for (size_t i = 0; i < seeds.size(); ++i)
        if (!pass(std::to_string(seeds[i]), &exploration->otherCurves[i]))
            return false;
    return pass(options.seedText, &exploration->curve);
}

std::string PendingExploration::PathOf(const char* name) const {
    return (fs::path(dir_) / name).string();
}

bool PendingExploration::Open(const std::string& dir, std::string* error) {
    dir_ = dir;
    std::error_code failure;
    fs::file_status status = fs::status(dir, failure);
    if (fs::exists(status) && !fs::is_directory(status)) {
        *error = "--explore " + command_line::Quoted(dir) + " is not a folder";
        return false;
    }
    if (!fs::exists(status)) {
        // The outermost folder that does not exist yet is the one to remove on failure.
        fs::path outermost = fs::absolute(dir, failure);
        while (outermost.has_parent_path() && outermost.parent_path() != outermost &&
               !fs::exists(outermost.parent_path(), failure))
            outermost = outermost.parent_path();
        files::CleanupHold hold;
        if (!fs::create_directories(dir, failure) || failure) {
            *error = "cannot create --explore folder " + command_line::Quoted(dir) + ": " +
                     failure.message();
            return false;
        }
        created_ = outermost.string();
        files::RegisterTemporary(created_);
    }
    for (size_t i = 0; i < 4; ++i)
        if (!Files[i]->Open(PathOf(files::ExploreFileNames[i]), error))
            return false;
    opened_ = true;
    return true;
}

bool PendingExploration::Write(Exploration* exploration, const std::vector<uint32_t>& picture,
                               std::string* error) {
    if (!map_.WritePng(DrawToleranceMap(*exploration, picture), error))
        return false;
    // tolerances.png is the map as 16-bit grey samples: lent to the picture, not copied.
    picture_io::Picture tolerances;
    tolerances.width = exploration->width;
    tolerances.height = exploration->height;
    tolerances.grey = true;
    tolerances.deep.swap(exploration->map);
    const bool written = tolerances_.WritePng(tolerances, error);
    tolerances.deep.swap(exploration->map);
    if (!written)
        return false;
    WriteGrowthTable(table_.File(), *exploration);
    WriteGrowthPlot(plot_.File(), *exploration);
    return true;
}

bool PendingExploration::Ready(std::string* error) {
    for (files::PendingFile* file : Files)
        if (opened_ && !file->Ready(error))
            return false;
    return true;
}

bool PendingExploration::Send(std::string* error) {
    for (files::PendingFile* file : Files)
        if (opened_ && !file->Send(error))
            return false;
    return true;
}

bool PendingExploration::Commit(std::string* error) {
    if (!opened_)
        return true;
    for (size_t i = 0; i < 4; ++i)
        if (!Files[i]->Commit(error)) {
            while (i-- > 0)
                Files[i]->Rollback();
            return false;
        }
    return true;
}

void PendingExploration::Rollback() {
    if (opened_)
        for (files::PendingFile* file : Files)
            file->Rollback();
}

void PendingExploration::Finish() {
    if (!opened_)
        return;
    for (files::PendingFile* file : Files)
        file->Finish();
    if (!created_.empty()) {
        files::CleanupHold hold;
        files::UnregisterTemporary(created_);
        created_.clear(); // the folder is the user's now
    }
}

PendingExploration::~PendingExploration() {
    if (created_.empty())
        return;
    // Never put in place: the folder this run made goes, with what the run put in it. The
    // files' own staging is removed by their destructors, which run after this one.
    files::CleanupHold hold;
    std::error_code ignored;
    fs::remove_all(created_, ignored);
    files::UnregisterTemporary(created_);
}

} // namespace growth_views
