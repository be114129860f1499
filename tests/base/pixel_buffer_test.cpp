// Pixel buffers: big ones on huge-page boundaries and usable; a size no machine has
// is std::bad_alloc (a failed read for the callers), never an abort.
#include "base/pixel_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>

TEST(PixelBuffer, BigBuffersAreAlignedAndRefusedWhenImpossible) {
    PixelVector<uint32_t> v(size_t{5} << 20, 0); // 20 MB
    EXPECT_EQ(reinterpret_cast<uintptr_t>(v.data()) % pix::kHuge, 0u);
    v.back() = 7;
    PixelVector<uint8_t> picture(1920 * 1080); // just under one huge page
    EXPECT_EQ(reinterpret_cast<uintptr_t>(picture.data()) % pix::kHuge, 0u);
    v.resize(v.size() + 1, 9); // grows into a new mapping, keeping the values
    EXPECT_EQ(v[v.size() - 2], 7u);
    EXPECT_EQ(v.back(), 9u);
    PixelVector<uint8_t> small(100, 3);
    EXPECT_EQ(small[99], 3);
    PixelAllocator<uint8_t> a;
    EXPECT_THROW(a.allocate(size_t{1} << 62), std::bad_alloc);
    EXPECT_THROW(a.allocate(SIZE_MAX), std::bad_alloc);
}
