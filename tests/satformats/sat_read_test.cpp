// AREA reader: byte-order helpers, plain files in both byte orders, sync-framed
// streams, damaged input, the image record and the real sample files.
#include <algorithm>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "area_test_util.h"
#include "base/date.h"
#include "base/resrc.h"

using namespace areatest;
namespace fx = area_fixture;

namespace {

bool host_little() {
    const uint16_t probe = 1;
    uint8_t b = 0;
    std::memcpy(&b, &probe, 1);
    return b == 1;
}

// A small image with every pixel distinct enough to catch misplaced lines.
fx::Image ramp_image(int lines, int elems, const std::string &nav_type = "PS") {
    fx::Image im;
    im.lines = lines;
    im.elems = elems;
    im.comment = "RAMP TEST IMAGE";
    im.nav_type = nav_type;
    if (nav_type == "PS")
        im.nav = fx::ps_block(-1530, 830, 60, 2381, 105, 6378388);
    else if (!nav_type.empty())
        im.nav.assign(fx::nav_words(nav_type), 0);
    for (int l = 0; l < lines; ++l)
        for (int e = 0; e < elems; ++e)
            im.pixels.push_back(static_cast<uint8_t>(l * 7 + e * 3 + (e % 5 == 0 ? 100 : 0)));
    return im;
}

class AreaRead : public ::testing::Test {
  protected:
    void SetUp() override { reset_all(); }
    void TearDown() override { reset_all(); }
};

} // namespace

// ---------------------------------------------------------------------------
// Byte-order helpers
// ---------------------------------------------------------------------------

TEST_F(AreaRead, SwapSetupFollowsTheDataByteOrder) {
    const bool little = host_little();
    struct Row {
        int mode;
        bool swaps;
    } rows[] = {{-1, false}, {0, true}, {1, little}, {2, !little}};
    for (const auto &r : rows) {
        swap_setup(r.mode);
        uint8_t b[4] = {1, 2, 3, 4};
        EXPECT_EQ(swap_long(b), r.swaps ? 0 : -1) << "mode " << r.mode;
        const uint8_t want_swapped[4] = {4, 3, 2, 1}, want_kept[4] = {1, 2, 3, 4};
        EXPECT_EQ(0, std::memcmp(b, r.swaps ? want_swapped : want_kept, 4)) << "mode " << r.mode;
    }
}

