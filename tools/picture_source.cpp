#include "picture_source.h"

#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <new>

#ifdef _WIN32
#define SeekFile _fseeki64
#define FileStat _stat64
#define FileStatOf _fstat64
#else
#define SeekFile fseeko
#define FileStat stat
#define FileStatOf fstat
#endif

PictureSource::~PictureSource() {
    if (file != nullptr)
        fclose(file);
}

bool PictureSource::Start(FILE* opened) {
    file = opened;
    struct FileStat status;
    if (FileStatOf(fileno(file), &status) != 0)
        return false;
    regular = (status.st_mode & S_IFMT) == S_IFREG;
    directory = (status.st_mode & S_IFMT) == S_IFDIR;
    size = regular ? int64_t(status.st_size) : -1;
    return true;
}

bool PictureSource::Fill(int64_t end) {
    end = std::min(end, limit + 1);
    while (int64_t(kept.size()) < end && size < 0) {
        const size_t before = kept.size();
        const size_t want = size_t(std::max<int64_t>(end - int64_t(before), 1 << 16));
        try {
            kept.resize(before + want);
        } catch (const std::bad_alloc&) {
            kept.resize(before);
            readFailed = true;
            return false;
        }
        const size_t got = fread(kept.data() + before, 1, want, file);
        kept.resize(before + got);
        if (got < want) {
            readFailed = ferror(file) != 0;
            size = int64_t(kept.size()); // the stream has ended
        }
    }
    if (int64_t(kept.size()) > limit)
        overLimit = true;
    return int64_t(kept.size()) >= end;
}

size_t PictureSource::Read(void* to, size_t count) {
    if (!regular) {
        Fill(position + int64_t(count));
        const int64_t available = std::max<int64_t>(int64_t(kept.size()) - position, 0);
        const size_t n = size_t(std::min<int64_t>(available, int64_t(count)));
        if (n > 0)
            memcpy(to, kept.data() + position, n);
        position += int64_t(n);
        return n;
    }
    const size_t n = fread(to, 1, count, file);
    if (n < count && ferror(file))
        readFailed = true;
    position += int64_t(n);
    return n;
}

bool PictureSource::Seek(int64_t offset) {
    if (offset < 0)
        return false;
    if (!regular) {
        Fill(offset);
        position = std::min<int64_t>(offset, int64_t(kept.size()));
        return position == offset;
    }
    // Past the end, reads find the end.
    const int64_t to = offset < size ? offset : size;
    if (SeekFile(file, to, SEEK_SET) != 0) {
        readFailed = true;
        return false;
    }
    position = to;
    return to == offset;
}

bool PictureSource::HasBytes(int64_t count) {
    if (!regular)
        Fill(count);
    return size >= count || int64_t(kept.size()) >= count;
}

bool PictureSource::AtEnd() {
    return !HasBytes(position + 1);
}
