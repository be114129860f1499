// GIF writer and reader against giflib (gif2rgb, gifbuild) and ImageMagick: our files
// decode to the pixels we put in, and files made by those programs read to the pixels they
// decode. Byte positions checked by hand come from the GIF89a layout.

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>

#include "base/mess.h"
#include "gks/codec.h"
#include "gks/codec_oracle.h"
#include "gks/gif.h"

namespace {

using testsupport::TempDir;
using Colour = std::array<uint8_t, 3>;

// A true-colour or indexed record in one of the storages a window grab gives: bits 32, 24
// and 16 with masks (byte order msb or not), 8 with a colour table. Pixel (x, y) shows
// colour pick(x, y); `pad` surplus pixels end every row.
struct Picture {
    IMAGE im;
    std::vector<Colour> expect; // nx * ny colours as a decoder must show them
};

Picture make_picture(int nx, int ny, int bits, bool msb, int pad, Colour (*pick)(int x, int y)) {
    Picture p;
    IMAGE &im = p.im;
    IMG_init(&im);
    im.nx = nx;
    im.ny = ny;
    im.byte_order = msb ? 1 : 0;
    const int bytes = bits / 8;
    im.bits_per_pixel = bits;
    im.depth = bits == 32 ? 24 : bits;
    im.bytes_per_line = (nx + pad) * bytes;
    im.data.assign(size_t(im.bytes_per_line) * ny, 0xA5);
    std::vector<Colour> table;
    if (bits == 8) {
        im.color_type = 1;
    } else if (bits == 16) {
        im.red_mask = 0xF800;
        im.green_mask = 0x07E0;
        im.blue_mask = 0x001F;
    } else {
        im.red_mask = 0xFF0000;
        im.green_mask = 0x00FF00;
        im.blue_mask = 0x0000FF;
    }
    for (int y = 0; y < ny; ++y) {
        for (int x = 0; x < nx; ++x) {
            Colour c = pick(x, y);
            uint8_t *q = im.data.data() + size_t(y) * im.bytes_per_line + size_t(x) * bytes;
            if (bits == 8) {
                auto it = std::find(table.begin(), table.end(), c);
                if (it == table.end())
                    it = table.insert(table.end(), c);
                q[0] = static_cast<uint8_t>(it - table.begin());
            } else if (bits == 16) {
                const unsigned v = (c[0] >> 3) << 11 | (c[1] >> 2) << 5 | (c[2] >> 3);
                q[msb ? 0 : 1] = static_cast<uint8_t>(v >> 8);
                q[msb ? 1 : 0] = static_cast<uint8_t>(v);
                c = {uint8_t(c[0] & 0xF8), uint8_t(c[1] & 0xFC), uint8_t(c[2] & 0xF8)};
            } else {
                const int off = bits == 32 && msb ? 1 : 0;
                for (int k = 0; k < 3; ++k)
                    q[off + (msb ? k : 2 - k)] = c[size_t(k)];
            }
            p.expect.push_back(c);
        }
    }
    if (bits == 8) {
        // Components k / 255 in floats; the writer truncates k / 255 * 255, so the colours
        // a decoder shows are those truncations.
        auto t = std::make_shared<std::vector<float>>();
        for (const Colour &c : table)
            for (uint8_t v : c)
                t->push_back(v / 255.0f);
        im.colors = t;
        im.num_colors = static_cast<int>(table.size());
        for (Colour &c : p.expect)
            for (uint8_t &v : c)
                v = static_cast<uint8_t>(static_cast<float>(v / 255.0f) * 255.0f);
    }
    return p;
}

Colour ramp(int x, int y) {
    const int k = (x * 7 + y * 3) % 200;
    return {uint8_t(k), uint8_t(255 - k), uint8_t((k * 37) % 256)};
}

// Pseudo-random pixels over 256 colours: enough codes to fill the dictionary many times.
Colour noise(int x, int y) {
    uint32_t s = uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u;
    s ^= s >> 13;
    s *= 0x5bd1e995u;
    const uint8_t k = static_cast<uint8_t>(s >> 24);
    return {k, uint8_t(k ^ 0x5A), uint8_t(255 - k)};
}

std::vector<uint8_t> flat(const std::vector<Colour> &c) {
    std::vector<uint8_t> v;
    for (const Colour &x : c)
        v.insert(v.end(), x.begin(), x.end());
    return v;
}

std::string bytes_of(const std::string &path) {
    return testsupport::read_file(path);
}

// Codes of the first image's LZW stream, read with the decoder's width rule.
struct CodeWalk {
    int clears_at_full = 0, codes = 0;
    bool full_without_clear = false;
};
CodeWalk walk_codes(const std::string &gif, size_t at) {
    const int cs = static_cast<uint8_t>(gif[at++]);
    std::string data;
    while (at < gif.size() && gif[at] != 0) {
        const size_t n = static_cast<uint8_t>(gif[at]);
        data += gif.substr(at + 1, n);
        at += n + 1;
    }
    const int clear = 1 << cs, end = clear + 1;
    int width = cs + 1, next = clear + 2, prev = -1;
    uint64_t acc = 0;
    int nbits = 0;
    size_t pos = 0;
    CodeWalk w;
    bool was_full = false;
    for (;;) {
        while (nbits < width && pos < data.size()) {
            acc |= uint64_t(static_cast<uint8_t>(data[pos++])) << nbits;
            nbits += 8;
        }
        if (nbits < width)
            break;
        const int code = static_cast<int>(acc & ((1u << width) - 1));
        acc >>= width;
        nbits -= width;
        ++w.codes;
        if (was_full) {
            if (code == clear)
                ++w.clears_at_full;
            else
                w.full_without_clear = true;
            was_full = false;
        }
        if (code == clear) {
            width = cs + 1;
            next = clear + 2;
            prev = -1;
            continue;
        }
        if (code == end)
            break;
        if (prev >= 0 && next < 4096) {
            if (next == (1 << width) - 1 && width < 12)
                ++width;
            ++next;
            was_full = next == 4096;
        }
        prev = code;
    }
    return w;
}

class GifTest : public ::testing::Test {
  protected:
    void SetUp() override {
        GIF_reset_state();
        CODEC_reset_state();
    }
    void TearDown() override {
        GIF_reset_state();
        CODEC_reset_state();
        MESS_reset_state();
    }
    TempDir dir;
};

TEST_F(GifTest, EveryStorageDecodesAlikeInGiflibImageMagickAndOurReader) {
    XSAT_REQUIRE_PROGRAM("gif2rgb");
    struct Case {
        int bits;
        bool msb;
        int pad;
    } cases[] = {{8, true, 0},   {16, true, 1}, {16, false, 0}, {24, true, 0},
                 {24, false, 2}, {32, true, 3}, {32, false, 0}};
    for (bool inter : {false, true}) {
        GIF_interlace(inter);
        for (const Case &c : cases) {
            SCOPED_TRACE("bits " + std::to_string(c.bits) + (c.msb ? " msb" : " lsb") +
                         (inter ? " interlaced" : ""));
            Picture p = make_picture(37, 23, c.bits, c.msb, c.pad, ramp);
            const std::string f = dir.file("w.gif");
            ASSERT_EQ(GIF_write(f.c_str(), &p.im), 1);
            EXPECT_EQ(oracle::gif2rgb(f, dir.file("w.rgb")), flat(p.expect));
            const auto im = oracle::magick(f);
            ASSERT_TRUE(im);
            EXPECT_EQ(im->px, flat(p.expect));
            IMAGE back;
            ASSERT_EQ(GIF_read(f.c_str(), &back, 0), 1);
            EXPECT_EQ(oracle::record_rgb(back), flat(p.expect));
        }
    }
}

TEST_F(GifTest, PaletteSizeCodeSizeAndOverflowingValues) {
    XSAT_REQUIRE_PROGRAM("gif2rgb");
    // One colour: a 2-entry table (packed byte 0x80) and LZW code size 2.
    Picture one = make_picture(5, 4, 24, true, 0, [](int, int) { return Colour{9, 8, 7}; });
    const std::string f1 = dir.file("one.gif");
    ASSERT_EQ(GIF_write(f1.c_str(), &one.im), 1);
    const std::string b = bytes_of(f1);
    ASSERT_GT(b.size(), 30u);
    EXPECT_EQ(b.substr(0, 6), "GIF89a");
    EXPECT_EQ(static_cast<uint8_t>(b[10]), 0x80);
    EXPECT_EQ(b.substr(13, 6), std::string("\x09\x08\x07\0\0\0", 6));
    EXPECT_EQ(static_cast<uint8_t>(b[19]), 0x2C);
    EXPECT_EQ(static_cast<uint8_t>(b[29]), 2);
    EXPECT_EQ(b.back(), 0x3B);

    // 300 distinct values in a 32-bit grab: the first 256 met keep their colour, the others
    // are written as index 0, the colour of the first pixel.
    auto distinct = [](int x, int y) {
        const int k = y * 20 + x;
        return Colour{uint8_t(k & 0xFF), uint8_t(k >> 8), 77};
    };
    Picture many = make_picture(20, 15, 32, false, 0, distinct);
    for (size_t i = 256; i < many.expect.size(); ++i)
        many.expect[i] = many.expect[0];
    const std::string f2 = dir.file("many.gif");
    ASSERT_EQ(GIF_write(f2.c_str(), &many.im), 1);
    EXPECT_EQ(oracle::gif2rgb(f2, dir.file("many.rgb")), flat(many.expect));
    EXPECT_EQ(static_cast<uint8_t>(bytes_of(f2)[10]) & 7, 7) << "256-entry table";
    // The record now holds the palette indices in the first byte of each pixel.
    EXPECT_EQ(many.im.data[4 * 255], 255);
    EXPECT_EQ(many.im.data[4 * 299], 0);
    EXPECT_EQ(many.im.data[4 * 299 + 1] | many.im.data[4 * 299 + 2], 0);
}

TEST_F(GifTest, InterlacedRowsAreStoredInTheFourPasses) {
    XSAT_REQUIRE_PROGRAM("gif2rgb");
    Picture p = make_picture(3, 20, 8, true, 0, [](int, int y) {
        return Colour{uint8_t(10 * y), 0, 0};
    });
    GIF_interlace(1);
    const std::string f = dir.file("i.gif");
    ASSERT_EQ(GIF_write(f.c_str(), &p.im), 1);
    std::string b = bytes_of(f);
    // Descriptor after the 32-entry table: clear its interlace bit, so that a decoder shows
    // the rows in the order they are stored.
    const size_t desc = 13 + 3 * 32;
    ASSERT_EQ(static_cast<uint8_t>(b[desc]), 0x2C);
    ASSERT_EQ(static_cast<uint8_t>(b[desc + 9]), 0x40);
    b[desc + 9] = 0;
    const std::string plain = dir.write("plain.gif", b);
    const auto rgb = oracle::gif2rgb(plain, dir.file("p.rgb"));
    ASSERT_TRUE(rgb && rgb->size() == 3u * 3 * 20);
    const int order[20] = {0, 8, 16, 4, 12, 2, 6, 10, 14, 18, 1, 3, 5, 7, 9, 11, 13, 15, 17, 19};
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ((*rgb)[size_t(9 * i)], p.expect[size_t(3 * order[i])][0]) << "stored row " << i;
}

TEST_F(GifTest, FullDictionaryGetsAClearCodeAndDecodesExactly) {
    XSAT_REQUIRE_PROGRAM("gif2rgb");
    Picture p = make_picture(160, 120, 24, true, 0, noise);
    const std::string f = dir.file("n.gif");
    ASSERT_EQ(GIF_write(f.c_str(), &p.im), 1);
    const std::string b = bytes_of(f);
    const CodeWalk w = walk_codes(b, 13 + 3 * 256 + 10);
    EXPECT_GE(w.clears_at_full, 3);
    EXPECT_FALSE(w.full_without_clear);
    EXPECT_EQ(oracle::gif2rgb(f, dir.file("n.rgb")), flat(p.expect));
    IMAGE back;
    ASSERT_EQ(GIF_read(f.c_str(), &back, 0), 1);
    EXPECT_EQ(oracle::record_rgb(back), flat(p.expect));
    // Sub-blocks of 254 bytes.
    EXPECT_EQ(static_cast<uint8_t>(b[13 + 3 * 256 + 11]), 254);
}

// Bands of noise and of large blocks: segments that compress unequally.
Colour bands(int x, int y) {
    return (y / 64) % 2 ? noise(x, y) : noise(x / 50, y / 50);
}

TEST_F(GifTest, LargePicturesCodedInSegmentsAreTheSameFileOnAnyThreadCount) {
    XSAT_REQUIRE_PROGRAM("gif2rgb");
    for (bool inter : {false, true}) {
        SCOPED_TRACE(inter ? "interlaced" : "progressive");
        GIF_interlace(inter);
        std::string files[2];
        for (int threads : {1, 3}) {
            GIF_threads(threads);
            Picture p = make_picture(1100, 1000, 24, true, 0, bands);
            const std::string f = dir.file("big" + std::to_string(threads) + ".gif");
            ASSERT_EQ(GIF_write(f.c_str(), &p.im), 1);
            files[threads / 2] = bytes_of(f);
            if (threads == 1) {
                const CodeWalk w = walk_codes(files[0], 13 + 3 * 256 + 10);
                EXPECT_FALSE(w.full_without_clear);
                if (!inter) {
                    EXPECT_EQ(oracle::gif2rgb(f, dir.file("big.rgb")), flat(p.expect));
                } else {
                    IMAGE back;
                    ASSERT_EQ(GIF_read(f.c_str(), &back, 0), 1);
                    EXPECT_EQ(oracle::record_rgb(back), flat(p.expect));
                }
            }
        }
        EXPECT_EQ(files[0], files[1]);
    }
}

TEST_F(GifTest, AnimationWriterLoopsWithDelaysAndLocalTables) {
    XSAT_REQUIRE_PROGRAM("/usr/bin/identify");
    const std::string f = dir.file("anim.gif");
    GifWriter::Options opt;
    opt.loops = 0;
    opt.always_control = true;
    GifWriter w;
    ASSERT_TRUE(w.open(f.c_str(), opt));
    std::vector<std::vector<uint8_t>> want;
    const int delays[3] = {5, 10, 20};
    for (int i = 0; i < 3; ++i) {
        Picture p = make_picture(16, 9, 24, true, 0, i == 1 ? noise : ramp);
        want.push_back(flat(p.expect));
        ASSERT_TRUE(w.add(p.im, delays[i]));
    }
    ASSERT_TRUE(w.finish());
    const auto r = testsupport::run_program("/usr/bin/identify", {"-format", "%T,", f});
    EXPECT_EQ(r.out, "5,10,20,");
    for (int i = 0; i < 3; ++i) {
        const auto im = oracle::magick(f, i);
        ASSERT_TRUE(im);
        EXPECT_EQ(im->px, want[size_t(i)]) << "frame " << i;
    }
    const std::string b = bytes_of(f);
    EXPECT_NE(b.find("NETSCAPE2.0\x03\x01\x00\x00", 0, 15), std::string::npos);
}

// Files made by ImageMagick and giflib read to the pixels ImageMagick decodes.
TEST_F(GifTest, ReadsWhatOtherEncodersWrite) {
    XSAT_REQUIRE_PROGRAM("gifbuild");
    XSAT_REQUIRE_PROGRAM("/usr/bin/convert");
    // Source pictures as PPM (at most 256 colours, so no encoder needs to quantize).
    auto ppm = [&](const char *name, int w, int h, Colour (*pick)(int, int)) {
        std::string s = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (uint8_t v : pick(x, y))
                    s.push_back(static_cast<char>(v));
        return dir.write(name, s);
    };
    const std::string small = ppm("small.ppm", 41, 27, ramp);
    const std::string big = ppm("big.ppm", 200, 150, noise);
    struct Made {
        std::string name;
        std::vector<std::string> args;
    } made[] = {
        {"plain.gif", {small}},
        {"inter.gif", {small, "-interlace", "GIF"}},
        {"ext.gif", {"-comment", "made for the test", "-delay", "7", "-loop", "0", small, big}},
        {"dict.gif", {big}},
    };
    for (const Made &m : made) {
        std::vector<std::string> args = m.args;
        args.push_back(dir.file(m.name));
        ASSERT_EQ(testsupport::run_program("/usr/bin/convert", args).status, 0) << m.name;
    }
    // giflib: a picture with a local colour table, a graphics control block and a comment;
    // its global table is then cut out, so that only the local one describes the picture.
    const char *spec = "screen width 4\nscreen height 3\nscreen map\nrgb 0 0 0\nrgb 9 9 9\nend\n"
                       "image\nimage map\nrgb 255 0 0 is r\nrgb 0 0 255 is b\nrgb 0 255 0 is g\n"
                       "end\nimage bits 4 by 3\nrbgr\nbbgg\ngrbr\n"
                       "graphics control\ndisposal mode 1\ndelay 30\ntransparent index 2\nend\n"
                       "comment\nhello\nend\n";
    testsupport::RunOptions in;
    in.stdin_text = spec;
    const auto built = testsupport::run_program("gifbuild", {}, in);
    ASSERT_EQ(built.status, 0) << built.err;
    std::string local = built.out;
    ASSERT_EQ(static_cast<uint8_t>(local[10]) & 0x80, 0x80);
    local.erase(13, 3 * (size_t{2} << (local[10] & 7)));
    local[10] = static_cast<char>(local[10] & 0x7F);
    dir.write("local.gif", local);

    for (const char *name : {"plain.gif", "inter.gif", "ext.gif", "dict.gif", "local.gif"}) {
        SCOPED_TRACE(name);
        const std::string f = dir.file(name);
        const auto want = oracle::magick(f);
        ASSERT_TRUE(want);
        IMAGE im;
        ASSERT_EQ(GIF_read(f.c_str(), &im, 0), 1);
        EXPECT_EQ(im.nx, want->w);
        EXPECT_EQ(im.ny, want->h);
        EXPECT_EQ(oracle::record_rgb(im), want->px);
    }
}

TEST_F(GifTest, HeaderOnlyTruncatedGarbageAndOversizedFiles) {
    Picture p = make_picture(64, 40, 24, true, 0, noise);
    const std::string f = dir.file("n.gif");
    ASSERT_EQ(GIF_write(f.c_str(), &p.im), 1);
    const std::string b = bytes_of(f);

    IMAGE im;
    ASSERT_EQ(GIF_read(f.c_str(), &im, 1), 1);
    EXPECT_EQ(im.nx, 64);
    EXPECT_EQ(im.ny, 40);
    EXPECT_TRUE(im.data.empty());

    // Cut in the middle of the codes: what was decoded is kept, the rest stays 0.
    testsupport::Capture err(2);
    const std::string cut = dir.write("cut.gif", b.substr(0, b.size() / 2));
    ASSERT_EQ(GIF_read(cut.c_str(), &im, 0), 1);
    const std::vector<uint8_t> rgb = oracle::record_rgb(im), want = flat(p.expect);
    EXPECT_TRUE(std::equal(want.begin(), want.begin() + 64 * 3 * 10, rgb.begin()));
    EXPECT_EQ(im.data.back(), 0);

    // Codes beyond the table, a file with no image and an absurd screen size.
    std::string junk = b.substr(0, 13 + 3 * 256 + 11) + std::string("\x03\x01\xfe\x03\0;", 6);
    const std::string bad = dir.write("bad.gif", junk);
    EXPECT_EQ(GIF_read(bad.c_str(), &im, 0), 0);
    EXPECT_TRUE(im.data.empty());
    const std::string none = dir.write("none.gif", b.substr(0, 13 + 3 * 256) + ";");
    EXPECT_EQ(GIF_read(none.c_str(), &im, 0), 0);
    std::string huge = b.substr(0, 13);
    huge[6] = huge[7] = huge[8] = huge[9] = '\xff';
    const std::string big = dir.write("huge.gif", huge + b.substr(13));
    EXPECT_EQ(GIF_read(big.c_str(), &im, 0), 0);
    EXPECT_EQ(GIF_read(dir.write("not.gif", "GIF").c_str(), &im, 0), 0);
    const std::string text = err.text();
    EXPECT_NE(text.find("image data end after"), std::string::npos);
    EXPECT_NE(text.find("beyond the table"), std::string::npos);
    EXPECT_NE(text.find("no image"), std::string::npos);
    EXPECT_NE(text.find("65535x65535 refused"), std::string::npos);
}

TEST_F(GifTest, AFourThousandAndNinetySeventhEntryFailsTheRead) {
    // Code size 8, a clear code, then literal 0 again and again: each code after the first
    // adds an entry, 3838 of them fill the table; one more would need entry 4096.
    std::string codes;
    uint64_t acc = 0;
    int nbits = 0, width = 9, next = 258;
    auto put = [&](int code) {
        acc |= uint64_t(code) << nbits;
        nbits += width;
        while (nbits >= 8) {
            codes.push_back(static_cast<char>(acc & 0xFF));
            acc >>= 8;
            nbits -= 8;
        }
    };
    put(256);
    put(0);
    for (int i = 0; i < 3839; ++i) {
        put(0);
        if (next < 4096) {
            if (next == (1 << width) - 1 && width < 12)
                ++width;
            ++next;
        }
    }
    put(0);
    if (nbits)
        codes.push_back(static_cast<char>(acc));
    std::string gif = std::string("GIF89a\x64\x00\x64\x00\x80\x00\x00", 13) +
                      std::string("\0\0\0\xff\xff\xff", 6) +
                      std::string("\x2c\0\0\0\0\x64\x00\x64\x00\x00\x08", 11);
    for (size_t i = 0; i < codes.size(); i += 255) {
        const std::string part = codes.substr(i, 255);
        gif += static_cast<char>(part.size());
        gif += part;
    }
    gif += std::string("\0;", 2);
    IMAGE im;
    testsupport::Capture err(2);
    EXPECT_EQ(GIF_read(dir.write("full.gif", gif).c_str(), &im, 0), 0);
    EXPECT_NE(err.text().find("table full without a clear code"), std::string::npos);
}

} // namespace
