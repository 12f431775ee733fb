// The outputs' transaction; the PNGs in it are encoded by picture_io.
#include "output_files.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include "interrupt_cleanup.h"
#include "tool_options.h" // Quoted
#include "utf8_files.h"

namespace files {

namespace fs = std::filesystem;

// ---- PNG encoding ------------------------------------------------------------------------------

static bool EncodePng(FILE* file, const picture_io::Picture& image, const std::string& path,
                      std::string* error) {
    std::string reason;
    if (picture_io::WritePng(file, image, &reason))
        return true;
    *error = "cannot write " + command_line::Quoted(path) + ": " + reason;
    return false;
}

bool WriteNewPng(const std::string& path, const picture_io::Picture& image, std::string* error) {
    FILE* file = CreateNewUtf8(path);
    if (file == nullptr) {
        *error = "cannot write " + command_line::Quoted(path) + ": " + strerror(errno);
        return false;
    }
    bool written = EncodePng(file, image, path, error);
    bool flushed = !ferror(file);
    flushed = fclose(file) == 0 && flushed;
    if (written && !flushed)
        *error = "cannot write " + command_line::Quoted(path) + ": " + strerror(errno);
    return written && flushed;
}

bool SavePng(const std::string& path, const picture_io::Picture& image, std::string* error) {
    PendingFile pending;
    return pending.Open(path, error) && pending.WritePng(image, error) &&
           CommitTogether({&pending}, error);
}

// ---- Faults, for the tests of the rollback -----------------------------------------------------

static OutputFaultHook faultHook = nullptr;

void SetOutputFaultHook(OutputFaultHook hook) {
    faultHook = hook;
}

bool OutputStepFails() {
    if (faultHook == nullptr || !faultHook())
        return false;
    errno = ENOSPC;
    return true;
}

// ---- Staging -----------------------------------------------------------------------------------

static std::string FolderOf(const std::string& path) {
    fs::path folder = PathFromUtf8(path).parent_path();
    return folder.empty() ? std::string(".") : Utf8FromPath(folder);
}

static std::string Beside(const std::string& path, const std::string& name) {
    return Utf8FromPath(PathFromUtf8(FolderOf(path)) / PathFromUtf8(name));
}

// A temporary name beside `path`: hidden, short and unguessable.
static std::string TemporaryBeside(const std::string& path) {
    return Beside(path, UnpredictableName(".region_grow-", ".tmp"));
}

#ifndef _WIN32
// Whether unnamed files can be given a name later: linkat() reaches them through /proc.
static bool CanNameUnnamedFiles() {
    static const bool can = access("/proc/self/fd", X_OK) == 0;
    return can;
}

// An unnamed file in `folder`, for reading and writing, or null.
static FILE* UnnamedFileIn(const std::string& folder) {
#ifdef O_TMPFILE
    if (CanNameUnnamedFiles()) {
        int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (fd >= 0) {
            FILE* file = fdopen(fd, "w+b");
            if (file == nullptr)
                close(fd);
            return file;
        }
    }
#endif
    (void)folder;
    return nullptr;
}
#endif

// A stream's staging: an unnamed file in the temporary folder, gone when closed.
static FILE* AnonymousFile() {
#ifdef _WIN32
    // In the user's temporary folder (tmpfile() would use the drive's root, which users may
    // not write), removed by the system when closed.
    wchar_t folder[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    for (int attempt = 0; length > 0 && length <= MAX_PATH && attempt < 100; ++attempt) {
        std::wstring name = std::wstring(folder, length) +
                            PathFromUtf8(UnpredictableName("region_grow-", ".tmp")).wstring();
        int fd = _wopen(name.c_str(),
                        _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_TEMPORARY | _O_SHORT_LIVED,
                        _S_IREAD | _S_IWRITE);
        if (fd >= 0) {
            FILE* file = _fdopen(fd, "w+b");
            if (file == nullptr)
                _close(fd);
            return file;
        }
        if (errno != EEXIST)
            break;
    }
    return tmpfile();
#else
    const char* folder = getenv("TMPDIR");
    if (folder == nullptr || *folder == '\0')
        folder = "/tmp";
    if (FILE* file = UnnamedFileIn(folder))
        return file;
    std::string name = std::string(folder) + "/region_grow-XXXXXX";
    int fd = mkstemp(&name[0]);
    if (fd < 0)
        return tmpfile();
    unlink(name.c_str());
    FILE* file = fdopen(fd, "w+b");
    if (file == nullptr)
        close(fd);
    return file;
#endif
}

// ---- PendingFile -------------------------------------------------------------------------------

bool PendingFile::Failed(const std::string& reason, std::string* error) {
    if (!failed_)
        *error = "cannot write " + command_line::Quoted(given_) + ": " + reason;
    failed_ = true;
    return false;
}

bool PendingFile::Open(const std::string& given, std::string* error) {
    OutputTarget target;
    given_ = given;
    return ResolveOutput(given, &target, error) && Open(given, target, error);
}

#ifndef _WIN32
// A socket is written by connecting to it.
static int ConnectTo(const std::string& path) {
    sockaddr_un address;
    memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return -1;
    }
    memcpy(address.sun_path, path.data(), path.size());
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        int reason = errno;
        close(fd);
        errno = reason;
        return -1;
    }
    return fd;
}
#endif