TEST_F(AreaRead, SwapHelpersReverseItemsInPlace) {
    swap_setup(0);
    uint8_t s[4] = {1, 2, 3, 4};
    EXPECT_EQ(swap_shorts(s, 2), 0);
    EXPECT_EQ(s[0], 2);
    EXPECT_EQ(s[3], 3);
    uint8_t d[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(swap_double(d), 0);
    EXPECT_EQ(d[0], 8);
    EXPECT_EQ(d[7], 1);
    uint8_t l[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(swap_longs(l, 2), 0);
    EXPECT_EQ(l[0], 4);
    EXPECT_EQ(l[4], 8);
    EXPECT_EQ(swap_longs(l, 0), 0); // nothing to do is still success
    EXPECT_EQ(swap_longs(l, -3), 0);
    swap_setup(-1);
    EXPECT_EQ(swap_shorts(s, 2), -1);
    EXPECT_EQ(swap_longs(l, 0), -1);
    float a = 1, b = 2;
    fswap(&a, &b);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 1);
}

TEST_F(AreaRead, StreamHelpersSwapOnReadAndWrite) {
    swap_setup(1); // big-endian data
    File f(std::tmpfile());
    int32_t v = 0x01020304;
    int32_t written = v;
    ASSERT_EQ(fwrite_long_swap(&written, f.get()), 1u);
    // The caller's item is left in file order.
    EXPECT_EQ(written, host_little() ? 0x04030201 : 0x01020304);
    int16_t s = 0x0102;
    ASSERT_EQ(fwrite_short_swap(&s, f.get()), 1u);
    std::rewind(f.get());
    uint8_t raw[6];
    ASSERT_EQ(std::fread(raw, 1, 6, f.get()), 6u);
    const uint8_t want[6] = {1, 2, 3, 4, 1, 2};
    EXPECT_EQ(0, std::memcmp(raw, want, 6)) << "file must be big-endian";
    std::rewind(f.get());
    int32_t back = 0;
    int16_t sback = 0;
    double dback = 0;
    EXPECT_EQ(fread_long_swap(&back, f.get()), 1u);
    EXPECT_EQ(back, v);
    EXPECT_EQ(fread_short_swap(&sback, f.get()), 1u);
    EXPECT_EQ(sback, 0x0102);
    EXPECT_EQ(fread_double_swap(&dback, f.get()), 0u) << "no full item left";
}

// ---------------------------------------------------------------------------
// Plain files
// ---------------------------------------------------------------------------

TEST_F(AreaRead, BothByteOrdersGiveTheSameRecord) {
    const fx::Image im = ramp_image(9, 13);
    AREA big, little;
    ASSERT_EQ(read_bytes(fx::write_plain(im, fx::Order::big), &big), 0);
    const bool big_swaps = swap_active();
    ASSERT_EQ(read_bytes(fx::write_plain(im, fx::Order::little), &little), 0);
    EXPECT_NE(big_swaps, swap_active()) << "one of the two orders must be swapped";
    // Equal but for the text words, which both files hold as characters: the
    // comment keeps its order, the type words 51 and 52 are swapped like numbers.
    for (int i = 0; i < AREA_DIR_WORDS; ++i) {
        if (i < AREA_W_COMMENT || (i > 31 && i != AREA_W_SOURCE && i != AREA_W_CALIB)) {
            EXPECT_EQ(big.dir[static_cast<size_t>(i)], little.dir[static_cast<size_t>(i)]) << i;
        }
    }
    EXPECT_EQ(big.dir[AREA_W_SOURCE], static_cast<int32_t>(__builtin_bswap32(
                                          static_cast<uint32_t>(little.dir[AREA_W_SOURCE]))));
    EXPECT_EQ(big.dir[AREA_W_LINES], 9);
    EXPECT_EQ(big.dir[AREA_W_ELEMS], 13);
    EXPECT_EQ(big.dir[AREA_W_DATA], 256 + 512);
    // The comment is text in file order in both.
    EXPECT_EQ(0, std::memcmp(&big.dir[AREA_W_COMMENT], "RAMP TEST IMAGE", 15));
    EXPECT_EQ(big.nav_type, "PS");
    EXPECT_EQ(little.nav_type, "PS");
    ASSERT_EQ(big.ps_nav.size(), 128u);
    EXPECT_EQ(big.ps_nav, little.ps_nav);
    EXPECT_EQ(big.ps_nav[1], -1530);
    EXPECT_EQ(big.ps_nav[5], 1050000);
    EXPECT_EQ(big.data, im.pixels);
    EXPECT_EQ(little.data, im.pixels);
}

TEST_F(AreaRead, EveryNavigationTypeFillsItsSlot) {
    struct Row {
        const char *type;
        std::vector<int32_t> AREA::*slot;
        size_t words;
    } rows[] = {{"GOES", &AREA::goes_nav, 128}, {"GVAR", &AREA::gvar_nav, 640},
                {"PS", &AREA::ps_nav, 128},     {"MOLL", &AREA::proj_nav, 128},
                {"MSAT", &AREA::ps_nav, 128},   {"RECT", &AREA::proj_nav, 128},
                {"MERC", &AREA::proj_nav, 128}, {"LAMB", &AREA::proj_nav, 128},
                {"TANC", &AREA::tanc_nav, 128}};
    for (const auto &r : rows) {
        for (auto order : {fx::Order::big, fx::Order::little}) {
            fx::Image im = ramp_image(3, 4, r.type);
            for (size_t i = 1; i < im.nav.size(); ++i)
                im.nav[i] = static_cast<int32_t>(i * 1000003 - 7);
            AREA a;
            ASSERT_EQ(read_bytes(fx::write_plain(im, order), &a), 0) << r.type;
            EXPECT_EQ(a.nav_type, r.type);
            const auto &slot = a.*(r.slot);
            ASSERT_EQ(slot.size(), r.words) << r.type;
            EXPECT_EQ(0, std::memcmp(slot.data(), im.nav_type.c_str(), im.nav_type.size()));
            // Numbers come out in host order (the fixture zeroes the text words 120-127).
            const size_t last = r.words == 640 ? 639 : 119;
            for (size_t i = 1; i <= last; ++i)
                ASSERT_EQ(slot[i], static_cast<int32_t>(i * 1000003 - 7))
                    << r.type << " word " << i;
            EXPECT_EQ(AREA_nav_block(&a), &slot);
        }
    }
    AREA none;
    fx::Image im = ramp_image(3, 4, "");
    im.data_offset = 256 + 512;
    ASSERT_EQ(read_bytes(fx::write_plain(im, fx::Order::big), &none), 0);
    EXPECT_EQ(none.nav_type, "");
    EXPECT_EQ(AREA_nav_block(&none), nullptr);
}

TEST_F(AreaRead, ShortBlockTextWordsKeepTheirByteOrder) {
    fx::Image im = ramp_image(2, 2, "MERC");
    auto bytes = fx::write_plain(im, fx::Order::little);
    std::memcpy(bytes.data() + 256 + 4 * 120, "MORE", 4);
    AREA a;
    ASSERT_EQ(read_bytes(bytes, &a), 0);
    ASSERT_EQ(a.proj_nav.size(), 128u);
    EXPECT_EQ(0, std::memcmp(&a.proj_nav[120], "MORE", 4));
}

TEST_F(AreaRead, TwoBytePixelsKeepTheHighByteAfterTheBitShift) {
    // 0x1234 gives 0x12 with no shift and 0x23 with a shift of 4, in either
    // directory byte order (pixels are big-endian pairs).
    for (auto order : {fx::Order::big, fx::Order::little}) {
        for (int prefix : {0, 6}) {
            fx::Image im = ramp_image(3, 5, "GOES");
            im.bytes_per_elem = 2;
            im.prefix = prefix;
            im.pixels.clear();
            for (int i = 0; i < 15; ++i) {
                im.pixels.push_back(0x12);
                im.pixels.push_back(0x34);
            }
            const auto bytes = fx::write_plain(im, order);
            struct Row {
                int shift;
                uint8_t want;
            } rows[] = {{0, 0x12}, {4, 0x23}, {8, 0x34}, {-4, 0x01}};
            for (const auto &r : rows) {
                SAT_area_set_bit_shift(r.shift);
                AREA a;
                ASSERT_EQ(read_bytes(bytes, &a), 0);
                ASSERT_EQ(a.data.size(), 15u);
                for (uint8_t v : a.data)
                    ASSERT_EQ(v, r.want) << "shift " << r.shift << " prefix " << prefix;
            }
        }
    }
}

TEST_F(AreaRead, OneBytePixelsShiftOnlyWithALinePrefix) {
    fx::Image im = ramp_image(4, 6);
    SAT_area_set_bit_shift(2);
    AREA plain;
    ASSERT_EQ(read_bytes(fx::write_plain(im, fx::Order::big), &plain), 0);
    EXPECT_EQ(plain.data, im.pixels) << "no prefix: bytes copied as they are";
    im.prefix = 3;
    AREA prefixed;
    ASSERT_EQ(read_bytes(fx::write_plain(im, fx::Order::big), &prefixed), 0);
    ASSERT_EQ(prefixed.data.size(), im.pixels.size());
    for (size_t i = 0; i < im.pixels.size(); ++i)
        ASSERT_EQ(prefixed.data[i], static_cast<uint8_t>(im.pixels[i] << 2)) << i;
}

TEST_F(AreaRead, OtherElementSizesLeaveABlankImage) {
    fx::Image im = ramp_image(3, 4);
    im.bytes_per_elem = 4;
    im.pixels.assign(48, 0x77);
    AREA a;
    ASSERT_EQ(read_bytes(fx::write_plain(im, fx::Order::big), &a), 0);
    EXPECT_EQ(a.data, std::vector<uint8_t>(12, 0));
}

TEST_F(AreaRead, NonSeekableStreamsAreRead) {
    const fx::Image im = ramp_image(40, 300);
    const auto bytes = fx::write_plain(im, fx::Order::little);
    testsupport::TempDir dir;
    const std::string path = dir.file("pipe.area");
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char *>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    FILE *p = popen(("cat " + path).c_str(), "r");
    ASSERT_NE(p, nullptr);
    AREA a;
    EXPECT_EQ(SAT_read_AREA(p, &a), 0);
    pclose(p);
    EXPECT_EQ(a.data, im.pixels);
}

// ---------------------------------------------------------------------------
// Sync-framed streams
// ---------------------------------------------------------------------------

namespace {

fx::Image sync_header(int lines, int elems) {
    fx::Image im;
    im.lines = lines;
    im.elems = elems;
    im.nav_type = "GOES";
    im.nav.assign(128, 0);
    im.nav[1] = 98260;
    return im;
}

std::vector<uint8_t> row_of(int elems, int seed) {
    std::vector<uint8_t> r(static_cast<size_t>(elems));
    uint32_t x = static_cast<uint32_t>(seed) * 2654435761u + 1;
    uint8_t v = static_cast<uint8_t>(seed);
    for (auto &p : r) {
        x = x * 1103515245u + 12345u;
        const uint32_t k = x >> 16 & 7;
        // Runs, small steps and jumps, so every code of the nibble set appears.
        if (k < 3)
            v = static_cast<uint8_t>(v + static_cast<int>(x >> 20 & 12) - 6);
        else if (k == 3)
            v = static_cast<uint8_t>(x >> 24);
        p = v;
    }
    return r;
}

} // namespace

TEST_F(AreaRead, SyncStreamRoundTrip) {
    fx::Image im = sync_header(25, 70);
    for (int l = 0; l < im.lines; ++l) {
        auto r = row_of(im.elems, l);
        im.pixels.insert(im.pixels.end(), r.begin(), r.end());
    }
    // A lead-in of noise before the first frame is skipped.
    const auto bytes = fx::write_sync(im, fx::sync_lines(im), {0x12, 0x00, 0x34});
    AREA a;
    ASSERT_EQ(read_bytes(bytes, &a), 0);
    EXPECT_EQ(a.nav_type, "GOES");
    EXPECT_EQ(a.goes_nav[1], 98260) << "navigation words are big-endian";
    EXPECT_EQ(a.dir[AREA_W_LINES], 25);
    ASSERT_EQ(a.data.size(), 25u * 70u);
    // The line numbered like the line count marks the end: the last line stays 0.
    for (int l = 0; l + 1 < im.lines; ++l)
        for (int e = 0; e < im.elems; ++e) {
            size_t i = static_cast<size_t>(l * im.elems + e);
            ASSERT_EQ(a.data[i], im.pixels[i]) << "line " << l << " element " << e;
        }
    for (int e = 0; e < im.elems; ++e)
        EXPECT_EQ(a.data[static_cast<size_t>(24 * 70 + e)], 0);
}

TEST_F(AreaRead, SyncLineCodesAndSixBitScaling) {
    // Nibbles 0,1,0 (literal 0x10), 12 (+1), 15 (three repeats) with line code 6:
    // 16, 17, 17, 17, 17 times 4.
    fx::Image im = sync_header(3, 5);
    im.prefix = 2;
    std::vector<fx::SyncLine> lines = {
        {1, 6, {0x01, 0x0C, 0xFF}}, {2, 0, {0x01, 0x0C, 0xFF}}, {3, 0, {}}};
    AREA a;
    ASSERT_EQ(read_bytes(fx::write_sync(im, lines), &a), 0);
    const std::vector<uint8_t> want = {64, 68, 68, 68, 68, 16, 17, 17, 17, 17, 0, 0, 0, 0, 0};
    EXPECT_EQ(a.data, want);

    SAT_area_set_bit_shift(1);
    ASSERT_EQ(read_bytes(fx::write_sync(im, lines), &a), 0);
    const std::vector<uint8_t> shifted = {128, 136, 136, 136, 136, 32, 34, 34,
                                          34,  34,  0,   0,   0,   0,  0};
    EXPECT_EQ(a.data, shifted);
}

TEST_F(AreaRead, SyncDeltaCodesWrapModulo256) {
    // Literal 0x02, then -6 (code 1) and +6 (code 2) twice: 2, 252, 2, 252, 2.
    fx::Image im = sync_header(2, 5);
    std::vector<fx::SyncLine> lines = {{1, 0, {0x00, 0x21, 0x21, 0x2F}}, {2, 0, {}}};
    AREA a;
    ASSERT_EQ(read_bytes(fx::write_sync(im, lines), &a), 0);
    const std::vector<uint8_t> want = {2, 252, 2, 252, 2, 0, 0, 0, 0, 0};
    EXPECT_EQ(a.data, want);
}

TEST_F(AreaRead, SyncLineNumbersAreRepaired) {
    const int elems = 4;
    auto line = [&](int64_t n) {
        return fx::SyncLine{n, 0,
                            fx::encode_line(std::vector<uint8_t>(elems, static_cast<uint8_t>(n)))};
    };
    auto row = [&](const AREA &a, int r) {
        return std::vector<uint8_t>(a.data.begin() + r * elems, a.data.begin() + (r + 1) * elems);
    };
    auto filled = [&](int v) { return std::vector<uint8_t>(elems, static_cast<uint8_t>(v)); };

    // 5 -> 9 inserts three zero lines; the line count (12) ends the image.
    {
        fx::Image im = sync_header(12, elems);
        std::vector<fx::SyncLine> ls = {line(1), line(2), line(3),  line(4),
                                        line(5), line(9), line(10), line(12)};
        AREA a;
        ASSERT_EQ(read_bytes(fx::write_sync(im, ls), &a), 0);
        for (int r = 0; r < 5; ++r)
            EXPECT_EQ(row(a, r), filled(r + 1)) << r;
        for (int r = 5; r < 8; ++r)
            EXPECT_EQ(row(a, r), filled(0)) << "missing line " << r + 1;
        EXPECT_EQ(row(a, 8), filled(9));
        EXPECT_EQ(row(a, 9), filled(10));
        EXPECT_EQ(row(a, 10), filled(0));
    }
    // 5 -> 20 is no jump: decoded directly behind line 5, and 5 stays the
    // previous number, so line 6 follows it. A number going back is kept too, and
    // so is an end mark more than ten lines ahead: it is decoded as a line.
    {
        fx::Image im = sync_header(30, elems);
        std::vector<fx::SyncLine> ls = {line(1),  line(2), line(3), line(4), line(5),
                                        line(20), line(6), line(3), line(30)};
        AREA a;
        ASSERT_EQ(read_bytes(fx::write_sync(im, ls), &a), 0);
        EXPECT_EQ(row(a, 4), filled(5));
        EXPECT_EQ(row(a, 5), filled(20));
        EXPECT_EQ(row(a, 6), filled(6));
        EXPECT_EQ(row(a, 7), filled(3));
        EXPECT_EQ(row(a, 8), filled(30));
        EXPECT_EQ(row(a, 9), filled(0));
    }
    // A frame whose first number byte is not 0 is passed over for the next one.
    {
        fx::Image im = sync_header(4, elems);
        std::vector<fx::SyncLine> ls = {line(1), line(2), line(3), line(4)};
        ls[1].damaged_frame = true;
        AREA a;
        ASSERT_EQ(read_bytes(fx::write_sync(im, ls), &a), 0);
        EXPECT_EQ(row(a, 1), filled(2));
        EXPECT_EQ(row(a, 2), filled(3));
    }
}

TEST_F(AreaRead, SyncStreamEndingEarlyLeavesTheRestBlank) {
    fx::Image im = sync_header(20, 30);
    for (int l = 0; l < im.lines; ++l) {
        auto r = row_of(im.elems, l + 3);
        im.pixels.insert(im.pixels.end(), r.begin(), r.end());
    }
    auto ls = fx::sync_lines(im);
    ls.resize(6); // lines 1-6 only, no end mark
    auto bytes = fx::write_sync(im, ls);
    bytes.resize(bytes.size() - 5); // and the sixth cut inside its code
    AREA a;
    ASSERT_EQ(read_bytes(bytes, &a), 0);
    for (int i = 0; i < 5 * 30; ++i)
        ASSERT_EQ(a.data[static_cast<size_t>(i)], im.pixels[static_cast<size_t>(i)]) << i;
    for (size_t i = 6 * 30; i < a.data.size(); ++i)
        ASSERT_EQ(a.data[i], 0) << i;
}

TEST_F(AreaRead, SyncStreamWithoutPatternsFailsQuietly) {
    MessageCapture cap;
    std::vector<uint8_t> noise(5000);
    uint32_t x = 7;
    for (auto &b : noise) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 24 | 1); // never 0: no pattern can start
    }
    AREA a;
    EXPECT_EQ(read_bytes(noise, &a), -1);
    // A framed directory without a frame before the navigation block.
    fx::Image im = sync_header(3, 3);
    auto bytes = fx::write_sync(im, fx::sync_lines(im));
    bytes.resize(8 + 256);
    bytes.insert(bytes.end(), noise.begin(), noise.end());
    EXPECT_EQ(read_bytes(bytes, &a), -1);
    bytes.resize(8 + 256 + 7);
    EXPECT_EQ(read_bytes(bytes, &a), -1);
    EXPECT_EQ(cap.text(), "") << "a stream that is not an AREA file is refused without words";
}

