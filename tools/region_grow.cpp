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

#include "windows_host/recorded_user32.h"
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
#include "program_messages.h"
#include "progress.h"
#include "run_summary.h"
#include "simulated_host/plugin_loader.h"
#include "tool_options.h"
#include "tool_paths.h"
#include "utf8_files.h"
#include "window_animation.h"
#include "window_frames.h"

#ifdef _WIN32
static const char PluginFileName[] = "PAINT.DLL";
#else
static const char PluginFileName[] = "paint.so";
#endif

// The plug-in next to the tool; failing that, the one this tool was built with.
static std::string DefaultPluginPath() {
    std::filesystem::path beside = ExecutableFolder() / PluginFileName;
    std::error_code ignored;
#ifdef VX_BUILT_PLUGIN_PATH
    if (!std::filesystem::exists(beside, ignored) &&
        std::filesystem::exists(VX_BUILT_PLUGIN_PATH, ignored))
        return VX_BUILT_PLUGIN_PATH;
#endif
    return Utf8FromPath(beside);
}

// The plug-in `given` names, as a file; messages name that file.
static bool LoadPluginFile(const std::string& given, LoadedPlugin* plugin, std::string* error) {
    std::string path;
    if (!PluginFilePath(given, &path, error))
        return false;
    if (LoadPlugin(path, plugin, error))
        return true;
    // The loader's reason, without its own prefix (a lacking export is named as such).
    size_t lacks = error->find("lacks the export");
    size_t last = error->rfind(": ");
    std::string reason = lacks != std::string::npos  ? "it " + error->substr(lacks)
                         : last != std::string::npos ? error->substr(last + 2)
                                                     : *error;
    *error = "cannot load plug-in " + Quoted(given) + ": " + reason;
    return false;
}

// Every file a run writes, each staged until all are complete (output_files.h).
struct StagedOutputs {
    PendingFile output, record, beforeAfter, animation;
    PendingFrames frames;
    PendingExploration exploration;
};

// Writes every output into its staging, the result last, in place (its pixel words become
// its PNG rows), with the paint epochs released first.
static bool WriteOutputs(const ToolOptions& options, AnimationFormat animationFormat,
                         const WindowSamples& samples, const picture_io::Picture& before,
                         picture_io::Picture&& result, FillReport* report, StagedOutputs* staged,
                         FrameChoice* framesChosen, std::string* error) {
    if (!options.framesDir.empty()) {
        ProgressPhase("writing frames");
        if (!WriteFrames(staged->frames.Folder(), samples, *report, options.paintColour,
                         options.maxFrames, framesChosen, error, ProgressFramesWritten))
            return false;
    }
    if (!options.animationPath.empty()) {
        ProgressPhase("writing the animation");
        if (!WriteAnimation(staged->animation.File(), options.animationPath, animationFormat,
                            samples, *report, options.paintColour, error))
            return false;
    }
    if (!options.recordPath.empty())
        WriteRecord(staged->record.File(), options.clicks, *report, result.width);
    report->painted.ReleaseEpochs();
    if (!options.beforeAfterPath.empty()) {
        ProgressPhase("writing the before/after picture");
        if (!staged->beforeAfter.WritePng(SideBySide(before, result, 8, 0x00FFFFFFu), error))
            return false;
    }
    if (options.outputPath.empty())
        return true; // --explore without -o
    ProgressPhase("writing the result");
    return staged->output.WritePng(std::move(result), error);
}

// --help: the usage on standard output, which must take it whole.
static int PrintUsage() {
    fputs(ToolUsage, stdout);
    if (fflush(stdout) != 0 || ferror(stdout) || StandardDescriptorClosed(1))
        return Fail(1, std::string("cannot write the usage to standard output: ") +
                           strerror(StandardDescriptorClosed(1) ? EBADF : errno));
    return 0;
}

// What the command line asks of the outputs, checked before any picture is read: the
// animation's format, the file each output names, that none clashes with another or with an
// input (but -o IN: *editsInput), that their names say their formats, and that they may be
// written. Returns 0, or the exit status with the reason in *error.
static int CheckOutputRequests(const ToolOptions& options, const std::string& pluginPath,
                               AnimationFormat* animationFormat, std::vector<NamedOutput>* targets,
                               bool* editsInput, std::string* error) {
    if (!options.animationPath.empty() &&
        !AnimationFormatFor(options.animationPath, animationFormat, error))
        return 2;
    if (!ResolveOutputs(options, targets, error))
        return 1;
    if (!CheckOutputsApart(options, *targets, error) ||
        !CheckOutputsSpareInputs(options, pluginPath, *targets, editsInput, error) ||
        !CheckOutputNames(*targets, error))
        return 2;
    if (!CheckOutputsWritable(*targets, error))
        return 1;
    if (!options.animationPath.empty() && !AnimationAvailable()) {
        *error = "--animation: animated pictures are not available in this build";
        return 1;
    }
    return 0;
}

