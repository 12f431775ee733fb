// png_deflate.h - the zlib stream inside the tool's PNG files, made fast.
//
// stb_image_write filters the PNG rows and hands the filtered bytes to a zlib compressor; its
// own keeps a growing list of earlier positions per hash and searches it at every byte, which
// makes it the slowest step of a run on a big picture. This one does what that one does at
// its core (LZ77 matches coded with deflate's fixed Huffman codes, one final block) with
// less search: one earlier position per hash of four bytes, the longest match there taken
// greedily. Its output is a valid zlib stream any inflater reads; it depends only on the input
// bytes, so every build writes the same file for the same picture.
#ifndef TOOLS_PNG_DEFLATE_H
#define TOOLS_PNG_DEFLATE_H

// stb_image_write's zlib hook: compresses `length` bytes at `data` into a zlib stream in a
// buffer from malloc (freed by the caller with free), its size in *outLength; `quality` is
// ignored. Returns null when memory runs out.
unsigned char* PngDeflate(unsigned char* data, int length, int* outLength, int quality);

#endif