TEST_F(AreaRead, SyncStreamOfGarbageLinesTerminates) {
    fx::Image im = sync_header(200, 100);
    std::vector<fx::SyncLine> ls;
    std::vector<uint8_t> junk(300);
    uint32_t x = 99;
    for (auto &b : junk) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 24);
    }
    // Frames with wild numbers and lengths, codes running past the line.
    for (int i = 0; i < 40; ++i)
        ls.push_back({static_cast<int64_t>(x % 300), static_cast<int>(x >> 8 & 7), junk,
                      static_cast<int>(x >> 4 & 0xFFFF)}),
            x = x * 1103515245u + 12345u;
    auto bytes = fx::write_sync(im, ls);
    bytes.insert(bytes.end(), junk.begin(), junk.end());
    AREA a;
    EXPECT_EQ(read_bytes(bytes, &a), 0);
    EXPECT_EQ(a.data.size(), 20000u);
}

// ---------------------------------------------------------------------------
// Damaged and hostile files
// ---------------------------------------------------------------------------

TEST_F(AreaRead, DamagedHeadersFailWithAMessage) {
    const fx::Image good = ramp_image(5, 6);
    const auto bytes = fx::write_plain(good, fx::Order::big);
    struct Row {
        const char *what;
        std::vector<uint8_t> file;
        const char *message;
    };
    auto with_word = [&](int word, int32_t v) {
        auto b = bytes;
        const uint32_t u = static_cast<uint32_t>(v);
        const uint8_t be[4] = {static_cast<uint8_t>(u >> 24), static_cast<uint8_t>(u >> 16),
                               static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u)};
        const size_t at = static_cast<size_t>(4 * word);
        if (at + 4 <= b.size())
            std::memcpy(b.data() + at, be, 4);
        return b;
    };
    std::vector<Row> rows = {
        {"directory cut", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 200),
         "SAT_read_AREA: File too short for the directory\n"},
        {"navigation block cut", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 256 + 300),
         "SAT_read_AREA: Navigation block PS is cut short\n"},
        {"no lines", with_word(AREA_W_LINES, 0), "SAT_read_AREA: Invalid image parameters\n"},
        {"too many elements", with_word(AREA_W_ELEMS, 100001),
         "SAT_read_AREA: Invalid image parameters\n"},
        {"negative size", with_word(AREA_W_LINES, -5), "SAT_read_AREA: Invalid image parameters\n"},
        {"data offset beyond the file", with_word(AREA_W_DATA, 1 << 30),
         "SAT_read_AREA: Data offset 1073741824 outside the file\n"},
        {"negative data offset", with_word(AREA_W_DATA, -1000),
         "SAT_read_AREA: Data offset -1000 outside the file\n"},
        {"negative prefix", with_word(AREA_W_PREFIX, -4),
         "SAT_read_AREA: Invalid line prefix length -4\n"},
        {"too large", with_word(AREA_W_ELEMS, 100000), ""},
    };
    SAT_area_set_max_pixels(100000);
    rows.back().message = "SAT_read_AREA: Image of 100000x5 is too large\n";
    for (const auto &r : rows) {
        MessageCapture cap;
        AREA a;
        EXPECT_EQ(read_bytes(r.file, &a), -1) << r.what;
        EXPECT_EQ(cap.text(), r.message) << r.what;
    }
}

