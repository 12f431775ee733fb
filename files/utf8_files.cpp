#include "utf8_files.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <random>

#include "utf8_wide.h"

#ifdef _WIN32
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace files {

namespace fs = std::filesystem;

fs::path PathFromUtf8(const std::string& name) {
    return fs::u8path(name);
}

std::string Utf8FromPath(const fs::path& path) {
    return path.u8string();
}

#ifdef _WIN32

FILE* OpenUtf8(const std::string& name, const char* mode) {
    return _wfopen(host_model::WideFromUtf8(name).c_str(), host_model::WideFromUtf8(mode).c_str());
}

FILE* CreateNewUtf8(const std::string& name) {
    int fd = _wopen(host_model::WideFromUtf8(name).c_str(),
                    _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return nullptr;
    FILE* file = _fdopen(fd, "wb");
    if (file == nullptr)
        _close(fd);
    return file;
}

bool RemoveUtf8(const std::string& name) {
    return _wremove(host_model::WideFromUtf8(name).c_str()) == 0;
}

std::vector<std::string> Utf8Arguments(int, char**) {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide != nullptr && i < count; ++i)
        args.push_back(host_model::Utf8FromWide(wide[i]));
    LocalFree(wide);
    return args;
}

fs::path ExecutableFolder() {
    std::wstring path(32768, L'\0'); // the longest path the wide calls take
    DWORD length = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
    path.resize(length);
    return fs::path(path).parent_path();
}

#else

FILE* OpenUtf8(const std::string& name, const char* mode) {
    return fopen(name.c_str(), mode);
}

FILE* CreateNewUtf8(const std::string& name) {
    // O_EXCL with O_CREAT also refuses a symbolic link, dangling or not.
    int fd = open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0)
        return nullptr;
    FILE* file = fdopen(fd, "wb");
    if (file == nullptr)
        close(fd);
    return file;
}

bool RemoveUtf8(const std::string& name) {
    return remove(name.c_str()) == 0;
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

fs::path ExecutableFolder() {
    std::error_code ignored;
    return fs::read_symlink("/proc/self/exe", ignored).parent_path();
}

#endif

bool ReadBatchFile(const std::string& path, std::vector<BatchLine>* lines, std::string* error) {
    FILE* file = OpenUtf8(path, "rb");
    if (file == nullptr) {
        *error = "cannot read the batch \"" + path + "\": " + strerror(errno);
        return false;
    }
    std::string text;
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, got);
    const bool failed = ferror(file) != 0;
    fclose(file);
    if (failed) {
        *error = "cannot read the batch \"" + path + "\"";
        return false;
    }
    lines->clear();
    size_t number = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        BatchLine batch;
        batch.number = number;
        for (size_t from = 0;;) {
            size_t tab = line.find('\t', from);
            batch.arguments.push_back(line.substr(from, tab - from));
            if (tab == std::string::npos)
                break;
            from = tab + 1;
        }
        lines->push_back(std::move(batch));
    }
    return true;
}

void ReportBatchLine(const BatchLine& line, int status) {
    fflush(stderr);
    printf("batch line %zu: status %d\n", line.number, status);
    fflush(stdout);
}

std::string UnpredictableName(const std::string& prefix, const std::string& suffix) {
    static const char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    // The system's random source, mixed with the clock in case a platform's is weak.
    static std::mt19937_64 generator = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(),
                           unsigned(std::chrono::steady_clock::now().time_since_epoch().count())};
        return std::mt19937_64(seed);
    }();
    std::string name = prefix;
    for (int i = 0; i < 12; ++i)
        name += Letters[generator() % (sizeof Letters - 1)];
    return name + suffix;
}

} // namespace files
