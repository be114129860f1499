// Pixel buffers of whole images. A fresh buffer of tens of megabytes costs more in page
// faults (one per 4 KB page on first touch) than in the bytes written to it; asking for
// huge pages on it first makes that a few dozen faults. Readers reserve the bytes the
// file still holds, advise, then fill: no buffer grows by reallocation and copying.
#pragma once

#include <sys/mman.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// Bytes of a regular file from the stream's offset at to its end; SIZE_MAX for
// streams of unknown size (pipes, terminals).
inline size_t PIX_bytes_left(FILE *stream, int64_t at) {
    struct stat st {};
    if (!stream || fstat(fileno(stream), &st) != 0 || !S_ISREG(st.st_mode))
        return SIZE_MAX;
    return st.st_size > at && at >= 0 ? size_t(st.st_size - at) : 0;
}

// Room for n elements in v (nothing is added), on huge pages where the system has them.
// Throws std::bad_alloc.
template <class T> void PIX_reserve(std::vector<T> &v, size_t n) {
    v.reserve(n);
    constexpr uintptr_t kHuge = uintptr_t{1} << 21;
    const uintptr_t begin = (uintptr_t(v.data()) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (uintptr_t(v.data()) + v.capacity() * sizeof(T)) & ~(kHuge - 1);
    if (end > begin)
        madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE); // advice only
}