TEST_F(AreaRead, TruncatedPixelBlockIsReadWithABlankRest) {
    for (int prefix : {0, 4}) {
        fx::Image im = ramp_image(10, 8);
        im.prefix = prefix;
        auto bytes = fx::write_plain(im, fx::Order::little);
        bytes.resize(bytes.size() - static_cast<size_t>(4 * (8 + prefix)) - 3);
        MessageCapture cap;
        AREA a;
        ASSERT_EQ(read_bytes(bytes, &a), 0);
        EXPECT_EQ(cap.text(), "SAT_read_AREA: File ends inside the image, the rest is blank\n");
        ASSERT_EQ(a.data.size(), 80u);
        for (size_t i = 0; i < 40; ++i)
            ASSERT_EQ(a.data[i], im.pixels[i]) << i;
        for (size_t i = 48; i < 80; ++i)
            ASSERT_EQ(a.data[i], 0) << i;
    }
}

TEST_F(AreaRead, NoStreamOrEmptyFile) {
    AREA a;
    EXPECT_EQ(SAT_read_AREA(nullptr, &a), -1);
    EXPECT_EQ(read_bytes({}, &a), -1);
    EXPECT_EQ(read_bytes({0, 0, 0, 0, 0, 0, 0}, &a), -1);
}

TEST_F(AreaRead, MutatedFilesNeverCrash) {
    // Random byte and word damage in plain and framed files: any result is
    // fine as long as the reader returns (the sanitizer build checks memory).
    SAT_area_set_max_pixels(1 << 20);
    fx::Image im = ramp_image(30, 40, "GVAR");
    fx::Image sim = sync_header(30, 40);
    sim.pixels = im.pixels;
    const std::vector<std::vector<uint8_t>> seeds = {fx::write_plain(im, fx::Order::big),
                                                     fx::write_plain(im, fx::Order::little),
                                                     fx::write_sync(sim, fx::sync_lines(sim))};
    uint32_t x = 12345;
    auto next = [&] { return x = x * 1103515245u + 12345u, x >> 8; };
    for (int round = 0; round < 300; ++round) {
        auto b = seeds[static_cast<size_t>(round) % seeds.size()];
        const int edits = 1 + static_cast<int>(next() % 8);
        for (int k = 0; k < edits; ++k)
            b[next() % std::min<size_t>(b.size(), 3000)] = static_cast<uint8_t>(next());
        if (next() % 4 == 0)
            b.resize(next() % b.size());
        AREA a;
        const int rc = read_bytes(b, &a);
        if (rc == 0) {
            const int64_t n = int64_t{a.dir[AREA_W_LINES]} * a.dir[AREA_W_ELEMS];
            ASSERT_EQ(static_cast<int64_t>(a.data.size()), n);
        }
    }
}

