// XWD writer and reader: our true-colour files convert with netpbm's xwdtopnm to the pixels
// we put in; screenshots that xwd takes of Xvfb at depths 24, 16 and 8 read to the pixels
// xwdtopnm makes of them. Header words checked by hand follow the XWD layout.

#include <gtest/gtest.h>

#include "base/mess.h"
#include "gks/codec.h"
#include "gks/codec_oracle.h"
#include "gks/xdump.h"

namespace {

using testsupport::TempDir;

uint32_t be32(const std::string &b, size_t at) {
    return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 |
           uint32_t(uint8_t(b[at + 2])) << 8 | uint8_t(b[at + 3]);
}

void set_be32(std::string &b, size_t at, uint32_t v) {
    for (int k = 0; k < 4; ++k)
        b[at + size_t(k)] = static_cast<char>(v >> (24 - 8 * k));
}

// A 24-bit picture stored in 32 bits (least significant byte first) or 24 bits (most
// significant first); colour (x * 9, y * 13, x ^ y).
IMAGE truecolour(int nx, int ny, int bits, std::vector<uint8_t> &expect) {
    IMAGE im;
    IMG_init(&im);
    im.nx = nx;
    im.ny = ny;
    im.depth = 24;
    im.bits_per_pixel = bits;
    im.byte_order = bits == 32 ? 0 : 1;
    im.bytes_per_line = ((bits / 8) * nx + 3) / 4 * 4 + 4; // rows padded to 32 bits
    im.red_mask = 0xFF0000;
    im.green_mask = 0xFF00;
    im.blue_mask = 0xFF;
    im.info = "truecolour";
    im.data.assign(size_t(im.bytes_per_line) * ny, 0);
    expect.clear();
    for (int y = 0; y < ny; ++y)
        for (int x = 0; x < nx; ++x) {
            const uint8_t c[3] = {uint8_t(x * 9), uint8_t(y * 13), uint8_t(x ^ y)};
            uint8_t *p = im.data.data() + size_t(y) * im.bytes_per_line + size_t(x) * (bits / 8);
            for (int k = 0; k < 3; ++k)
                p[bits == 32 ? 2 - k : k] = c[k];
            expect.insert(expect.end(), c, c + 3);
        }
    return im;
}

class XwdTest : public ::testing::Test {
  protected:
    void TearDown() override {
        CODEC_reset_state();
        MESS_reset_state();
    }
    TempDir dir;
};

TEST_F(XwdTest, WriterLayoutAndTrueColourFilesThatXwdtopnmConverts) {
    XSAT_REQUIRE_PROGRAM("xwdtopnm");
    for (int bits : {32, 24}) {
        std::vector<uint8_t> expect;
        const IMAGE im = truecolour(21, 13, bits, expect);
        const std::string f = dir.file("t.xwd");
        ASSERT_EQ(XWD_write(f.c_str(), &im), 1);
        const auto got = oracle::xwdtopnm(f);
        ASSERT_TRUE(got) << bits;
        EXPECT_EQ(got->px, expect) << bits;
    }

    // An indexed record: the header table, the name, 16-byte colour entries, the pixels.
    IMAGE im;
    IMG_init(&im);
    im.nx = 3;
    im.ny = 2;
    im.depth = im.bits_per_pixel = 8;
    im.bytes_per_line = 4;
    im.color_type = 1;
    im.num_colors = 2;
    im.colors = std::make_shared<std::vector<float>>(std::vector<float>{1, 0.5f, 0, 0, 0, 1});
    im.info = "win";
    im.data = {0, 1, 1, 9, 1, 0, 0, 9};
    const std::string f = dir.file("i.xwd");
    ASSERT_EQ(XWD_write(f.c_str(), &im), 1);
    const std::string b = testsupport::read_file(f);
    ASSERT_EQ(b.size(), 104u + 32 + 8);
    const uint32_t words[25] = {104, 7, 2, 8, 3, 2, 0, 1, 32, 1, 32, 8, 4,
                                3,   0, 0, 0, 8, 2, 2, 3, 2,  0, 0,  0};
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(be32(b, 4 * size_t(i)), words[i]) << "word " << i;
    EXPECT_EQ(b.substr(100, 4), std::string("win\0", 4));
    EXPECT_EQ(b.substr(104, 16), std::string("\0\0\0\0\0\0\0\0\xff\xff\x7f\xff\0\0\x07\0", 16));
    EXPECT_EQ(b.substr(120, 16), std::string("\0\0\0\x01\0\0\0\0\0\0\0\0\xff\xff\x07\0", 16));
    EXPECT_EQ(b.substr(136), std::string("\0\x01\x01\x09\x01\0\0\x09", 8));
    // Read back: the colour entries by their pixel values.
    IMAGE back;
    back.depth = 8;
    ASSERT_EQ(XWD_read(f.c_str(), &back, 0), 1);
    EXPECT_EQ(back.info, "win");
    EXPECT_EQ(back.color_type, 1);
    EXPECT_EQ(*back.colors, (std::vector<float>{1, 32767 / 65535.0f, 0, 0, 0, 1}));
    EXPECT_EQ(back.data, im.data);
}

TEST_F(XwdTest, ReadsXvfbScreenshotsAtDepths24_16And8) {
    XSAT_REQUIRE_PROGRAM("xvfb-run");
    XSAT_REQUIRE_PROGRAM("xwdtopnm");
    XSAT_REQUIRE_PROGRAM("xlogo");
    for (int depth : {24, 16, 8}) {
        SCOPED_TRACE("depth " + std::to_string(depth));
        const std::string f = dir.file("s" + std::to_string(depth) + ".xwd");
        const auto r = testsupport::run_program(
            "xvfb-run", {"-a", "-s", "-screen 0 120x90x" + std::to_string(depth), "sh", "-c",
                         "xlogo -fg red -bg '#3366cc' -geometry 60x50+10+10 & sleep 0.7; "
                         "xwd -root -silent -out '" +
                             f + "'"});
        ASSERT_EQ(r.status, 0) << r.err;
        const auto want = oracle::xwdtopnm(f);
        ASSERT_TRUE(want);
        IMAGE im;
        im.depth = 24;
        ASSERT_EQ(XWD_read(f.c_str(), &im, 0), 1);
        ASSERT_EQ(im.nx, 120);
        ASSERT_EQ(im.ny, 90);
        EXPECT_EQ(im.depth, depth);
        const std::vector<uint8_t> ours = oracle::record_rgb(im);
        ASSERT_EQ(ours.size(), want->px.size());
        // xwdtopnm scales a w-bit field to 0..255; we shift it: compare the fields.
        size_t diffs = 0;
        for (size_t i = 0; i < ours.size(); ++i) {
            int w = 8;
            if (depth == 16)
                w = i % 3 == 1 ? 6 : 5;
            const int field = (want->px[i] * ((1 << w) - 1) + 127) / 255;
            diffs += field != ours[i] >> (8 - w);
        }
        EXPECT_EQ(diffs, 0u);
    }
}

TEST_F(XwdTest, RefusesBadVersionsDepthsAndLyingSizes) {
    std::vector<uint8_t> expect;
    const IMAGE src = truecolour(10, 6, 32, expect);
    const std::string f = dir.file("a.xwd");
    ASSERT_EQ(XWD_write(f.c_str(), &src), 1);
    const std::string b = testsupport::read_file(f);
    auto read = [&](const std::string &bytes, int record_depth) {
        IMAGE im;
        im.depth = record_depth;
        const int rc = XWD_read(dir.write("x.xwd", bytes).c_str(), &im, 0);
        EXPECT_TRUE(rc == 1 || im.data.empty());
        return rc;
    };
    testsupport::Capture err(2);
    EXPECT_EQ(read(b, 24), 1);
    std::string v6 = b;
    set_be32(v6, 4, 6);
    EXPECT_EQ(read(v6, 24), 0);
    EXPECT_EQ(read(b, 16), 0);
    std::string small = b;
    set_be32(small, 0, 60);
    EXPECT_EQ(read(small, 24), 0);
    std::string long_name = b;
    set_be32(long_name, 0, 0x7fffffff);
    EXPECT_EQ(read(long_name, 24), 0);
    std::string tall = b;
    set_be32(tall, 20, 1000000);
    EXPECT_EQ(read(tall, 24), 0);
    std::string short_rows = b;
    set_be32(short_rows, 48, 8);
    EXPECT_EQ(read(short_rows, 24), 0);
    std::string colours = b;
    set_be32(colours, 76, 1000);
    EXPECT_EQ(read(colours, 24), 0);
    EXPECT_EQ(read(b.substr(0, b.size() - 1), 24), 0);
    EXPECT_EQ(read(b.substr(0, 50), 24), 0);
    const std::string text = err.text();
    for (const char *m :
         {"XWD file format version mismatch\n", "Incorrect depth: 24 > 16\n",
          "XWD header size is too small.\n", "Unable to read window name from dump file.\n",
          "header sizes do not agree", "Unable to read color map from dump file.\n",
          "Unable to read pixmap from dump file.\n", "Unable to read dump file header\n"})
        EXPECT_NE(text.find(m), std::string::npos) << m;
}

} // namespace