bool PendingFile::Open(const std::string& given, const OutputTarget& target, std::string* error) {
    given_ = given;
    target_ = target.path;
    switch (target.kind) {
    case OutputKind::Directory:
        return Failed("it is a directory", error);
    case OutputKind::Descriptor:
        stream_ = true;
        sendTo_ = target.descriptor;
#ifdef _WIN32
        _setmode(sendTo_, _O_BINARY); // the same bytes on every platform
#endif
        break;
    case OutputKind::Stream: {
        stream_ = true;
#ifdef _WIN32
        // Written straight into (a device such as NUL): there is no descriptor to send to.
        file_ = OpenUtf8(target_, "wb");
        if (file_ == nullptr)
            return Failed(strerror(errno), error);
        direct_ = true;
        return true;
#else
        // Opened now, so that one nobody reads fails (or waits) before the work; never
        // truncated: it is a device, a FIFO or a socket.
        struct stat status;
        if (stat(target_.c_str(), &status) == 0 && S_ISSOCK(status.st_mode))
            sendTo_ = ConnectTo(target_);
        else
            sendTo_ = open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (sendTo_ < 0)
            return Failed(strerror(errno), error);
        ownsSendTo_ = true;
        break;
#endif
    }
    case OutputKind::File:
        return OpenStaging(error);
    }
    file_ = AnonymousFile();
    if (file_ == nullptr)
        return Failed(std::string("no temporary file: ") + strerror(errno), error);
    return true;
}

bool PendingFile::OpenStaging(std::string* error) {
#ifndef _WIN32
    file_ = UnnamedFileIn(FolderOf(target_));
    if (file_ != nullptr) {
        unnamed_ = true;
        return true;
    }
    if (errno == ENOENT || errno == ENOTDIR || errno == EACCES || errno == EROFS)
        return Failed(strerror(errno), error);
#endif
    // Created and registered as one step, so that an interruption finds it either way. A name
    // taken (by chance or planted) is never opened: another is drawn.
    for (int attempt = 0; attempt < 100; ++attempt) {
        CleanupHold hold;
        std::string name = TemporaryBeside(target_);
        file_ = CreateNewUtf8(name);
        if (file_ != nullptr) {
            temporary_ = name;
            RegisterTemporary(name);
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    return Failed(strerror(errno), error);
}

bool PendingFile::WritePng(const picture_io::Picture& image, std::string* error) {
    if (failed_ || !EncodePng(file_, image, given_, error))
        failed_ = true;
    return !failed_;
}

#ifndef _WIN32
// The staged file takes the replaced file's owner, group and mode where the process may set
// them: root gives it any owner; another user keeps their own and may give it a group of theirs.
// The owner goes first, since changing it clears the set-user-ID and set-group-ID bits.
void PendingFile::TakeOverOwnerAndMode() {
    struct stat replaced;
    if (stat(target_.c_str(), &replaced) != 0 || !S_ISREG(replaced.st_mode))
        return;
    const int fd = fileno(file_);
    if (fchown(fd, replaced.st_uid, replaced.st_gid) != 0 &&
        fchown(fd, uid_t(-1), replaced.st_gid) != 0) {
        // Neither: the staged file stays the process's, as any file it creates.
    }
    if (fchmod(fd, replaced.st_mode & 07777) != 0) {
        // A file system without modes (a FAT stick): nothing to keep.
    }
}
#endif

bool PendingFile::Ready(std::string* error) {
    if (failed_)
        return false;
    if (file_ == nullptr)
        return true;
    if (OutputStepFails() || fflush(file_) != 0 || ferror(file_))
        return Failed(strerror(errno != 0 ? errno : EIO), error);
    if (stream_)
        return true; // read back by Send()
#ifndef _WIN32
    TakeOverOwnerAndMode();
    if (unnamed_) {
        // Complete: now it gets a name, beside the target, registered as one step with it.
        const std::string self = "/proc/self/fd/" + std::to_string(fileno(file_));
        for (int attempt = 0; attempt < 100 && temporary_.empty(); ++attempt) {
            CleanupHold hold;
            std::string name = TemporaryBeside(target_);
            if (!OutputStepFails() &&
                linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                temporary_ = name;
                RegisterTemporary(name);
            } else if (errno != EEXIST) {
                return Failed(strerror(errno), error);
            }
        }
        if (temporary_.empty())
            return Failed(strerror(EEXIST), error);
    }
#endif
    FILE* file = file_;
    file_ = nullptr;
    if (fclose(file) != 0)
        return Failed(strerror(errno), error);
    return true;
}

bool PendingFile::Send(std::string* error) {
    if (!stream_ || file_ == nullptr)
        return true;
    if (direct_) {
        FILE* file = file_;
        file_ = nullptr;
        return fclose(file) == 0 || Failed(strerror(errno), error);
    }
    rewind(file_);
    char buffer[1 << 16];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file_)) > 0) {
        for (size_t sent = 0; sent < got;) {
#ifdef _WIN32
            int n = OutputStepFails() ? -1 : _write(sendTo_, buffer + sent, unsigned(got - sent));
#else
            ssize_t n = OutputStepFails() ? -1 : write(sendTo_, buffer + sent, got - sent);
            if (n < 0 && errno == EINTR)
                continue;
#endif
            if (n <= 0)
                return Failed(strerror(n < 0 ? errno : EIO), error);
            sent += size_t(n);
        }
    }
    if (ferror(file_))
        return Failed(strerror(errno), error);
    fclose(file_);
    file_ = nullptr;