// ---------------------------------------------------------------------------
// Image record
// ---------------------------------------------------------------------------

TEST_F(AreaRead, ImageRecordFromTheDirectory) {
    struct Row {
        int date, time;
        int year, month, day;
    } rows[] = {{98260, 74500, 1998, 9, 17},   // two-digit year
                {100137, 85900, 2000, 5, 16},  // year counted from 1900
                {4060, 235959, 2004, 2, 29},   // below 50: 20yy, leap day
                {2001059, 1000, 2001, 2, 28}}; // four-digit year
    for (const auto &r : rows) {
        fx::Image im = ramp_image(4, 6);
        im.date = r.date;
        im.time = r.time;
        im.ul_line = 101;
        im.ul_elem = 201;
        im.line_res = 2;
        im.elem_res = 4;
        AREA a;
        ASSERT_EQ(read_bytes(fx::write_plain(im, fx::Order::little), &a), 0);
        IMAGE img;
        ASSERT_EQ(SAT_fill_AREA_image(&img, &a), 0);
        EXPECT_EQ(img.source, 51);
        EXPECT_EQ(img.depth, 8);
        EXPECT_EQ(img.nx, 6);
        EXPECT_EQ(img.ny, 4);
        EXPECT_EQ(img.bytes_per_line, 6);
        EXPECT_EQ(img.byte_order, 1);
        EXPECT_EQ(img.res_x, 4.0f);
        EXPECT_EQ(img.res_y, 2.0f);
        EXPECT_EQ(img.off_x, 201.0f);
        EXPECT_EQ(img.off_y, 101.0f);
        EXPECT_EQ(img.date.year, r.year) << r.date;
        EXPECT_EQ(img.date.month, r.month) << r.date;
        EXPECT_EQ(img.date.day, r.day) << r.date;
        EXPECT_EQ(img.date.hour, r.time / 10000);
        EXPECT_EQ(img.date.minute, r.time / 100 % 100);
        EXPECT_EQ(img.info.substr(0, 15), "RAMP TEST IMAGE");
        std::string label;
        DATE_make_label(&img.date, label);
        EXPECT_EQ(img.label, label);
        EXPECT_EQ(img.data, im.pixels);
        EXPECT_TRUE(a.data.empty()) << "pixels move into the image";
    }
}

