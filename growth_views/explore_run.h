// explore_run.h - `region_grow --explore DIR`: the tolerance explorer for the one click, before
// the fill, and its four files (explore_outputs.h) written like every other output: opened before
// any work, written to temporary files in DIR and renamed into place at the end.
//
// DIR is created when missing (and removed again if the run fails or is interrupted). The map is
// computed from the picture as the host shows it at the click, with the click's drawn flags, and
// takes about 4 bytes a pixel; --explore-seeds adds one pass per seed tolerance listed, reusing
// the same memory.
#ifndef GROWTH_VIEWS_EXPLORE_RUN_H
#define GROWTH_VIEWS_EXPLORE_RUN_H

#include <string>
#include <vector>

#include "explore_outputs.h"
#include "image_files.h"
#include "output_files.h"
#include "tool_options.h"

namespace growth_views {

// Computes the exploration for options.clicks[0] on `picture` (0x??RRGGBB words) with the
// starting mask (empty: all clear). False with a reason when memory runs short.
bool Explore(const command_line::ToolOptions& options, const picture_io::Picture& picture,
             const std::vector<uint8_t>& startMask, Exploration* exploration, std::string* error);

// The four files as one staged output (output_files.h): put in place with the run's other
// outputs, or not at all.
class PendingExploration : public files::StagedOutput {
  public:
    bool Open(const std::string& dir, std::string* error);
    // Writes the four files, each into its staging.
    // The map of `exploration` is lent to tolerances.png's writer and given back.
    bool Write(Exploration* exploration, const std::vector<uint32_t>& picture, std::string* error);

    bool Ready(std::string* error) override;
    bool Send(std::string* error) override;
    bool Commit(std::string* error) override;
    void Rollback() override;
    void Finish() override;
    ~PendingExploration() override;

  private:
    files::PendingFile tolerances_, map_, table_, plot_;
    std::string dir_, created_; // created_: the outermost folder Open() made
    bool opened_ = false;
    std::string PathOf(const char* name) const;
    files::PendingFile* Files[4] = {&tolerances_, &map_, &table_, &plot_};
};

} // namespace growth_views

#endif
