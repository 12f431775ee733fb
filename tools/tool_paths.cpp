#include "tool_paths.h"

#include <errno.h>
#include <string.h>

#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

bool ResolveOutput(const std::string& given, OutputTarget* target, std::string* error) {
    if (given == "-") {
        target->kind = OutputKind::StandardOutput;
        target->path.clear();
        return true;
    }
    fs::path path = given;
    std::error_code failure;
    for (int links = 0; fs::is_symlink(fs::symlink_status(path, failure)); ++links) {
        if (links == 40) {
            *error = "cannot write " + Quoted(given) + ": " + strerror(ELOOP);
            return false;
        }
        fs::path next = fs::read_symlink(path, failure);
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    fs::file_status status = fs::status(path, failure);
    target->path = path.string();
    target->kind = status.type() == fs::file_type::not_found || fs::is_regular_file(status)
                       ? OutputKind::File
                   : fs::is_directory(status) ? OutputKind::Directory
                                              : OutputKind::Stream;
    return true;
}

bool IsFrameFileName(const std::string& name) {
    const std::string prefix = "frame-", suffix = ".png";
    if (name == "overview.png")
        return true;
    if (name.size() <= prefix.size() + suffix.size() || name.rfind(prefix, 0) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    for (size_t i = prefix.size(); i < name.size() - suffix.size(); ++i)
        if (name[i] < '0' || name[i] > '9')
            return false;
    return true;
}

namespace {

struct NamedOutput {
    const char* option;
    std::string given;
    OutputTarget target;
    fs::path key; // the target as an absolute path through existing links
};

fs::path KeyOf(const std::string& path) {
    std::error_code failure;
    fs::path absolute = fs::absolute(path, failure);
    fs::path key = fs::weakly_canonical(absolute, failure);
    return failure ? absolute.lexically_normal() : key;
}

bool SameFile(const NamedOutput& a, const NamedOutput& b) {
    if (a.target.kind == OutputKind::StandardOutput || b.target.kind == OutputKind::StandardOutput)
        return a.target.kind == b.target.kind;
    std::error_code failure;
    if (a.key != b.key && !fs::equivalent(a.target.path, b.target.path, failure))
        return false;
    // Writes into one device do not replace one another: -o /dev/null --record /dev/null.
    return !fs::is_character_file(a.target.path, failure);
}

} // namespace

bool CheckOutputsApart(const ToolOptions& options, std::string* error) {
    std::vector<NamedOutput> outputs;
    const std::pair<const char*, const std::string*> named[] = {
        {"-o", &options.outputPath},
        {"--record", &options.recordPath},
        {"--before-after", &options.beforeAfterPath},
        {"--animation", &options.animationPath}};
    // The explorer's files, by the names it gives them in its folder.
    std::vector<std::string> exploreFiles;
    if (!options.exploreDir.empty())
        for (const char* name : {"tolerances.png", "map.png", "growth.tsv", "growth.svg"})
            exploreFiles.push_back((fs::path(options.exploreDir) / name).string());
    std::vector<std::pair<const char*, const std::string*>> all(std::begin(named), std::end(named));
    for (const std::string& file : exploreFiles)
        all.push_back({"--explore", &file});
    for (const auto& [option, given] : all) {
        if (given->empty())
            continue;
        NamedOutput output{option, *given, {}, {}};
        if (!ResolveOutput(*given, &output.target, error))
            return false;
        if (output.target.kind != OutputKind::StandardOutput)
            output.key = KeyOf(output.target.path);
        outputs.push_back(output);
    }
    for (size_t i = 0; i < outputs.size(); ++i)
        for (size_t j = i + 1; j < outputs.size(); ++j)
            if (SameFile(outputs[i], outputs[j])) {
                *error = std::string(outputs[i].option) + " " + Quoted(outputs[i].given) + " and " +
                         outputs[j].option + " " + Quoted(outputs[j].given) + " name the same file";
                return false;
            }
    if (options.framesDir.empty())
        return true;
    const fs::path frames = KeyOf(options.framesDir);
    for (const NamedOutput& output : outputs) {
        if (output.target.kind == OutputKind::StandardOutput)
            continue;
        if (output.key == frames) {
            *error =
                std::string(output.option) + " " + Quoted(output.given) + " is the --frames folder";
            return false;
        }
        if (output.key.parent_path() == frames && IsFrameFileName(output.key.filename().string())) {
            *error = std::string(output.option) + " " + Quoted(output.given) +
                     " lies in the --frames folder, where the frames would replace it";
            return false;
        }
    }
    return true;
}

bool WritesToStandardOutput(const ToolOptions& options) {
    return options.outputPath == "-" || options.recordPath == "-" ||
           options.beforeAfterPath == "-" || options.animationPath == "-";
}

bool PluginFilePath(const std::string& given, std::string* path, std::string* error) {
    std::error_code failure;
    fs::file_status status = fs::status(given, failure);
    if (!fs::exists(status)) {
        *error = "cannot load plug-in " + Quoted(given) + ": " + strerror(ENOENT);
        return false;
    }
    if (fs::is_directory(status)) {
        *error = "cannot load plug-in " + Quoted(given) + ": it is a directory";
        return false;
    }
    // An absolute path: the loaders search their library paths only for a bare name (dlopen)
    // or for any relative one (LoadLibrary).
    *path = fs::absolute(given, failure).string();
    if (failure) {
        *error = "cannot load plug-in " + Quoted(given) + ": " + failure.message();
        return false;
    }
    return true;
}