TEST_F(AreaRead, GoesImageOffsetCountsFromTheStartScan) {
    fx::Image im = ramp_image(4, 6, "GOES");
    im.ul_line = 1001;
    im.start_scan = 400;
    AREA a;
    ASSERT_EQ(read_bytes(fx::write_plain(im, fx::Order::big), &a), 0);
    IMAGE img;
    SAT_fill_AREA_image(&img, &a);
    EXPECT_EQ(img.off_y, 601.0f);
}

TEST_F(AreaRead, DiagnosticLines) {
    fx::Image im = ramp_image(4, 6);
    im.ul_line = 6;
    im.ul_elem = -159;
    im.line_res = 5;
    im.elem_res = 4;
    im.band_map = 0x1F;
    AREA a;
    ASSERT_EQ(read_bytes(fx::write_plain(im, fx::Order::little), &a), 0);
    IMAGE img;
    SAT_fill_AREA_image(&img, &a);
    MessageCapture cap;
    SAT_print_AREA(&img, &a);
    const std::string want =
        "Date: " + img.label +
        "\nSize: 6x4\nResolution: 4x5\nCorrection: -159x6\nBands: 1f\n"
        "Source type: " +
        std::string(host_little() ? "VISR" : "RSIV") +
        "\nCalibration type: " + (host_little() ? "BRIT" : "TIRB") +
        "\nNavigation type:   PS\nComments: RAMP TEST IMAGE                 \n";
    EXPECT_EQ(cap.text(), want);
}

