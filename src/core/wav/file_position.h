// 64-bit positions in stdio streams. On Windows `long` is 32 bits even in 64-bit builds,
// so fseek and ftell cannot reach past 2 GiB; these can, and say when they fail.
#pragma once
#include <cstdint>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

inline bool seekFile(std::FILE* file, uint64_t offset, int origin = SEEK_SET) {
    if (!file || offset > static_cast<uint64_t>(INT64_MAX)) return false;
#ifdef _WIN32
    return _fseeki64(file, static_cast<long long>(offset), origin) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), origin) == 0;
#endif
}

// Hands what was written to the disk itself, so a file renamed into place afterwards
// survives a crash or a power cut whole.
inline bool syncFile(std::FILE* file) {
    if (!file || std::fflush(file) != 0) return false;
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

// False, and position untouched, when the stream cannot tell where it is.
inline bool tellFile(std::FILE* file, uint64_t& position) {
    if (!file) return false;
#ifdef _WIN32
    const long long p = _ftelli64(file);
#else
    const off_t p = ftello(file);
#endif
    if (p < 0) return false;
    position = static_cast<uint64_t>(p);
    return true;
}
