// region_grow - applies the RegionGrowing tool to a picture from the command line.
//
// A host for one job: it loads the picture and the plug-in, stores the two tolerance texts
// where the host's parameter store keeps them, calls VXcDrawIt once per click, and writes the
// result, the optional frames and record, and a one-line summary. Usage: tool_options.h.
//
// Exit codes: 0 done, 1 a file or the plug-in could not be read or written (a closed pipe or
// standard output included), 2 a malformed command line, a click outside the picture or
// outputs that clash, 3 done but a fill stopped on "Buffer over" (every output is written),
// 130/143/129 interrupted by SIGINT/SIGTERM/SIGHUP. Every failure prints one line on stderr
// (when it is open) and leaves every output as it was (output_files.h).
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
#include "progress.h"
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

static std::string ProgramName = "region_grow";

static int Fail(int code, const std::string& message) {
    fprintf(stderr, "%s: %s\n", ProgramName.c_str(), message.c_str());
    return code;
}

static std::filesystem::path ExecutableDirectory() {
#ifdef _WIN32
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::filesystem::path(std::string(path, length)).parent_path();
#else
    std::error_code ignored;
    return std::filesystem::read_symlink("/proc/self/exe", ignored).parent_path();
#endif
}

// The plug-in next to the tool; failing that, the one this tool was built with.
static std::string DefaultPluginPath() {
    std::filesystem::path beside = ExecutableDirectory() / PluginFileName;
    std::error_code ignored;
#ifdef VX_BUILT_PLUGIN_PATH
    if (!std::filesystem::exists(beside, ignored) &&
        std::filesystem::exists(VX_BUILT_PLUGIN_PATH, ignored))
        return VX_BUILT_PLUGIN_PATH;
#endif
    return beside.string();
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

static std::string Summary(const ToolOptions& options, const FillReport& report,
                           const FramesWritten* frames) {
    int32_t overflow = FirstBufferOverClick(report);
    char line[512];
    snprintf(line, sizeof line,
             "%zu click%s, %llu pixels painted, %llu expansions, %llu refresh requests, "
             "stopped on \"Buffer over\": %s, %.1f ms",
             options.clicks.size(), options.clicks.size() == 1 ? "" : "s",
             (unsigned long long)report.paintedPixels, (unsigned long long)report.expansions,
             (unsigned long long)report.refreshCount,
             overflow < 0 ? "no" : ("yes (click " + std::to_string(overflow + 1) + ")").c_str(),
             report.seconds * 1000.0);
    std::string text = line;
    text += " -> " + (options.outputPath.empty()  ? std::string("no result picture")
                      : options.outputPath == "-" ? std::string("standard output")
                                                  : options.outputPath);
    if (frames != nullptr) {
        const size_t requests = size_t(report.refreshCount);
        text += "; frames: " + std::to_string(frames->files);
        if (size_t(frames->files) < requests) {
            text += " of " + std::to_string(requests);
            if (frames->byClick)
                text += " (the last of " + std::to_string(frames->files) + " of the " +
                        std::to_string(frames->clicks) + " clicks, spread evenly";
            else
                text += " (each click's last, the rest spread evenly";
            text += "; at most " + std::to_string(options.maxFrames) + ")";
        }
        text += " in " + options.framesDir;
    }
    if (!options.animationPath.empty())
        text += "; animation: " + options.animationPath;
    return text;
}

// The explorer's lines after the summary, and what it wrote.
static void PrintExploration(FILE* to, const Exploration& explored, const ToolOptions& options,
                             bool bufferOver) {
    for (const std::string& line : ExplorationLines(explored))
        fprintf(to, "%s: %s\n", ProgramName.c_str(), line.c_str());
    if (bufferOver)
        fprintf(to,
                "%s: the fill at step %s stopped on \"Buffer over\": it painted less than the "
                "map shows, which leaves out the queue's limit\n",
                ProgramName.c_str(), Quoted(options.stepText).c_str());
    fprintf(to, "%s: explored: %s (%s, %s, %s, %s)\n", ProgramName.c_str(),
            options.exploreDir.c_str(), ExploreFileNames[0], ExploreFileNames[1],
            ExploreFileNames[2], ExploreFileNames[3]);
}

// Writes every output into its staging, the result last, in place (its pixel words become
// its PNG rows), with the paint epochs released first.
static bool WriteOutputs(const ToolOptions& options, AnimationFormat animationFormat,
                         const WindowSamples& samples, const RgbImage& before, RgbImage&& result,
                         FillReport* report, PendingFile* output, PendingFile* record,
                         PendingFile* beforeAfter, PendingFile* animation,
                         FramesWritten* framesWritten, const std::string& framesFolder,
                         std::string* error) {
    if (!options.framesDir.empty()) {
        ProgressPhase("writing frames");
        if (!WriteFrames(framesFolder, samples, *report, options.paintColour, options.maxFrames,
                         framesWritten, error, ProgressFramesWritten))
            return false;
    }
    if (!options.animationPath.empty()) {
        ProgressPhase("writing the animation");
        if (!WriteAnimation(animation->File(), options.animationPath, animationFormat, samples,
                            *report, options.paintColour, error))
            return false;
    }
    if (!options.recordPath.empty())
        WriteRecord(record->File(), options.clicks, *report, result.width);
    report->painted.ReleaseEpochs();
    if (!options.beforeAfterPath.empty()) {
        ProgressPhase("writing the before/after picture");
        if (!beforeAfter->WritePng(SideBySide(before, result, 8, 0x00FFFFFFu), error))
            return false;
    }
    if (options.outputPath.empty())
        return true; // --explore without -o
    ProgressPhase("writing the result");
    return output->WritePng(std::move(result), error);
}

int main(int argc, char** argv) {
    GuardStandardDescriptors();
    ExitCleanlyOnUncaughtFailure(argc > 0 ? argv[0] : "region_grow");
    StartInterruptCleanup();
    if (argc > 0)
        ProgramName = std::filesystem::path(argv[0]).stem().string();
    ToolOptions options;
    std::string error;
    if (!ParseToolOptions(Utf8Arguments(argc, argv), &options, &error))
        return Fail(2, error + " (see --help)");
    if (options.help) {
        fputs(ToolUsage, stdout);
        if (fflush(stdout) != 0 || ferror(stdout) || StandardDescriptorClosed(1))
            return Fail(1, std::string("cannot write the usage to standard output: ") +
                               strerror(StandardDescriptorClosed(1) ? EBADF : errno));
        return 0;
    }
    AnimationFormat animationFormat = AnimationFormat::WebP;
    if (!options.animationPath.empty() &&
        !AnimationFormatFor(options.animationPath, &animationFormat, &error))
        return Fail(2, error);
    std::vector<NamedOutput> targets;
    if (!ResolveOutputs(options, &targets, &error))
        return Fail(1, error);
    if (!CheckOutputsApart(options, targets, &error))
        return Fail(2, error);
    if (!options.animationPath.empty() && !AnimationAvailable())
        return Fail(1, "--animation: animated pictures are not available in this build");
    // The summary's stream must be open, or the run would end without saying what it did.
    const bool summaryToStandardError = WritesToStandardOutput(targets);
    FILE* summaryStream = summaryToStandardError ? stderr : stdout;
    if (StandardDescriptorClosed(summaryToStandardError ? 2 : 1))
        return Fail(1, std::string("cannot write the summary: standard ") +
                           (summaryToStandardError ? "error" : "output") + " is closed");

    PictureReader inputFile, maskFile;
    if (int status = CheckPicturesBeforeDecoding(options, &inputFile, &maskFile, &error))
        return Fail(status, error);
    ExitCleanlyWhenMemoryRunsOut(inputFile.Header().width, inputFile.Header().height);
    RgbImage input;
    std::vector<uint8_t> startMask;
    if (!inputFile.Decode(&input, &error) || !LoadDrawnMask(&maskFile, input, &startMask, &error))
        return Fail(1, error);
    // Every output is opened before the work, so that one that cannot be written fails early.
    PendingFile output, record, beforeAfter, animation;
    PendingFrames frames;
    PendingExploration exploration;
    if (!options.exploreDir.empty() && !exploration.Open(options.exploreDir, &error))
        return Fail(1, error);
    const std::pair<std::string, PendingFile*> files[] = {{"-o", &output},
                                                          {"--record", &record},
                                                          {"--before-after", &beforeAfter},
                                                          {"--animation", &animation}};
    for (const NamedOutput& target : targets)
        for (const auto& [option, file] : files)
            if (option == target.option && !file->Open(target.given, target.target, &error))
                return Fail(1, error);
    if (!options.framesDir.empty() && !frames.Open(options.framesDir, &error))
        return Fail(1, error);

    LoadedPlugin plugin;
    std::string pluginPath = options.pluginPath.empty() ? DefaultPluginPath() : options.pluginPath;
    if (!LoadPluginFile(pluginPath, &plugin, &error))
        return Fail(1, error);
#ifdef _WIN32
    // The DLL's cursor and message-box calls go to the tool host, as in the Windows test host
    // to the simulated host: kept, and no box waits for a click.
    int redirected = RecordUser32CallsOf(static_cast<HMODULE>(plugin.library));
    if (redirected != RecordedUser32Calls)
        return Fail(1, "only " + std::to_string(redirected) + " of the " +
                           std::to_string(int(RecordedUser32Calls)) + " user32 imports of " +
                           pluginPath + " found");
#endif

    // The explorer sees the picture as the host shows it at the click, before the fill.
    Exploration explored;
    if (!options.exploreDir.empty()) {
        ProgressPhase("exploring the tolerances");
        if (!Explore(options, input, startMask, &explored, &error) ||
            !exploration.Write(explored, input.pixels, &error))
            return Fail(1, error);
        explored.map = std::vector<uint16_t>(); // only the curves are needed from here on
    }

    // The host takes the picture over; only what the outputs need of the input is kept: its
    // samples at frame scale, and a copy for the before/after picture.
    const bool window = !options.framesDir.empty() || !options.animationPath.empty();
    WindowSamples samples;
    if (window)
        SampleInput(input, options.frameWidth, &samples);
    RgbImage before;
    if (!options.beforeAfterPath.empty())
        before = input;
    ToolHost host;
    const bool hasAlpha = input.hasAlpha;
    PrepareToolHost(options, input.width, input.height, std::move(input.pixels), &host);
    // Painted pixels are opaque; the plug-in never looks at the alpha bits.
    host.paintColour |= hasAlpha ? OpaqueAlpha : 0;
    FillReport report;
    report.keepEpochs = window;
    report.keepRefreshes = window || !options.recordPath.empty();
    ProgressStart(ProgramName.c_str(), options.clicks.size());
    RunClicks(&host, plugin, options.clicks, startMask, &report, ProgressClicksDone);
    RgbImage result;
    result.width = input.width;
    result.height = input.height;
    result.hasAlpha = hasAlpha;
    result.pixels = std::move(host.pixels);
    host.Reset(0, 0);
    if (window)
        SampleResult(result.pixels, report, &samples);

    FramesWritten framesWritten;
    bool written =
        WriteOutputs(options, animationFormat, samples, before, std::move(result), &report, &output,
                     &record, &beforeAfter, &animation, &framesWritten, frames.Folder(), &error);
    // All is written; now every output is put in place, or none (the frames first: theirs is
    // the longest step).
    if (written) {
        ProgressPhase("putting the outputs in place");
        written = CommitTogether(
            {&frames, &record, &beforeAfter, &animation, &output, &exploration}, &error);
    }
    ProgressEnd();
    if (!written)
        return Fail(1, frames.InTermsOfFolder(error));
    fprintf(summaryStream, "%s: %s\n", ProgramName.c_str(),
            Summary(options, report, options.framesDir.empty() ? nullptr : &framesWritten).c_str());
    if (fflush(summaryStream) != 0 || ferror(summaryStream))
        return Fail(1, std::string("cannot write the summary to standard ") +
                           (summaryToStandardError ? "error" : "output") + ": " + strerror(errno));
    if (!options.exploreDir.empty())
        PrintExploration(summaryStream, explored, options, FirstBufferOverClick(report) >= 0);
    return FirstBufferOverClick(report) < 0 ? 0 : 3;
}
