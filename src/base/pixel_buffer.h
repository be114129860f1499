// Pixel buffers of whole images. A fresh buffer of tens of megabytes costs more in page
// faults (one per 4 KB page on first touch) than in the bytes written to it. Buffers of
// 1 MB and more are therefore mapped on 2 MB boundaries and advised to use huge pages,
// which makes that a few faults per buffer (a 1920 x 1080 picture of bytes, just under
// 2 MB, is one fault instead of 507); smaller ones come from the heap. Readers
// reserve the bytes the file still holds, then fill: no buffer grows by reallocation and
// copying.
#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <utility>
#include <vector>

// Bytes of a regular file from the stream's offset at to its end; SIZE_MAX for
// streams of unknown size (pipes, terminals).
inline size_t PIX_bytes_left(FILE *stream, int64_t at) {
    struct stat st {};
    if (!stream || fstat(fileno(stream), &st) != 0 || !S_ISREG(st.st_mode))
        return SIZE_MAX;
    return st.st_size > at && at >= 0 ? size_t(st.st_size - at) : 0;
}

namespace pix {

inline constexpr size_t kHuge = size_t{1} << 21;
// Smallest buffer mapped in huge pages: half a page, so at most half of one is unused.
inline constexpr size_t kHugeFrom = kHuge / 2;

// A mapping of at least bytes on a huge-page boundary, advised to use huge pages;
// throws std::bad_alloc.
void *map_huge(size_t bytes);
void unmap_huge(void *p, size_t bytes);

} // namespace pix

// The allocator of pixel buffers: huge-page mappings from pix::kHugeFrom bytes up. Elements
// made without a value are left as they are (resize(n) does not clear what a read is about
// to fill): whoever needs zeros asks for them, as in resize(n, 0).
template <class T> struct PixelAllocator {
    using value_type = T;
    PixelAllocator() noexcept = default;
    template <class U> PixelAllocator(const PixelAllocator<U> &) noexcept {}

    T *allocate(size_t n) {
        if (n > SIZE_MAX / sizeof(T))
            throw std::bad_alloc();
        if (n * sizeof(T) < pix::kHugeFrom)
            return std::allocator<T>().allocate(n);
        return static_cast<T *>(pix::map_huge(n * sizeof(T)));
    }
    void deallocate(T *p, size_t n) noexcept {
        if (n * sizeof(T) < pix::kHugeFrom)
            std::allocator<T>().deallocate(p, n);
        else
            pix::unmap_huge(p, n * sizeof(T));
    }
    template <class U, class... Args> void construct(U *p, Args &&...args) {
        if constexpr (sizeof...(Args) == 0)
            ::new (static_cast<void *>(p)) U;
        else
            ::new (static_cast<void *>(p)) U(std::forward<Args>(args)...);
    }
    template <class U> bool operator==(const PixelAllocator<U> &) const noexcept { return true; }
};

template <class T> using PixelVector = std::vector<T, PixelAllocator<T>>;

// Pixels compare with plain byte vectors by value.
template <class T> bool operator==(const PixelVector<T> &a, const std::vector<T> &b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}
