#include "bench_images.h"

#include <time.h>

#include <random>
#include <utility>

namespace bench {

enum { Side = 4096 };

BenchImage UniformImage() {
    BenchImage image;
    image.name = "uniform";
    image.width = image.height = Side;
    image.pixels.assign(size_t(Side) * Side, 0x00808080u);
    image.seedX = image.seedY = Side / 2;
    return image;
}

// Smooth random shading: a coarse grid of random values, bilinearly interpolated.
static void AddShading(std::vector<int>& field, int spacing, int amplitude, std::mt19937& random) {
    const int cells = Side / spacing + 2;
    std::vector<int> grid(size_t(cells) * cells);
    for (int& value : grid)
        value = int(random() % uint32_t(2 * amplitude + 1)) - amplitude;
    for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) {
            const int cx = x / spacing, cy = y / spacing;
            const int fx = x % spacing, fy = y % spacing;
            const int64_t top = int64_t(grid[size_t(cy * cells + cx)]) * (spacing - fx) +
                                int64_t(grid[size_t(cy * cells + cx + 1)]) * fx;
            const int64_t bottom = int64_t(grid[size_t((cy + 1) * cells + cx)]) * (spacing - fx) +
                                   int64_t(grid[size_t((cy + 1) * cells + cx + 1)]) * fx;
            field[size_t(y) * Side + size_t(x)] +=
                int((top * (spacing - fy) + bottom * fy) / (int64_t(spacing) * spacing));
        }
}

static int Clamp(int channel) {
    return channel < 0 ? 0 : channel > 255 ? 255 : channel;
}

BenchImage PhotographImage() {
    std::mt19937 random(1871);
    std::vector<int> light(size_t(Side) * Side, 128), tint(size_t(Side) * Side, 0);
    AddShading(light, 512, 90, random);
    AddShading(light, 128, 40, random);
    AddShading(light, 32, 14, random);
    AddShading(tint, 256, 30, random);

    BenchImage image;
    image.name = "photograph";
    image.width = image.height = Side;
    image.pixels.resize(size_t(Side) * Side);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const uint32_t noise = random();
        const int red = Clamp(light[i] + tint[i] + int(noise & 3) - 1);
        const int green = Clamp(light[i] + int((noise >> 2) & 3) - 1);
        const int blue = Clamp(light[i] - tint[i] + int((noise >> 4) & 3) - 1);
        image.pixels[i] = PackedColour(red) << 16 | PackedColour(green) << 8 | PackedColour(blue);
    }
    image.seedX = image.seedY = Side / 2;
    image.stepText = "3";
    image.seedText = "48";
    return image;
}

// Corridor cells at odd coordinates, carved by a depth-first walk that visits every cell once.
BenchImage MazeImage() {
    const int32_t side = Side - 1, cells = side / 2;
    const PackedColour wall = 0x00202020u, corridor = 0x00E0E0E0u;
    BenchImage image;
    image.name = "maze";
    image.width = image.height = side;
    image.pixels.assign(size_t(side) * side, wall);
    auto open = [&](int32_t x, int32_t y) {
        image.pixels[size_t(y) * side + size_t(x)] = corridor;
    };

    std::mt19937 random(4242);
    std::vector<uint8_t> visited(size_t(cells) * cells, 0);
    std::vector<std::pair<int32_t, int32_t>> path = {{0, 0}};
    visited[0] = 1;
    open(1, 1);
    const int32_t steps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    while (!path.empty()) {
        const auto [cx, cy] = path.back();
        int32_t choices[4], count = 0;
        for (int32_t i = 0; i < 4; ++i) {
            const int32_t nx = cx + steps[i][0], ny = cy + steps[i][1];
            if (nx >= 0 && ny >= 0 && nx < cells && ny < cells && !visited[size_t(ny * cells + nx)])
                choices[count++] = i;
        }
        if (count == 0) {
            path.pop_back();
            continue;
        }
        const int32_t* step = steps[choices[random() % uint32_t(count)]];
        const int32_t nx = cx + step[0], ny = cy + step[1];
        visited[size_t(ny * cells + nx)] = 1;
        open(2 * cx + 1 + step[0], 2 * cy + 1 + step[1]);
        open(2 * nx + 1, 2 * ny + 1);
        path.push_back({nx, ny});
    }
    image.seedX = image.seedY = 1;
    return image;
}

double ThreadSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

} // namespace bench
