#include "tool_paths.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "utf8_files.h"

namespace files {

namespace fs = std::filesystem;

const char* const ExploreFileNames[4] = {"tolerances.png", "map.png", "growth.tsv", "growth.svg"};

static bool ClosedAtStart[3];

void GuardStandardDescriptors() {
#ifndef _WIN32
    for (int descriptor = 0; descriptor < 3; ++descriptor) {
        if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF)
            continue;
        ClosedAtStart[descriptor] = true;
        // open() returns the lowest free number, which is this one.
        int taken = open("/dev/null", O_RDONLY);
        if (taken != descriptor && taken >= 0)
            close(taken);
    }
#endif
}

bool StandardDescriptorClosed(int descriptor) {
    return descriptor >= 0 && descriptor < 3 && ClosedAtStart[descriptor];
}

static std::string CannotWrite(const std::string& given, const std::string& reason) {
    return "cannot write " + command_line::Quoted(given) + ": " + reason;
}

#ifndef _WIN32
static bool AllDigits(const std::string& text) {
    if (text.empty() || text.size() > 9)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The descriptor `path` names, when it names one of this process's: /dev/stdin, /dev/stdout,
// /dev/stderr, or N in a folder that is this process's descriptor folder (/dev/fd,
// /proc/self/fd, /proc/thread-self/fd, /proc/PID/fd in any spelling). -1 otherwise.
static int DescriptorNamed(const fs::path& path) {
    std::error_code failure;
    const fs::path absolute = fs::absolute(path, failure).lexically_normal();
    const std::string text = absolute.string();
    if (text == "/dev/stdin")
        return 0;
    if (text == "/dev/stdout")
        return 1;
    if (text == "/dev/stderr")
        return 2;
    const std::string name = absolute.filename().string();
    if (!AllDigits(name))
        return -1;
    const std::string folder = fs::weakly_canonical(absolute.parent_path(), failure).string();
    const std::string own = "/proc/" + std::to_string(getpid());
    const bool ownFolder =
        folder == own + "/fd" || (folder.rfind(own + "/task/", 0) == 0 && folder.size() > 3 &&
                                  folder.compare(folder.size() - 3, 3, "/fd") == 0);
    return ownFolder ? atoi(name.c_str()) : -1;
}

// Whether the process holds `descriptor` open for writing; else the reason.
static bool WritableDescriptor(int descriptor, std::string* reason) {
    int flags = StandardDescriptorClosed(descriptor) ? -1 : fcntl(descriptor, F_GETFL);
    if (flags == -1) {
        *reason = strerror(EBADF);
        return false;
    }
    if ((flags & O_ACCMODE) == O_RDONLY) {
        *reason = "descriptor " + std::to_string(descriptor) + " is open for reading only";
        return false;
    }
    return true;
}
#endif

bool ResolveOutput(const std::string& given, OutputTarget* target, std::string* error) {
    *target = OutputTarget();
    if (given == "-") {
        target->kind = OutputKind::Descriptor;
        target->descriptor = 1;
#ifndef _WIN32
        std::string reason;
        if (!WritableDescriptor(1, &reason)) {
            *error = CannotWrite(given, reason);
            return false;
        }
#endif
        return true;
    }
    fs::path path = PathFromUtf8(given);
    std::error_code failure;
    for (int links = 0;; ++links) {
#ifndef _WIN32
        // Before the link is followed: /dev/stdout leads to the file a shell opened, which must
        // be written through the descriptor, not replaced.
        const int descriptor = DescriptorNamed(path);
        if (descriptor >= 0) {
            std::string reason;
            if (!WritableDescriptor(descriptor, &reason)) {
                *error = CannotWrite(given, reason);
                return false;
            }
            target->kind = OutputKind::Descriptor;
            target->descriptor = descriptor;
            return true;
        }
#endif
        if (!fs::is_symlink(fs::symlink_status(path, failure)))
            break;
        if (links == 40) {
            *error = CannotWrite(given, strerror(ELOOP));
            return false;
        }
        fs::path next = fs::read_symlink(path, failure);
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    fs::file_status status = fs::status(path, failure);
    target->path = Utf8FromPath(path);
    target->kind = status.type() == fs::file_type::not_found || fs::is_regular_file(status)
                       ? OutputKind::File
                   : fs::is_directory(status) ? OutputKind::Directory
                   : fs::exists(status)       ? OutputKind::Stream
                                              : OutputKind::File;
    return true;
}

bool ResolveOutputs(const command_line::ToolOptions& options, std::vector<NamedOutput>* outputs,
                    std::string* error) {
    const std::pair<const char*, const std::string*> named[] = {
        {"-o", &options.outputPath},
        {"--record", &options.recordPath},
        {"--before-after", &options.beforeAfterPath},
        {"--animation", &options.animationPath}};
    for (const auto& [option, given] : named) {
        if (given->empty())
            continue;
        NamedOutput output{option, *given, {}};
        if (!ResolveOutput(*given, &output.target, error))
            return false;
        outputs->push_back(output);
    }
    // The explorer's files, by the names it gives them in its folder.
    if (!options.exploreDir.empty())
        for (const char* name : ExploreFileNames) {
            NamedOutput output{"--explore", (fs::path(options.exploreDir) / name).string(), {}};
            if (!ResolveOutput(output.given, &output.target, error))
                return false;
            outputs->push_back(output);
        }
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

// What an output is on the system, to tell whether two are the same.
struct Identity {
    fs::path key;       // the target as an absolute path through existing links
    bool known = false; // device and inode below are set
    unsigned long long device = 0, inode = 0;
    bool characterDevice = false;
    int descriptor = -1;
};

fs::path KeyOf(const std::string& path) {
    std::error_code failure;
    fs::path absolute = fs::absolute(PathFromUtf8(path), failure);
    fs::path key = fs::weakly_canonical(absolute, failure);
    return failure ? absolute.lexically_normal() : key;
}

// "-o 'out.png'": an output as messages name it.
std::string Named(const NamedOutput& output) {
    return std::string(output.option) + " " + command_line::Quoted(output.given);
}

Identity IdentityOf(const OutputTarget& target) {
    Identity identity;
    identity.descriptor = target.descriptor;
#ifndef _WIN32
    struct stat status;
    bool known = target.kind == OutputKind::Descriptor ? fstat(target.descriptor, &status) == 0
                                                       : stat(target.path.c_str(), &status) == 0;
    if (known) {
        identity.known = true;
        identity.device = status.st_dev;
        identity.inode = status.st_ino;
        identity.characterDevice = S_ISCHR(status.st_mode);
    }
#endif
    if (target.kind != OutputKind::Descriptor)
        identity.key = KeyOf(target.path);
    return identity;
}

bool Same(const Identity& a, const Identity& b, const OutputTarget& targetA,
          const OutputTarget& targetB) {
    bool same;
    if (a.known && b.known)
        same = a.device == b.device && a.inode == b.inode;
    else if (a.descriptor >= 0 || b.descriptor >= 0)
        same = a.descriptor == b.descriptor;
    else {
        std::error_code failure;
        same = a.key == b.key ||
               fs::equivalent(PathFromUtf8(targetA.path), PathFromUtf8(targetB.path), failure);
    }
    // Writes into one device do not replace one another: -o /dev/null --record /dev/null.
    return same && !(a.characterDevice && b.characterDevice);
}

// Whether `path` is `folder` or lies inside it (both absolute and normal).
bool IsWithin(const fs::path& path, const fs::path& folder) {
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p)
        if (f->empty() && std::next(f) == folder.end())
            return true; // a trailing separator
        else if (p == path.end() || *p != *f)
            return false;
    return true;
}

// Whether the frames written into the folder `frames` would replace the file `key` (both keys).
bool FramesReplace(const fs::path& frames, const fs::path& key) {
    return key.parent_path() == frames && IsFrameFileName(Utf8FromPath(key.filename()));
}

} // namespace

bool CheckOutputsApart(const command_line::ToolOptions& options,
                       const std::vector<NamedOutput>& outputs, std::string* error) {
    std::vector<Identity> identities;
    for (const NamedOutput& output : outputs)
        identities.push_back(IdentityOf(output.target));
    for (size_t i = 0; i < outputs.size(); ++i)
        for (size_t j = i + 1; j < outputs.size(); ++j)
            if (Same(identities[i], identities[j], outputs[i].target, outputs[j].target)) {
                *error = Named(outputs[i]) + " and " + Named(outputs[j]) + " name the same file";
                return false;
            }
    if (options.framesDir.empty())
        return true;
    const fs::path frames = KeyOf(options.framesDir);
    // The folders the frames would create: the frames folder and its missing parents.
    fs::path outermostCreated;
    std::error_code failure;
    for (fs::path p = frames; !p.empty() && p != p.root_path() &&
                              fs::symlink_status(p, failure).type() == fs::file_type::not_found;
         p = p.parent_path())
        outermostCreated = p;
    for (size_t i = 0; i < outputs.size(); ++i) {
        const Identity& identity = identities[i];
        if (outputs[i].target.kind == OutputKind::Descriptor)
            continue;
        if (identity.key == frames) {
            *error = Named(outputs[i]) + " is the --frames folder";
            return false;
        }
        if (FramesReplace(frames, identity.key)) {
            *error = Named(outputs[i]) + " lies in the --frames folder, where the frames would "
                                         "replace it";
            return false;
        }
        if (!outermostCreated.empty() && IsWithin(identity.key, outermostCreated)) {
            *error = Named(outputs[i]) + " lies in " +
                     command_line::Quoted(Utf8FromPath(outermostCreated)) +
                     ", a folder this run would create for --frames";
            return false;
        }
    }
    return true;
}

bool CheckOutputsSpareInputs(const command_line::ToolOptions& options,
                             const std::string& pluginPath, const std::vector<NamedOutput>& outputs,
                             bool* editsInput, std::string* error) {
    struct Input {
        std::string what, path;
        bool editable; // IN, which -o may replace
    };
    std::vector<Input> inputs = {{"the plug-in", pluginPath, false}};
    if (!options.drawnMaskPath.empty())
        inputs.push_back({"the --drawn mask", options.drawnMaskPath, false});
    inputs.push_back({"the input", options.inputPath, true});
    *editsInput = false;
    for (const Input& input : inputs) {
        OutputTarget read;
        read.path = input.path;
        const Identity identity = IdentityOf(read);
        const std::string inputNamed = input.what + " " + command_line::Quoted(input.path);
        for (const NamedOutput& output : outputs) {
            if (!Same(IdentityOf(output.target), identity, output.target, read))
                continue;
            if (input.editable && std::string(output.option) == "-o" &&
                output.target.kind == OutputKind::File) {
                *editsInput = true;
                continue;
            }
            *error = Named(output) + " and " + inputNamed + " name the same file";
            return false;
        }
        if (!options.framesDir.empty() && FramesReplace(KeyOf(options.framesDir), identity.key)) {
            *error = inputNamed + " lies in the --frames folder, where the frames would replace it";
            return false;
        }
    }
    return true;
}

// ".PNG" -> ".png": a name's extension, the way the checks compare it.
static std::string LowerExtension(const std::string& name) {
    std::string extension = Utf8FromPath(PathFromUtf8(name).extension());
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return extension;
}

bool CheckOutputNames(const std::vector<NamedOutput>& outputs, std::string* error) {
    static const char* const PictureExtensions[] = {".png", ".jpg",  ".jpeg", ".bmp",
                                                    ".gif", ".webp", ".tif",  ".tiff"};
    for (const NamedOutput& output : outputs) {
        const std::string option = output.option;
        const bool png = option == "-o" || option == "--before-after", text = option == "--record";
        if (output.target.kind != OutputKind::File || (!png && !text))
            continue;
        for (const std::string& name : {output.given, output.target.path}) {
            const std::string extension = LowerExtension(name);
            bool picture = false;
            for (const char* known : PictureExtensions)
                picture = picture || extension == known;
            if (png ? extension == ".png" : !picture)
                continue;
            *error = Named(output) + " writes " + (png ? "PNG" : "text");
            if (name != output.given)
                *error += " into " + command_line::Quoted(name) + ", where its links lead";
            *error += png ? ": name it .png" : ": name it other than " + extension;
            return false;
        }
    }
    return true;
}

bool CheckOutputsWritable(const std::vector<NamedOutput>& outputs, std::string* error) {
    for (const NamedOutput& output : outputs) {
        if (output.target.kind != OutputKind::File)
            continue;
        const fs::path target = PathFromUtf8(output.target.path);
        std::error_code failure;
        const fs::file_status status = fs::status(target, failure);
        int refusal = 0;
        const fs::perms writeBits =
            fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
        if (fs::is_regular_file(status) && (status.permissions() & writeBits) == fs::perms::none)
            refusal = EACCES;
#ifndef _WIN32
        // The replacement is made beside the target and renamed over it: the folder must take
        // it. A folder still missing is reported when the output is opened.
        const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
        if (refusal == 0 && fs::is_regular_file(status) &&
            access(output.target.path.c_str(), W_OK) != 0)
            refusal = errno;
        if (refusal == 0 && fs::is_directory(folder, failure) &&
            access(folder.c_str(), W_OK | X_OK) != 0)
            refusal = errno;
#endif
        if (refusal != 0) {
            *error = CannotWrite(output.given, strerror(refusal));
            return false;
        }
    }
    return true;
}

bool WritesToStandardOutput(const std::vector<NamedOutput>& outputs) {
    Identity standardOutput;
    standardOutput.descriptor = 1;
#ifndef _WIN32
    struct stat status;
    if (!StandardDescriptorClosed(1) && fstat(1, &status) == 0) {
        standardOutput.known = true;
        standardOutput.device = status.st_dev;
        standardOutput.inode = status.st_ino;
        standardOutput.characterDevice = S_ISCHR(status.st_mode);
    }
#endif
    OutputTarget descriptorOne;
    descriptorOne.kind = OutputKind::Descriptor;
    descriptorOne.descriptor = 1;
    // Descriptor 1 by any name, or another name for what it writes into (7>&1 -o /dev/fd/7).
    for (const NamedOutput& output : outputs)
        if ((output.target.kind == OutputKind::Descriptor && output.target.descriptor == 1) ||
            Same(IdentityOf(output.target), standardOutput, output.target, descriptorOne))
            return true;
    return false;
}

bool PluginFilePath(const std::string& given, std::string* path, std::string* error) {
    std::error_code failure;
    fs::file_status status = fs::status(PathFromUtf8(given), failure);
    if (!fs::exists(status)) {
        *error = "cannot load plug-in " + command_line::Quoted(given) + ": " + strerror(ENOENT);
        return false;
    }
    if (fs::is_directory(status)) {
        *error = "cannot load plug-in " + command_line::Quoted(given) + ": it is a directory";
        return false;
    }
    // An absolute path: the loaders search their library paths only for a bare name (dlopen)
    // or for any relative one (LoadLibrary).
    *path = Utf8FromPath(fs::absolute(PathFromUtf8(given), failure));
    if (failure) {
        *error = "cannot load plug-in " + command_line::Quoted(given) + ": " + failure.message();
        return false;
    }
    return true;
}

} // namespace files
