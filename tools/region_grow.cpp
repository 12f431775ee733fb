// region_grow - applies the RegionGrowing tool to a picture from the command line.
//
// A host for one job: it loads the picture and the plug-in, stores the two tolerance texts
// where the host's parameter store keeps them, calls VXcDrawIt once per click, and writes the
// result, the optional frames and record, and a one-line summary. Usage: tool_options.h.
//
// Exit codes: 0 done, 1 a file or the plug-in could not be read or written, 2 a malformed
// command line, a click outside the picture or outputs that clash, 3 done but a fill stopped
// on "Buffer over" (every output is written), 130/143 interrupted by SIGINT/SIGTERM. Every
// failure prints one line on stderr and leaves no output file behind.
#include <stdio.h>

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

#include "fill_run.h"
#include "image_files.h"
#include "interrupt_cleanup.h"
#include "memory_exhaustion.h"
#include "picture_checks.h"
#include "picture_input.h"
#include "progress.h"
#include "simulated_host/plugin_loader.h"
#include "simulated_host/simulated_host.h"
#include "tool_options.h"
#include "tool_paths.h"
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
    text += " -> " + (options.outputPath == "-" ? "standard output" : options.outputPath);
    if (frames != nullptr) {
        text += "; frames: " + std::to_string(frames->files);
        if (frames->clickStride > 0)
            text += " of " + std::to_string(report.refreshCount) + " (the last of every " +
                    std::to_string(frames->clickStride) + "th click, at most " +
                    std::to_string(options.maxFrames) + ")";
        else if (frames->stride > 1)
            text += " of " + std::to_string(report.refreshCount) + " (stride " +
                    std::to_string(frames->stride) + ", plus each click's last, at most " +
                    std::to_string(options.maxFrames) + ")";
        text += " in " + options.framesDir;
    }
    if (!options.animationPath.empty())
        text += "; animation: " + options.animationPath;
    return text;
}

// Writes every output but the frames folder's commit, each into its pending file; the result
// last, in place (its pixel words become its PNG rows), with the paint epochs released first.
static bool WriteOutputs(const ToolOptions& options, const WindowSamples& samples,
                         const RgbImage& before, RgbImage&& result, FillReport* report,
                         PendingFile* output, PendingFile* record, PendingFile* beforeAfter,
                         PendingFile* animation, FramesWritten* framesWritten,
                         const std::string& framesFolder, std::string* error) {
    if (!options.framesDir.empty()) {
        ProgressPhase("writing frames");
        if (!WriteFrames(framesFolder, samples, *report, options.paintColour, options.maxFrames,
                         framesWritten, error, ProgressFramesWritten))
            return false;
    }
    if (!options.animationPath.empty()) {
        ProgressPhase("writing the animation");
        if (!WriteAnimation(animation->File(), options.animationPath, samples, *report,
                            options.paintColour, error))
            return false;
    }
    if (!options.recordPath.empty())
        WriteRecord(record->File(), options.clicks, *report, result.width);
    report->paintEpoch.reset();
    report->paintEpochSize = 0;
    if (!options.beforeAfterPath.empty()) {
        ProgressPhase("writing the before/after picture");
        if (!beforeAfter->WritePng(SideBySide(before, result, 8, 0x00FFFFFFu), error))
            return false;
    }
    ProgressPhase("writing the result");
    return output->WritePng(std::move(result), error);
}

int main(int argc, char** argv) {
    ExitCleanlyOnUncaughtFailure(argc > 0 ? argv[0] : "region_grow");
    StartInterruptCleanup();
    if (argc > 0)
        ProgramName = std::filesystem::path(argv[0]).stem().string();
    ToolOptions options;
    std::string error;
    if (!ParseToolOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error))
        return Fail(2, error + " (see --help)");
    if (options.help) {
        fputs(ToolUsage, stdout);
        return 0;
    }
    if (!CheckOutputsApart(options, &error))
        return Fail(2, error);
    if (!options.animationPath.empty() && !AnimationAvailable())
        return Fail(1, "--animation: animated pictures are not available in this build");

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
    if (!output.Open(options.outputPath, &error) ||
        (!options.recordPath.empty() && !record.Open(options.recordPath, &error)) ||
        (!options.beforeAfterPath.empty() && !beforeAfter.Open(options.beforeAfterPath, &error)) ||
        (!options.animationPath.empty() && !animation.Open(options.animationPath, &error)) ||
        (!options.framesDir.empty() && !frames.Open(options.framesDir, &error)))
        return Fail(1, error);

    LoadedPlugin plugin;
    std::string pluginPath = options.pluginPath.empty() ? DefaultPluginPath() : options.pluginPath;
    if (!LoadPluginFile(pluginPath, &plugin, &error))
        return Fail(1, error);
#ifdef _WIN32
    // The DLL's cursor and message-box calls go to the simulated host, as in the Windows test
    // host: recorded, and no box waits for a click.
    int redirected = RecordUser32CallsOf(static_cast<HMODULE>(plugin.library));
    if (redirected != RecordedUser32Calls)
        return Fail(1, "only " + std::to_string(redirected) + " of the " +
                           std::to_string(int(RecordedUser32Calls)) + " user32 imports of " +
                           pluginPath + " found");
#endif

    // The host takes the picture over; only what the outputs need of the input is kept: its
    // samples at frame scale, and a copy for the before/after picture.
    const bool window = !options.framesDir.empty() || !options.animationPath.empty();
    WindowSamples samples;
    if (window)
        SampleInput(input, options.frameWidth, &samples);
    RgbImage before;
    if (!options.beforeAfterPath.empty())
        before = input;
    SimulatedHost host;
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
    const bool written =
        WriteOutputs(options, samples, before, std::move(result), &report, &output, &record,
                     &beforeAfter, &animation, &framesWritten, frames.Folder(), &error);
    ProgressEnd();
    if (!written)
        return Fail(1, frames.InTermsOfFolder(error));
    // All is written; what is left are the renames into place.
    if (!record.Close(&error) || !beforeAfter.Close(&error) || !animation.Close(&error) ||
        !output.Close(&error) || !record.Commit(&error) || !beforeAfter.Commit(&error) ||
        !animation.Commit(&error) || !output.Commit(&error) || !frames.Commit(&error))
        return Fail(1, frames.InTermsOfFolder(error));
    fprintf(WritesToStandardOutput(options) ? stderr : stdout, "%s: %s\n", ProgramName.c_str(),
            Summary(options, report, options.framesDir.empty() ? nullptr : &framesWritten).c_str());
    return FirstBufferOverClick(report) < 0 ? 0 : 3;
}