// The input picture and the --drawn mask, decoded once their headers pass the checks; with
// -o naming the input, only a PNG input, which the result then replaces. Returns 0, or the
// exit status with the reason in *error.
static int ReadPictures(const ToolOptions& options, bool editsInput, picture_io::Picture* input,
                        std::vector<uint8_t>* startMask, std::string* error) {
    PictureReader inputFile, maskFile;
    if (int status = CheckPicturesBeforeDecoding(options, &inputFile, &maskFile, error))
        return status;
    if (editsInput && inputFile.Header().format != picture_io::Format::Png) {
        *error = "-o " + Quoted(options.outputPath) + " and the input " +
                 Quoted(options.inputPath) + " name the same file: only a PNG input (this one is " +
                 picture_io::FormatName(inputFile.Header().format) + ") is replaced by its result";
        return 2;
    }
    ExitCleanlyWhenMemoryRunsOut(inputFile.Header().width, inputFile.Header().height);
    if (!inputFile.Decode(input, error) || !LoadDrawnMask(&maskFile, *input, startMask, error))
        return 1;
    return 0;
}

// Opens every output before the work, so that one that cannot be written fails early.
static bool OpenOutputs(const ToolOptions& options, const std::vector<NamedOutput>& targets,
                        StagedOutputs* staged, std::string* error) {
    if (!options.exploreDir.empty() && !staged->exploration.Open(options.exploreDir, error))
        return false;
    const std::pair<std::string, PendingFile*> files[] = {{"-o", &staged->output},
                                                          {"--record", &staged->record},
                                                          {"--before-after", &staged->beforeAfter},
                                                          {"--animation", &staged->animation}};
    for (const NamedOutput& target : targets)
        for (const auto& [option, file] : files)
            if (option == target.option && !file->Open(target.given, target.target, error))
                return false;
    return options.framesDir.empty() || staged->frames.Open(options.framesDir, error);
}

// The plug-in file `pluginPath` (--plugin, or the one beside the tool).
static bool LoadToolPlugin(const std::string& pluginPath, LoadedPlugin* plugin,
                           std::string* error) {
    if (!LoadPluginFile(pluginPath, plugin, error))
        return false;
#ifdef _WIN32
    // The DLL's cursor and message-box calls go to the tool host, as in the Windows test host
    // to the simulated host: kept, and no box waits for a click.
    int redirected = RecordUser32CallsOf(static_cast<HMODULE>(plugin->library));
    if (redirected != RecordedUser32Calls) {
        *error = "only " + std::to_string(redirected) + " of the " +
                 std::to_string(int(RecordedUser32Calls)) + " user32 imports of " + pluginPath +
                 " found";
        return false;
    }
#endif
    return true;
}

// --explore: what every step tolerance paints, written to its staged folder. The explorer
// sees the picture as the host shows it at the click, before the fill.
static bool ExploreTolerances(const ToolOptions& options, const picture_io::Picture& input,
                              const std::vector<uint8_t>& startMask,
                              PendingExploration* exploration, Exploration* explored,
                              std::string* error) {
    ProgressPhase("exploring the tolerances");
    if (!Explore(options, input, startMask, explored, error) ||
        !exploration->Write(explored, input.pixels, error))
        return false;
    explored->map = std::vector<uint16_t>(); // only the curves are needed from here on
    return true;
}