// ---------------------------------------------------------------------------
// Real files
// ---------------------------------------------------------------------------

namespace {

// Minimal reader of an uncompressed one-strip 16-bit grey TIFF (either order).
bool read_tiff16(const std::string &path, int *w, int *h, std::vector<uint16_t> *px) {
    const std::string s = testsupport::read_file(path);
    if (s.size() < 8)
        return false;
    const bool be = s[0] == 'M';
    auto u16 = [&](size_t o) {
        const auto a = static_cast<uint8_t>(s[o]), b = static_cast<uint8_t>(s[o + 1]);
        return static_cast<uint32_t>(be ? a << 8 | b : b << 8 | a);
    };
    auto u32 = [&](size_t o) { return be ? u16(o) << 16 | u16(o + 2) : u16(o + 2) << 16 | u16(o); };
    const size_t ifd = u32(4);
    const uint32_t n = u16(ifd);
    uint32_t offset = 0, bytes = 0, bits = 0, compression = 1;
    for (uint32_t i = 0; i < n; ++i) {
        const size_t e = ifd + 2 + 12 * i;
        const uint32_t tag = u16(e), type = u16(e + 2);
        const uint32_t v = type == 3 ? u16(e + 8) : u32(e + 8);
        if (tag == 256)
            *w = static_cast<int>(v);
        else if (tag == 257)
            *h = static_cast<int>(v);
        else if (tag == 258)
            bits = v;
        else if (tag == 259)
            compression = v;
        else if (tag == 273)
            offset = v;
        else if (tag == 279)
            bytes = v;
    }
    if (bits != 16 || compression != 1 || offset + bytes > s.size())
        return false;
    px->resize(bytes / 2);
    for (size_t i = 0; i < px->size(); ++i)
        (*px)[i] = static_cast<uint16_t>(u16(offset + 2 * i));
    return true;
}

} // namespace

