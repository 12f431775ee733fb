// region_grow - applies the RegionGrowing tool to a picture from the command line.
//
// A host for one job: it loads the picture and the plug-in, stores the two tolerance texts
// where the host's parameter store keeps them, calls VXcDrawIt once per click, and writes the
// result, the optional frames and record, and a one-line summary. Usage: region_grow --help
// (ToolUsage, tool_options.cpp).
//
// Its exit codes are those --help lists. Every failure prints one line on stderr (when it is
// open) and leaves every output as it was (output_files.h).
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "recorded_user32.h"
#else
#include <limits.h>
#include <unistd.h>
#endif

#include "explore_run.h"
#include "fill_run.h"
#include "image_files.h"
#include "interrupt_cleanup.h"
#include "memory_exhaustion.h"
#include "output_files.h"
#include "picture_checks.h"
#include "picture_input.h"
#include "plugin_loader.h"
#include "program_messages.h"
#include "progress.h"
#include "run_summary.h"
#include "tool_options.h"
#include "tool_paths.h"
#include "utf8_files.h"
#include "window_animation.h"
#include "window_frames.h"

namespace region_grow {

#ifdef _WIN32
static const char PluginFileName[] = "PAINT.DLL";
#else
static const char PluginFileName[] = "paint.so";
#endif

// The plug-in next to the tool; failing that, the one this tool was built with.
static std::string DefaultPluginPath() {
    std::filesystem::path beside = files::ExecutableFolder() / PluginFileName;
    std::error_code ignored;
#ifdef VX_BUILT_PLUGIN_PATH
    if (!std::filesystem::exists(beside, ignored) &&
        std::filesystem::exists(VX_BUILT_PLUGIN_PATH, ignored))
        return VX_BUILT_PLUGIN_PATH;
#endif
    return files::Utf8FromPath(beside);
}

// The plug-in `given` names, as a file; messages name that file.
static bool LoadPluginFile(const std::string& given, host_model::LoadedPlugin* plugin,
                           std::string* error) {
    std::string path;
    if (!files::PluginFilePath(given, &path, error))
        return false;
    if (host_model::LoadPlugin(path, plugin, error))
        return true;
    // The loader's reason, without its own prefix (a lacking export is named as such).
    size_t lacks = error->find("lacks the export");
    size_t last = error->rfind(": ");
    std::string reason = lacks != std::string::npos  ? "it " + error->substr(lacks)
                         : last != std::string::npos ? error->substr(last + 2)
                                                     : *error;
    *error = "cannot load plug-in " + command_line::Quoted(given) + ": " + reason;
    return false;
}

// Every file a run writes, each staged until all are complete (output_files.h).
struct StagedOutputs {
    files::PendingFile output, record, beforeAfter, animation;
    growth_views::PendingFrames frames;
    growth_views::PendingExploration exploration;
};

// Writes every output into its staging, the result last, in place (its pixel words become
// its PNG rows), with the paint epochs released first.
static bool WriteOutputs(const command_line::ToolOptions& options,
                         growth_views::AnimationFormat animationFormat,
                         const growth_views::WindowSamples& samples,
                         const picture_io::Picture& before, picture_io::Picture&& result,
                         run_records::FillReport* report, StagedOutputs* staged,
                         growth_views::FrameChoice* framesChosen, std::string* error) {
    if (!options.framesDir.empty()) {
        ProgressPhase("writing frames");
        if (!growth_views::WriteFrames(staged->frames.Folder(), samples, *report,
                                       options.paintColour, options.maxFrames, framesChosen, error,
                                       ProgressFramesWritten))
            return false;
    }
    if (!options.animationPath.empty()) {
        ProgressPhase("writing the animation");
        if (!growth_views::WriteAnimation(staged->animation.File(), options.animationPath,
                                          animationFormat, samples, *report, options.paintColour,
                                          error))
            return false;
    }
    if (!options.recordPath.empty())
        run_records::WriteRecord(staged->record.File(), options.clicks, *report, result.width);
    report->painted.ReleaseEpochs();
    if (!options.beforeAfterPath.empty()) {
        ProgressPhase("writing the before/after picture");
        if (!staged->beforeAfter.WritePng(files::SideBySide(before, result, 8, 0x00FFFFFFu), error))
            return false;
    }
    if (options.outputPath.empty())
        return true; // --explore without -o
    ProgressPhase("writing the result");
    return staged->output.WritePng(std::move(result), error);
}

// --help: the usage on standard output, which must take it whole.
static int PrintUsage() {
    fputs(command_line::ToolUsage, stdout);
    if (fflush(stdout) != 0 || ferror(stdout) || files::StandardDescriptorClosed(1))
        return command_line::Fail(1,
                                  std::string("cannot write the usage to standard output: ") +
                                      strerror(files::StandardDescriptorClosed(1) ? EBADF : errno));
    return 0;
}

// What the command line asks of the outputs, checked before any picture is read: the
// animation's format, the file each output names, that none clashes with another or with an
// input (but -o IN: *editsInput), that their names say their formats, and that they may be
// written. Returns 0, or the exit status with the reason in *error.
static int CheckOutputRequests(const command_line::ToolOptions& options,
                               const std::string& pluginPath,
                               growth_views::AnimationFormat* animationFormat,
                               std::vector<files::NamedOutput>* targets, bool* editsInput,
                               std::string* error) {
    if (!options.animationPath.empty() &&
        !growth_views::AnimationFormatFor(options.animationPath, animationFormat, error))
        return 2;
    if (!files::ResolveOutputs(options, targets, error))
        return 1;
    if (!files::CheckOutputsApart(options, *targets, error) ||
        !files::CheckOutputsSpareInputs(options, pluginPath, *targets, editsInput, error) ||
        !files::CheckOutputNames(*targets, error))
        return 2;
    if (!files::CheckOutputsWritable(*targets, error))
        return 1;
    if (!options.animationPath.empty() && !growth_views::AnimationAvailable()) {
        *error = "--animation: animated pictures are not available in this build";
        return 1;
    }
    return 0;
}

// The input picture and the --drawn mask, decoded once their headers pass the checks; with
// -o naming the input, only a PNG input, which the result then replaces. Returns 0, or the
// exit status with the reason in *error.
static int ReadPictures(const command_line::ToolOptions& options, bool editsInput,
                        picture_io::Picture* input, std::vector<uint8_t>* startMask,
                        std::string* error) {
    files::PictureReader inputFile, maskFile;
    if (int status = CheckPicturesBeforeDecoding(options, &inputFile, &maskFile, error))
        return status;
    if (editsInput && inputFile.Header().format != picture_io::Format::Png) {
        *error = "-o " + command_line::Quoted(options.outputPath) + " and the input " +
                 command_line::Quoted(options.inputPath) +
                 " name the same file: only a PNG input (this one is " +
                 picture_io::FormatName(inputFile.Header().format) + ") is replaced by its result";
        return 2;
    }
    ExitCleanlyWhenMemoryRunsOut(inputFile.Header().width, inputFile.Header().height);
    if (!inputFile.Decode(input, error) || !LoadDrawnMask(&maskFile, *input, startMask, error))
        return 1;
    return 0;
}

// Opens every output before the work, so that one that cannot be written fails early.
static bool OpenOutputs(const command_line::ToolOptions& options,
                        const std::vector<files::NamedOutput>& targets, StagedOutputs* staged,
                        std::string* error) {
    if (!options.exploreDir.empty() && !staged->exploration.Open(options.exploreDir, error))
        return false;
    const std::pair<std::string, files::PendingFile*> files[] = {
        {"-o", &staged->output},
        {"--record", &staged->record},
        {"--before-after", &staged->beforeAfter},
        {"--animation", &staged->animation}};
    for (const files::NamedOutput& target : targets)
        for (const auto& [option, file] : files)
            if (option == target.option && !file->Open(target.given, target.target, error))
                return false;
    return options.framesDir.empty() || staged->frames.Open(options.framesDir, error);
}

// The plug-in file `pluginPath` (--plugin, or the one beside the tool).
static bool LoadToolPlugin(const std::string& pluginPath, host_model::LoadedPlugin* plugin,
                           std::string* error) {
    if (!LoadPluginFile(pluginPath, plugin, error))
        return false;
#ifdef _WIN32
    // The DLL's cursor and message-box calls go to the tool host, as in the Windows test host
    // to the simulated host: kept, and no box waits for a click.
    int redirected = window_system::RecordUser32CallsOf(static_cast<HMODULE>(plugin->library));
    if (redirected != window_system::RecordedUser32Calls) {
        *error = "only " + std::to_string(redirected) + " of the " +
                 std::to_string(int(window_system::RecordedUser32Calls)) + " user32 imports of " +
                 pluginPath + " found";
        return false;
    }
#endif
    return true;
}

// --explore: what every step tolerance paints, written to its staged folder. The explorer
// sees the picture as the host shows it at the click, before the fill.
static bool ExploreTolerances(const command_line::ToolOptions& options,
                              const picture_io::Picture& input,
                              const std::vector<uint8_t>& startMask,
                              growth_views::PendingExploration* exploration,
                              growth_views::Exploration* explored, std::string* error) {
    ProgressPhase("exploring the tolerances");
    if (!growth_views::Explore(options, input, startMask, explored, error) ||
        !exploration->Write(explored, input.pixels, error))
        return false;
    explored->map = std::vector<uint16_t>(); // only the curves are needed from here on
    return true;
}

// The clicks, one after the other, in a tool host that takes the picture over; returns
// the painted picture. Only what the outputs need of the input is kept: its samples at frame
// scale in *samples (for frames or an animation), and a copy in *before for the before/after
// picture.
static picture_io::Picture
ApplyClicks(const command_line::ToolOptions& options, const host_model::LoadedPlugin& plugin,
            picture_io::Picture&& input, const std::vector<uint8_t>& startMask,
            growth_views::WindowSamples* samples, picture_io::Picture* before,
            run_records::FillReport* report) {
    const bool window = !options.framesDir.empty() || !options.animationPath.empty();
    if (window)
        growth_views::SampleInput(input, options.frameWidth, samples);
    if (!options.beforeAfterPath.empty()) {
        before->width = input.width;
        before->height = input.height;
        before->pixels = input.pixels;
        before->hasAlpha = input.hasAlpha;
        before->grey = input.grey;
        before->colour = input.colour;
    }
    tool_host::ToolHost host;
    tool_host::PrepareToolHost(options, input.width, input.height, std::move(input.pixels), &host);
    // Painted pixels are opaque; the plug-in never looks at the alpha bits.
    host.paintColour |= input.hasAlpha ? picture_io::OpaqueAlpha : 0;
    report->keepEpochs = window;
    report->keepRefreshes = window || !options.recordPath.empty();
    ProgressStart(command_line::ProgramName().c_str(), options.clicks.size());
    tool_host::RunClicks(&host, plugin, options.clicks, startMask, report, ProgressClicksDone);
    // The result is the input painted: its 8-bit words from the host, and what the file said
    // beyond them (the 16-bit samples, grey, the colour chunks) kept true to the paint.
    picture_io::Picture result = std::move(input);
    result.pixels = std::move(host.pixels);
    host.Reset(0, 0);
    picture_io::PaintDeep(&result, report->painted.bits, options.paintColour);
    if (window)
        growth_views::SampleResult(result.pixels, *report, samples);
    return result;
}

// One run of the tool on the command line `arguments` (without the program name); returns its
// exit status.
static int RunTool(const std::vector<std::string>& arguments) {
    command_line::ToolOptions options;
    std::string error;
    if (!command_line::ParseToolOptions(arguments, &options, &error))
        return command_line::Fail(2, error + " (see --help)");
    if (options.help)
        return PrintUsage();
    const std::string pluginPath =
        options.pluginPath.empty() ? DefaultPluginPath() : options.pluginPath;
    growth_views::AnimationFormat animationFormat = growth_views::AnimationFormat::WebP;
    std::vector<files::NamedOutput> targets;
    bool editsInput = false;
    if (int status = CheckOutputRequests(options, pluginPath, &animationFormat, &targets,
                                         &editsInput, &error))
        return command_line::Fail(status, error);
    // The summary's stream must be open, or the run would end without saying what it did.
    const bool summaryToStandardError = files::WritesToStandardOutput(targets);
    if (files::StandardDescriptorClosed(summaryToStandardError ? 2 : 1))
        return command_line::Fail(1, std::string("cannot write the summary: standard ") +
                                         (summaryToStandardError ? "error" : "output") +
                                         " is closed");

    picture_io::Picture input;
    std::vector<uint8_t> startMask;
    if (int status = ReadPictures(options, editsInput, &input, &startMask, &error))
        return command_line::Fail(status, error);
    const int orientation = input.orientation;
    StagedOutputs staged;
    host_model::LoadedPlugin plugin;
    if (!OpenOutputs(options, targets, &staged, &error) ||
        !LoadToolPlugin(pluginPath, &plugin, &error))
        return command_line::Fail(1, error);

    growth_views::Exploration explored;
    if (!options.exploreDir.empty() &&
        !ExploreTolerances(options, input, startMask, &staged.exploration, &explored, &error))
        return command_line::Fail(1, error);

    growth_views::WindowSamples samples;
    picture_io::Picture before;
    run_records::FillReport report;
    picture_io::Picture result =
        ApplyClicks(options, plugin, std::move(input), startMask, &samples, &before, &report);
    growth_views::FrameChoice framesChosen;
    bool written = WriteOutputs(options, animationFormat, samples, before, std::move(result),
                                &report, &staged, &framesChosen, &error);
    // All is written; now every output is put in place, or none (the frames first: theirs is
    // the longest step). The summary is the last stream sent, before any file is put in place.
    if (written) {
        ProgressPhase("putting the outputs in place");
        PendingSummary summary(
            summaryToStandardError ? stderr : stdout,
            SummaryLines(options, report, options.framesDir.empty() ? nullptr : &framesChosen,
                         options.exploreDir.empty() ? nullptr : &explored, orientation));
        written = files::CommitTogether({&staged.frames, &staged.record, &staged.beforeAfter,
                                         &staged.animation, &staged.output, &staged.exploration,
                                         &summary},
                                        &error);
    }
    ProgressEnd();
    if (!written)
        return command_line::Fail(1, staged.frames.InTermsOfFolder(error));
    return run_records::FirstBufferOverClick(report) < 0 ? 0 : 3;
}

// --batch FILE: each line of FILE is one run's command line, its arguments separated by tabs,
// run in this one process (where starting a process is slow, as under an emulator). After each
// run "batch line N: status S" goes to standard output, once what the run wrote is out. Exit
// status 0 when every line ran, whatever their statuses; 1 when FILE cannot be read.
static int RunBatch(const std::string& path) {
    std::vector<files::BatchLine> lines;
    std::string error;
    if (!files::ReadBatchFile(path, &lines, &error))
        return command_line::Fail(1, error);
    for (const files::BatchLine& line : lines) {
        ReportBatchLine(line, RunTool(line.arguments));
    }
    return 0;
}

} // namespace region_grow

int main(int argc, char** argv) {
    files::GuardStandardDescriptors();
    if (argc > 0)
        command_line::SetProgramName(std::filesystem::path(argv[0]).stem().string());
    region_grow::ExitCleanlyOnUncaughtFailure(command_line::ProgramName());
    files::StartInterruptCleanup();
    std::vector<std::string> arguments = files::Utf8Arguments(argc, argv);
    if (arguments.size() == 2 && arguments[0] == "--batch")
        return region_grow::RunBatch(arguments[1]);
    return region_grow::RunTool(arguments);
}