// The clicks, one after the other, in a tool host that takes the picture over; returns
// the painted picture. Only what the outputs need of the input is kept: its samples at frame
// scale in *samples (for frames or an animation), and a copy in *before for the before/after
// picture.
static picture_io::Picture ApplyClicks(const ToolOptions& options, const LoadedPlugin& plugin,
                                       picture_io::Picture&& input,
                                       const std::vector<uint8_t>& startMask,
                                       WindowSamples* samples, picture_io::Picture* before,
                                       FillReport* report) {
    const bool window = !options.framesDir.empty() || !options.animationPath.empty();
    if (window)
        SampleInput(input, options.frameWidth, samples);
    if (!options.beforeAfterPath.empty()) {
        before->width = input.width;
        before->height = input.height;
        before->pixels = input.pixels;
        before->hasAlpha = input.hasAlpha;
        before->grey = input.grey;
        before->colour = input.colour;
    }
    ToolHost host;
    PrepareToolHost(options, input.width, input.height, std::move(input.pixels), &host);
    // Painted pixels are opaque; the plug-in never looks at the alpha bits.
    host.paintColour |= input.hasAlpha ? picture_io::OpaqueAlpha : 0;
    report->keepEpochs = window;
    report->keepRefreshes = window || !options.recordPath.empty();
    ProgressStart(ProgramName().c_str(), options.clicks.size());
    RunClicks(&host, plugin, options.clicks, startMask, report, ProgressClicksDone);
    // The result is the input painted: its 8-bit words from the host, and what the file said
    // beyond them (the 16-bit samples, grey, the colour chunks) kept true to the paint.
    picture_io::Picture result = std::move(input);
    result.pixels = std::move(host.pixels);
    host.Reset(0, 0);
    picture_io::PaintDeep(&result, report->painted.bits, options.paintColour);
    if (window)
        SampleResult(result.pixels, *report, samples);
    return result;
}

// One run of the tool on the command line `arguments` (without the program name); returns its
// exit status.
static int RunTool(const std::vector<std::string>& arguments) {
    ToolOptions options;
    std::string error;
    if (!ParseToolOptions(arguments, &options, &error))
        return Fail(2, error + " (see --help)");
    if (options.help)
        return PrintUsage();
    const std::string pluginPath =
        options.pluginPath.empty() ? DefaultPluginPath() : options.pluginPath;
    AnimationFormat animationFormat = AnimationFormat::WebP;
    std::vector<NamedOutput> targets;
    bool editsInput = false;
    if (int status = CheckOutputRequests(options, pluginPath, &animationFormat, &targets,
                                         &editsInput, &error))
        return Fail(status, error);
    // The summary's stream must be open, or the run would end without saying what it did.
    const bool summaryToStandardError = WritesToStandardOutput(targets);
    if (StandardDescriptorClosed(summaryToStandardError ? 2 : 1))
        return Fail(1, std::string("cannot write the summary: standard ") +
                           (summaryToStandardError ? "error" : "output") + " is closed");

    picture_io::Picture input;
    std::vector<uint8_t> startMask;
    if (int status = ReadPictures(options, editsInput, &input, &startMask, &error))
        return Fail(status, error);
    const int orientation = input.orientation;
    StagedOutputs staged;
    LoadedPlugin plugin;
    if (!OpenOutputs(options, targets, &staged, &error) ||
        !LoadToolPlugin(pluginPath, &plugin, &error))
        return Fail(1, error);

    Exploration explored;
    if (!options.exploreDir.empty() &&
        !ExploreTolerances(options, input, startMask, &staged.exploration, &explored, &error))
        return Fail(1, error);

    WindowSamples samples;
    picture_io::Picture before;
    FillReport report;
    picture_io::Picture result =
        ApplyClicks(options, plugin, std::move(input), startMask, &samples, &before, &report);
    FrameChoice framesChosen;
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
        written = CommitTogether({&staged.frames, &staged.record, &staged.beforeAfter,
                                  &staged.animation, &staged.output, &staged.exploration, &summary},
                                 &error);
    }
    ProgressEnd();
    if (!written)
        return Fail(1, staged.frames.InTermsOfFolder(error));
    return FirstBufferOverClick(report) < 0 ? 0 : 3;
}

// --batch FILE: each line of FILE is one run's command line, its arguments separated by tabs,
// run in this one process (where starting a process is slow, as under an emulator). After each
// run "batch line N: status S" goes to standard output, once what the run wrote is out. Exit
// status 0 when every line ran, whatever their statuses; 1 when FILE cannot be read.
static int RunBatch(const std::string& path) {
    std::vector<BatchLine> lines;
    std::string error;
    if (!ReadBatchFile(path, &lines, &error))
        return Fail(1, error);
    for (const BatchLine& line : lines) {
        ReportBatchLine(line, RunTool(line.arguments));
    }
    return 0;
}

int main(int argc, char** argv) {
    GuardStandardDescriptors();
    if (argc > 0)
        SetProgramName(std::filesystem::path(argv[0]).stem().string());
    ExitCleanlyOnUncaughtFailure(ProgramName());
    StartInterruptCleanup();
    std::vector<std::string> arguments = Utf8Arguments(argc, argv);
    if (arguments.size() == 2 && arguments[0] == "--batch")
        return RunBatch(arguments[1]);
    return RunTool(arguments);
}