TEST_F(AreaRead, RealGvarFileMatchesThePublishedDecode) {
    XSAT_REQUIRE_SHARED(area, "data/area/cmx3g8_wv_1998.260_0745_mcidas.ara");
    XSAT_REQUIRE_SHARED(tiff, "data/area/cmx3g8_wv_1998.260_0745_mcidas.tiff");
    int w = 0, h = 0;
    std::vector<uint16_t> ref;
    ASSERT_TRUE(read_tiff16(tiff, &w, &h, &ref)) << "reference TIFF not readable";
    ASSERT_EQ(w, 1800);
    ASSERT_EQ(h, 400);
    File f(std::fopen(area.c_str(), "rb"));
    AREA a;
    ASSERT_EQ(SAT_read_AREA(f.get(), &a), 0);
    EXPECT_EQ(a.nav_type, "GVAR");
    EXPECT_EQ(a.gvar_nav.size(), 640u);
    ASSERT_EQ(a.data.size(), ref.size());
    size_t bad = 0;
    for (size_t i = 0; i < ref.size(); ++i)
        bad += a.data[i] != (ref[i] >> 8);
    EXPECT_EQ(bad, 0u) << "pixels differing from the reference decode";
}

TEST_F(AreaRead, RealLittleEndianPolarStereographicFile) {
    XSAT_REQUIRE_SHARED(path, "data/area/pngarea.decoded.area");
    File f(std::fopen(path.c_str(), "rb"));
    AREA a;
    ASSERT_EQ(SAT_read_AREA(f.get(), &a), 0);
    EXPECT_EQ(a.nav_type, "PS");
    EXPECT_EQ(a.dir[AREA_W_LINES], 350);
    EXPECT_EQ(a.dir[AREA_W_ELEMS], 640);
    EXPECT_EQ(a.dir[AREA_W_ELEM], -159);
    EXPECT_EQ(a.data.size(), 350u * 640u);
    // The data block is the file's bytes from the data offset on.
    const std::string raw = testsupport::read_file(path);
    EXPECT_EQ(0, std::memcmp(a.data.data(), raw.data() + 768, a.data.size()));
}