#ifndef _WIN32
    if (ownsSendTo_) {
        ownsSendTo_ = false;
        if (close(sendTo_) != 0 && errno != EINTR)
            return Failed(strerror(errno), error);
    }
#endif
    return true;
}

// Whether a failed link says that the file system has no hard links (a FAT drive, some network
// shares), rather than that this one could not be made.
static bool NoHardLinks(const std::error_code& failure) {
    return failure == std::errc::operation_not_permitted ||
           failure == std::errc::operation_not_supported ||
           failure == std::errc::function_not_supported || failure == std::errc::not_supported;
}

bool PendingFile::Commit(std::string* error) {
    if (stream_ || temporary_.empty())
        return true;
    std::error_code failure;
    const fs::path target = PathFromUtf8(target_), temporary = PathFromUtf8(temporary_);
    // A replaced file is kept under a second name until every output is in place. (On Windows
    // it keeps its permissions here; elsewhere Ready() gave them to the staged file.)
    fs::file_status previous = fs::symlink_status(target, failure);
    hadTarget_ = fs::exists(previous);
    if (fs::is_regular_file(previous)) {
#ifdef _WIN32
        fs::permissions(temporary, previous.permissions(), failure);
#endif
        for (int attempt = 0; attempt < 100 && kept_.empty(); ++attempt) {
            std::string name = TemporaryBeside(target_);
            if (OutputStepFails())
                failure = std::error_code(errno, std::generic_category());
            else
                fs::create_hard_link(target, PathFromUtf8(name), failure);
            if (!failure)
                kept_ = name;
            else if (failure != std::errc::file_exists)
                break;
        }
        // Without the old file kept, a later failure could not put it back: this output is not
        // put in place, unless the file system has no hard links at all (then it goes in
        // without a way back, as any copy would).
        if (kept_.empty() && !NoHardLinks(failure))
            return Failed(failure.message(), error);
    }
    if (OutputStepFails())
        failure = std::error_code(errno, std::generic_category());
    else
        fs::rename(temporary, target, failure);
    if (failure) {
        Finish();
        return Failed(failure.message(), error);
    }
    UnregisterTemporary(temporary_);
    temporary_.clear();
    committed_ = true;
    return true;
}

void PendingFile::Rollback() {
    if (!committed_)
        return;
    std::error_code ignored;
    if (!kept_.empty())
        fs::rename(PathFromUtf8(kept_), PathFromUtf8(target_), ignored);
    else if (!hadTarget_)
        fs::remove(PathFromUtf8(target_), ignored);
    kept_.clear();
    committed_ = false;
}

void PendingFile::Finish() {
    if (!kept_.empty())
        RemoveUtf8(kept_);
    kept_.clear();
}

PendingFile::~PendingFile() {
    if (file_ != nullptr)
        fclose(file_);
#ifndef _WIN32
    if (ownsSendTo_)
        close(sendTo_);
#endif
    Finish();
    if (!temporary_.empty()) {
        CleanupHold hold;
        RemoveUtf8(temporary_);
        UnregisterTemporary(temporary_);
    }
}

// ---- Together ----------------------------------------------------------------------------------

bool CommitTogether(const std::vector<StagedOutput*>& outputs, std::string* error) {
    for (StagedOutput* output : outputs)
        if (output != nullptr && !output->Ready(error))
            return false;
    for (StagedOutput* output : outputs)
        if (output != nullptr && !output->Send(error))
            return false;
    CleanupHold hold;
    for (size_t i = 0; i < outputs.size(); ++i) {
        if (outputs[i] == nullptr || outputs[i]->Commit(error))
            continue;
        for (size_t j = i; j-- > 0;)
            if (outputs[j] != nullptr)
                outputs[j]->Rollback();
        for (StagedOutput* output : outputs)
            if (output != nullptr)
                output->Finish();
        return false;
    }
    for (StagedOutput* output : outputs)
        if (output != nullptr)
            output->Finish();
    return true;
}

} // namespace files
