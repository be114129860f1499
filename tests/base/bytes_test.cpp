// Byte cursor: the endian getters, and reads and seeks that stop at the end of
// the data, in memory, through a small stream buffer and from a pipe.
#include "base/bytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <numeric>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
constexpr auto kBig = std::endian::big;
constexpr auto kLittle = std::endian::little;

// Bytes 0, 1, ..., n - 1 (modulo 256).
Bytes counting(size_t n) {
    Bytes b(n);
    std::iota(b.begin(), b.end(), uint8_t{0});
    return b;
}

TEST(ByteCursor, EndianGettersAndTheEnd) {
    const Bytes b = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xFF, 0xFE, 0x80};
    ByteCursor c(b);
    EXPECT_EQ(c.u16(kBig), 0x0102);
    EXPECT_EQ(c.u16(kLittle), 0x0403);
    c.seek(0);
    EXPECT_EQ(c.u32(kBig), 0x01020304u);
    EXPECT_EQ(c.u32(kLittle), 0x08070605u);
    c.seek(0);
    EXPECT_EQ(c.u64(kBig), 0x0102030405060708u);
    c.seek(0);
    EXPECT_EQ(c.u64(kLittle), 0x0807060504030201u);
    EXPECT_EQ(c.i16(kBig), -2);
    c.seek(8);
    EXPECT_EQ(c.i16(kLittle), -257);
    c.seek(7);
    EXPECT_EQ(c.i32(kBig), static_cast<int32_t>(0x08FFFE80u));
    // Three bytes left: a 32-bit read fails and leaves the cursor at the end.
    c.seek(8);
    EXPECT_EQ(c.u32(kBig), std::nullopt);
    EXPECT_EQ(c.pos(), 11);
    EXPECT_EQ(c.get_byte(), -1);
    EXPECT_EQ(c.u8(), std::nullopt);
    EXPECT_EQ(c.size(), 11);
    // Seeks within the data only; skips forward only.
    EXPECT_TRUE(c.seek(11));
    EXPECT_FALSE(c.seek(12));
    EXPECT_FALSE(c.seek(-1));
    EXPECT_TRUE(c.seek(10));
    EXPECT_FALSE(c.skip(-1));
    EXPECT_FALSE(c.skip(2));
    EXPECT_EQ(c.peek_byte(), 0x80);
    Bytes out(5, 0xAA);
    EXPECT_EQ(c.read(out), 1u);
    EXPECT_EQ(out[0], 0x80);
    EXPECT_EQ(out[1], 0xAA) << "a short read must not write past what it got";
}

TEST(ByteCursor, StreamThroughASmallBuffer) {
    const Bytes b = counting(1000);
    std::FILE *f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(b.data(), 1, b.size(), f), b.size());
    std::fseek(f, 100, SEEK_SET); // positions are the stream's own offsets
    ByteCursor c(f, 16);
    EXPECT_EQ(c.size(), 1000);
    EXPECT_EQ(c.pos(), 100);
    EXPECT_EQ(c.u32(kBig), 0x64656667u);
    // Across several refills, then a block larger than the buffer straight in.
    Bytes out(40);
    ASSERT_EQ(c.read(out), 40u);
    EXPECT_EQ(out, Bytes(b.begin() + 104, b.begin() + 144));
    ASSERT_TRUE(c.seek(10)); // back behind the buffer: the stream seeks
    EXPECT_EQ(c.u16(kLittle), 0x0B0A);
    ASSERT_TRUE(c.skip(986));
    EXPECT_EQ(c.pos(), 998);
    EXPECT_EQ(c.u32(kBig), std::nullopt);
    EXPECT_EQ(c.get_byte(), -1);
    EXPECT_FALSE(c.seek(1001)) << "beyond a regular file's end";
    std::fclose(f);
}

TEST(ByteCursor, PipesAreReadForwardOnly) {
    std::FILE *p = popen("head -c 300 /dev/zero", "r");
    ASSERT_NE(p, nullptr);
    ByteCursor c(p, 16);
    EXPECT_EQ(c.size(), -1);
    EXPECT_TRUE(c.seek(200)) << "a forward seek reads through";
    EXPECT_EQ(c.pos(), 200);
    EXPECT_FALSE(c.seek(10)) << "behind the buffer of a pipe";
    EXPECT_FALSE(c.seek(301));
    pclose(p);
}

} // namespace
