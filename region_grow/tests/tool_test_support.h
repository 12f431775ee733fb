// tool_test_support.h - running region_grow as a user does, for the tool's tests: a separate
// process per run, in a fresh folder per test, with pictures built in the test.
//
// Each test's folder is made by mkdtemp under TMPDIR (else /tmp), unique to the run, so that the
// suites of two checkouts on one machine can run at once without touching each other's files;
// it is removed when the test passes and kept, for a look, when it fails.
#ifndef REGION_GROW_TESTS_TOOL_TEST_SUPPORT_H
#define REGION_GROW_TESTS_TOOL_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "image_files.h"

namespace fs = std::filesystem;

inline const uint32_t Magenta = 0x00FF00FFu;

struct ToolRun {
    int exitCode;
    std::string out, err;
};

inline std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

inline std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// A picture of w x h in one colour.
inline picture_io::Picture Uniform(int32_t w, int32_t h, uint32_t colour) {
    picture_io::Picture image;
    image.width = w;
    image.height = h;
    image.pixels.assign(size_t(w) * size_t(h), colour);
    return image;
}

inline void FillRect(picture_io::Picture* image, int32_t left, int32_t top, int32_t right,
                     int32_t bottom, uint32_t colour) {
    for (int32_t y = top; y <= bottom; ++y)
        for (int32_t x = left; x <= right; ++x)
            image->pixels[size_t(y) * size_t(image->width) + size_t(x)] = colour;
}

inline uint32_t At(const picture_io::Picture& image, int32_t x, int32_t y) {
    return image.pixels[size_t(y) * size_t(image.width) + size_t(x)];
}

// `image` as a PNG file, as it is: grey, alpha and 16-bit samples as it says.
inline void WritePngFile(const fs::path& path, const picture_io::Picture& image) {
    FILE* file = fopen(path.string().c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::string reason;
    const bool written = picture_io::WritePng(file, image, &reason);
    EXPECT_EQ(fclose(file), 0);
    ASSERT_TRUE(written) << reason;
}

// The channels a picture file's header gives (1 grey to 4 colour and alpha); -1 unreadable.
inline int ChannelsOf(const fs::path& path) {
    FILE* file = fopen(path.string().c_str(), "rb");
    picture_io::Reader reader;
    std::string reason;
    return file != nullptr && reader.Open(file, &reason) ? reader.header().channels : -1;
}

// `image` (its colour, not its alpha) as the bytes of a 24-bit BMP, rows from the bottom.
inline std::string Bmp24(const picture_io::Picture& image) {
    const size_t rowBytes = (size_t(image.width) * 3 + 3) / 4 * 4;
    const uint32_t size = uint32_t(54 + rowBytes * size_t(image.height));
    std::string bmp = "BM";
    auto put = [&](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            bmp += char(value >> (8 * i) & 0xFF);
    };
    put(size, 4), put(0, 4), put(54, 4), put(40, 4), put(uint32_t(image.width), 4);
    put(uint32_t(image.height), 4), put(1, 2), put(24, 2), put(0, 4);
    bmp += std::string(20, '\0'); // sizes, resolutions, colours
    for (int32_t y = image.height - 1; y >= 0; --y) {
        std::string row(rowBytes, '\0');
        for (int32_t x = 0; x < image.width; ++x) {
            const uint32_t p = image.pixels[size_t(y) * size_t(image.width) + size_t(x)];
            row[3 * size_t(x)] = char(p & 0xFF);
            row[3 * size_t(x) + 1] = char(p >> 8 & 0xFF);
            row[3 * size_t(x) + 2] = char(p >> 16 & 0xFF);
        }
        bmp += row;
    }
    return bmp;
}

// A new folder of this run's own, named after the test: region_grow_SUITE_NAME_XXXXXX.
inline fs::path UniqueTestFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base ? base : "/tmp") + "/region_grow_" +
                          info->test_suite_name() + "_" + info->name() + "_XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
        ADD_FAILURE() << "mkdtemp " << pattern << ": " << strerror(errno);
        return fs::path();
    }
    return fs::path(pattern);
}

class ToolTest : public ::testing::Test {
  protected:
    fs::path dir;

    void SetUp() override { dir = UniqueTestFolder(); }

    void TearDown() override {
        std::error_code ignored;
        if (!HasFailure())
            fs::remove_all(dir, ignored);
    }

    std::string PathOf(const std::string& name) const { return (dir / name).string(); }

    // `shell` comes before the tool in the shell's command: "cd DIR &&", "ulimit -f 1;".
    ToolRun Run(const std::vector<std::string>& args, const std::string& shell = "") const {
        std::string command = shell + " " + Quote(TOOL_PATH);
        for (const std::string& arg : args)
            command += " " + Quote(arg);
        command += " >" + Quote(PathOf("stdout.txt")) + " 2>" + Quote(PathOf("stderr.txt"));
        int status = system(command.c_str());
        ToolRun run;
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = ReadFile(dir / "stdout.txt");
        run.err = ReadFile(dir / "stderr.txt");
        fs::remove(dir / "stdout.txt");
        fs::remove(dir / "stderr.txt");
        return run;
    }

    // Runs `script` with bash in the test's folder, the tool as $T; its exit status.
    int Shell(const std::string& script) const {
        std::string command =
            "cd " + Quote(dir.string()) + " && T=" + Quote(TOOL_PATH) + " bash -c " + Quote(script);
        int status = system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void SavePicture(const std::string& name, const picture_io::Picture& image) const {
        std::string error;
        ASSERT_TRUE(files::SavePng(PathOf(name), image, &error)) << error;
    }

    picture_io::Picture LoadPicture(const std::string& name) const {
        picture_io::Picture image;
        std::string error;
        EXPECT_TRUE(files::ReadPicture(PathOf(name), &image, &error)) << error;
        return image;
    }

    std::vector<std::string> FileNames(const fs::path& where) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(where))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

struct BadCase {
    const char* what;
    std::vector<std::string> args; // "IN" is a valid 8 x 6 PNG, "OUT" the output in the test dir
    int exitCode;
    const char* message; // part of the one-line message
};

// Distinct colours everywhere, so that a swapped channel or a shifted row shows.
inline picture_io::Picture Varied(int32_t w, int32_t h) {
    picture_io::Picture image = Uniform(w, h, 0);
    uint32_t state = 12345;
    for (uint32_t& p : image.pixels) {
        state = state * 1103515245u + 12345u;
        p = state >> 8 & 0x00FFFFFFu;
    }
    return image;
}

#endif
