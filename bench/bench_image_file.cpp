// bench_image_file.cpp - writes one of the benchmarks' pictures (bench_images.h) as a PNG file,
// for the page's benchmark (web/scripts/speed.js), and prints its seed and tolerances.
//
//   bench_image_file uniform|photograph|maze OUT.png [WIDTH HEIGHT]
//
// WIDTH and HEIGHT, when given, keep the picture's top left corner of that size, with the seed
// moved to its middle.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "bench_images.h"
#include "picture_io.h"

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        fprintf(stderr, "usage: bench_image_file uniform|photograph|maze OUT.png [WIDTH HEIGHT]\n");
        return 2;
    }
    const std::string name = argv[1];
    bench::BenchImage image = name == "uniform"      ? bench::UniformImage()
                              : name == "photograph" ? bench::PhotographImage()
                              : name == "maze"       ? bench::MazeImage()
                                                     : bench::BenchImage();
    if (image.width == 0) {
        fprintf(stderr, "bench_image_file: no picture named %s\n", argv[1]);
        return 2;
    }
    picture_io::Picture picture;
    picture.width = image.width;
    picture.height = image.height;
    if (argc == 5) {
        picture.width = atoi(argv[3]);
        picture.height = atoi(argv[4]);
        if (picture.width < 1 || picture.height < 1 || picture.width > image.width ||
            picture.height > image.height) {
            fprintf(stderr, "bench_image_file: %s is %d x %d\n", argv[1], image.width,
                    image.height);
            return 2;
        }
        image.seedX = picture.width / 2;
        image.seedY = picture.height / 2;
    }
    for (int32_t y = 0; y < picture.height; ++y)
        for (int32_t x = 0; x < picture.width; ++x)
            picture.pixels.push_back(image.pixels[size_t(y) * size_t(image.width) + size_t(x)]);
    FILE* file = fopen(argv[2], "wb");
    std::string reason;
    if (file == nullptr || !picture_io::WritePng(file, picture, &reason) || fclose(file) != 0) {
        fprintf(stderr, "bench_image_file: %s: %s\n", argv[2], reason.c_str());
        return 1;
    }
    printf("%d %d %s %s\n", image.seedX, image.seedY, image.stepText, image.seedText);
    return 0;
}
