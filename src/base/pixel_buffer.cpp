#include "base/pixel_buffer.h"

#include <sys/mman.h>

#include <cstdint>

namespace pix {

namespace {
constexpr size_t kSmall = 4096;

// Bytes mapped for a buffer: whole huge pages when that wastes at most a quarter of the
// buffer (a 1920 x 1080 byte picture in one page); otherwise whole small pages, so that
// the huge pages cover the buffer but its tail (a 640 x 427 frame of 4-byte pixels in
// a 2 MB page would almost double the memory of a loop of them).
size_t mapped_bytes(size_t bytes) {
    const size_t whole = (bytes + kHuge - 1) & ~(kHuge - 1);
    return whole - bytes <= bytes / 4 ? whole : (bytes + kSmall - 1) & ~(kSmall - 1);
}
} // namespace

void *map_huge(size_t bytes) {
    if (bytes > SIZE_MAX - 2 * kHuge)
        throw std::bad_alloc();
    const size_t len = mapped_bytes(bytes);
    // One huge page more than needed, so that an aligned run of len bytes lies inside;
    // the ends around it go back at once.
    void *m =
        mmap(nullptr, len + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(m);
    const uintptr_t aligned = (start + kHuge - 1) & ~uintptr_t(kHuge - 1);
    if (aligned > start)
        munmap(m, aligned - start);
    if (const size_t tail = start + len + kHuge - (aligned + len); tail > 0)
        munmap(reinterpret_cast<void *>(aligned + len), tail);
    void *p = reinterpret_cast<void *>(aligned);
    madvise(p, len, MADV_HUGEPAGE); // advice only: small pages where there are no huge ones
    return p;
}

void unmap_huge(void *p, size_t bytes) {
    if (p)
        munmap(p, mapped_bytes(bytes));
}

} // namespace pix
