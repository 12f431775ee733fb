// picture_source.h - the bytes of one picture file, for the header readers and the decoders.
//
// A regular file is read through its FILE and seeks where it is told; its size is known from
// the start, so a reader can tell a cut file before decoding it. Anything else (a pipe, a FIFO,
// a character device) can be read only once: what has been read is kept in memory, so that the
// decoder can go back to the start after the header has been read. A stream is read up to
// `limit` bytes; past that it is refused as a regular file would not be.
#ifndef TOOLS_PICTURE_SOURCE_H
#define TOOLS_PICTURE_SOURCE_H

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

struct PictureSource {
    FILE* file = nullptr;
    bool regular = false, directory = false;
    int64_t size = -1;               // a regular file's size; -1 for a stream not read to its end
    int64_t position = 0;            // of the next byte Read() returns
    int64_t limit = 0;               // a stream: the most bytes kept (see SetStreamLimit)
    bool overLimit = false;          // a stream went on past `limit`
    bool readFailed = false;         // the system reported an error (not the end of the file)
    std::vector<unsigned char> kept; // a stream: every byte read so far

    ~PictureSource();
    // Takes `opened` over. False, with errno set, if it cannot be examined.
    bool Start(FILE* opened);
    // Up to `count` bytes from the position on; fewer only at the end of the file.
    size_t Read(void* to, size_t count);
    // Moves to `offset` from the start; false past the end (a stream is read up to it).
    bool Seek(int64_t offset);
    bool Skip(int64_t count) { return Seek(position + count); }
    // Whether the file holds at least `count` bytes in all (a stream is read that far).
    bool HasBytes(int64_t count);
    bool AtEnd();
    void SetStreamLimit(int64_t bytes) { limit = bytes; }

  private:
    bool Fill(int64_t end); // a stream: reads until `kept` holds `end` bytes or the input ends
};

// Big-endian and little-endian words in a header.
inline uint32_t BigEndian32(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline uint32_t BigEndian16(const unsigned char* p) {
    return uint32_t(p[0]) << 8 | p[1];
}
inline uint32_t LittleEndian32(const unsigned char* p) {
    return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}
inline uint32_t LittleEndian16(const unsigned char* p) {
    return uint32_t(p[1]) << 8 | p[0];
}

#endif
