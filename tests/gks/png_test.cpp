// PNG writer and reader against ImageMagick and pngcheck: our palette files pass pngcheck
// and decode to the pixels we put in; grey, palette, RGB, RGBA, 16-bit and interlaced files
// made by ImageMagick read to the pixels it decodes.

#include <gtest/gtest.h>

#include <cstdlib>

#include "base/mess.h"
#include "gks/codec.h"
#include "gks/codec_oracle.h"
#include "gks/gks.h"
#include "gks/png.h"

namespace {

using testsupport::TempDir;

// A true-colour 32-bit grab (least significant byte first, two surplus pixels per row) or an
// 8-bit indexed record of the same picture: colour k = (k, 255 - k, 3k) for k below 200.
IMAGE picture(int nx, int ny, bool indexed, std::vector<uint8_t> &expect) {
    IMAGE im;
    IMG_init(&im);
    im.nx = nx;
    im.ny = ny;
    im.byte_order = 0;
    auto k_at = [](int x, int y) { return (x * 5 + y * 11) % 200; };
    if (indexed) {
        im.depth = im.bits_per_pixel = 8;
        im.color_type = 1;
        im.bytes_per_line = nx;
        auto t = std::make_shared<std::vector<float>>();
        for (int k = 0; k < 200; ++k)
            t->insert(t->end(), {k / 255.0f, (255 - k) / 255.0f, (3 * k % 256) / 255.0f});
        im.colors = t;
        im.num_colors = 200;
    } else {
        im.depth = 24;
        im.bits_per_pixel = 32;
        im.bytes_per_line = 4 * (nx + 2);
        im.red_mask = 0xFF0000;
        im.green_mask = 0xFF00;
        im.blue_mask = 0xFF;
    }
    im.data.assign(size_t(im.bytes_per_line) * ny, 0x5A);
    expect.clear();
    for (int y = 0; y < ny; ++y)
        for (int x = 0; x < nx; ++x) {
            const int k = k_at(x, y);
            const uint8_t rgb[3] = {uint8_t(k), uint8_t(255 - k), uint8_t(3 * k % 256)};
            uint8_t *p = im.data.data() + size_t(y) * im.bytes_per_line;
            if (indexed) {
                p[x] = static_cast<uint8_t>(k);
                // The writer truncates component x 255.
                for (uint8_t c : rgb)
                    expect.push_back(static_cast<uint8_t>(static_cast<float>(c / 255.0f) * 255.0f));
            } else {
                p += 4 * x;
                p[0] = rgb[2];
                p[1] = rgb[1];
                p[2] = rgb[0];
                expect.insert(expect.end(), rgb, rgb + 3);
            }
        }
    return im;
}

class PngTest : public ::testing::Test {
  protected:
    void TearDown() override {
        CODEC_reset_state();
        MESS_reset_state();
        unsetenv("SOURCE_DATE_EPOCH");
    }
    TempDir dir;
};

TEST_F(PngTest, WriterMakesPalettePngsWithTextThatOthersDecode) {
    XSAT_REQUIRE_PROGRAM("pngcheck");
    XSAT_REQUIRE_PROGRAM("/usr/bin/convert");
    setenv("SOURCE_DATE_EPOCH", "86400", 1);
    gset_win_title("codec test");
    for (bool indexed : {true, false}) {
        SCOPED_TRACE(indexed ? "indexed" : "32-bit");
        std::vector<uint8_t> expect;
        const IMAGE im = picture(45, 31, indexed, expect);
        const std::vector<uint8_t> before(im.data.begin(), im.data.end());
        const std::string f = dir.file("w.png");
        ASSERT_EQ(PNG_write(f.c_str(), &im), 1);
        EXPECT_EQ(im.data, before) << "the record stays unchanged";
        const auto check = testsupport::run_program("pngcheck", {"-t", f});
        EXPECT_EQ(check.status, 0) << check.out;
        EXPECT_NE(check.out.find("Title:\n    codec test"), std::string::npos) << check.out;
        EXPECT_NE(check.out.find("Software:\n    ZOR - Zorbase v5.0"), std::string::npos);
        EXPECT_NE(check.out.find("Creation Time:\n    02 Jan 1970 00:00:00 GMT"),
                  std::string::npos);
        // IHDR: 8 bits, colour type 3 (palette); PLTE of 256 entries.
        const std::string b = testsupport::read_file(f);
        EXPECT_EQ(b.substr(24, 2), std::string("\x08\x03", 2));
        EXPECT_EQ(b.substr(33, 8), std::string("\x00\x00\x03\x00PLTE", 8));
        const auto got = oracle::magick(f);
        ASSERT_TRUE(got);
        EXPECT_EQ(got->px, expect);
    }
    gset_win_title("");
}

TEST_F(PngTest, ReadsGreyPaletteRgbRgbaDeepAndInterlacedFiles) {
    XSAT_REQUIRE_PROGRAM("/usr/bin/convert");
    std::vector<uint8_t> src;
    picture(45, 31, false, src);
    std::string ppm = "P6\n45 31\n255\n";
    ppm.append(src.begin(), src.end());
    const std::string in = dir.write("src.ppm", ppm);
    struct Made {
        const char *name;
        std::vector<std::string> args;
        int depth, bits_per_pixel, color_type;
    } made[] = {
        {"palette.png", {in, "png8:"}, 8, 8, 1},
        {"rgb.png", {in, "png24:"}, 24, 24, 0},
        {"rgba.png", {in, "-alpha", "set", "png32:"}, 24, 32, 0},
        {"deep.png", {in, "png48:"}, 24, 24, 0},
        {"grey.png", {in, "-colorspace", "Gray", "-depth", "8", "png:"}, 8, 8, 1},
        {"grey1.png", {in, "-monochrome", "png:"}, 8, 8, 1},
        {"greya.png", {in, "-colorspace", "Gray", "-alpha", "set", "png:"}, 8, 8, 1},
        {"adam7.png", {in, "-interlace", "PNG", "png24:"}, 24, 24, 0},
    };
    for (const Made &m : made) {
        SCOPED_TRACE(m.name);
        std::vector<std::string> args = m.args;
        args.back() += dir.file(m.name);
        ASSERT_EQ(testsupport::run_program("/usr/bin/convert", args).status, 0);
        const std::string f = dir.file(m.name);
        const auto want = oracle::magick(f);
        ASSERT_TRUE(want);
        IMAGE im;
        ASSERT_EQ(PNG_read(f.c_str(), &im, 0), 1);
        EXPECT_EQ(im.info, "PNG");
        EXPECT_EQ(im.depth, m.depth);
        EXPECT_EQ(im.bits_per_pixel, m.bits_per_pixel);
        EXPECT_EQ(im.color_type, m.color_type);
        EXPECT_EQ(oracle::record_rgb(im), want->px);
    }
}

TEST_F(PngTest, HeaderOnlyAndFilesLibpngRejects) {
    std::vector<uint8_t> expect;
    const IMAGE src = picture(40, 30, true, expect);
    const std::string f = dir.file("a.png");
    ASSERT_EQ(PNG_write(f.c_str(), &src), 1);
    IMAGE im;
    ASSERT_EQ(PNG_read(f.c_str(), &im, 1), 1);
    EXPECT_EQ(im.nx, 40);
    EXPECT_EQ(im.ny, 30);
    EXPECT_TRUE(im.data.empty());

    const std::string b = testsupport::read_file(f);
    testsupport::Capture err(2);
    // Not a PNG: silent failure.
    EXPECT_EQ(PNG_read(dir.write("x.png", "\x89PNX....").c_str(), &im, 0), 0);
    EXPECT_EQ(err.text(), "");
    testsupport::Capture err2(2);
    // Cut inside the image data, a damaged header CRC, and a size beyond the cap.
    EXPECT_EQ(PNG_read(dir.write("cut.png", b.substr(0, b.size() / 2)).c_str(), &im, 0), 0);
    EXPECT_TRUE(im.data.empty());
    std::string crc = b;
    crc[29] = static_cast<char>(crc[29] ^ 1);
    EXPECT_EQ(PNG_read(dir.write("crc.png", crc).c_str(), &im, 0), 0);
    CODEC_set_max_pixels(100);
    EXPECT_EQ(PNG_read(f.c_str(), &im, 0), 0);
    const std::string text = err2.text();
    EXPECT_NE(text.find("cut.png"), std::string::npos) << text;
    EXPECT_NE(text.find("IHDR: CRC error"), std::string::npos) << text;
    EXPECT_NE(text.find("40x30 refused"), std::string::npos) << text;
}

} // namespace
