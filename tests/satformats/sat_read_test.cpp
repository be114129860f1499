// AREA reader: byte-order helpers, plain files in both byte orders, sync-framed
// streams, damaged input, the image record and the real sample files.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <tuple>

#include "area_test_util.h"
#include "base/date.h"

using namespace areatest;
namespace fx = area_fixture;

namespace {

using Bytes = std::vector<uint8_t>;
constexpr bool kHostLittle = std::endian::native == std::endian::little;

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

// Replaces a directory word of a big-endian file.
void set_word_be(Bytes &file, int word, int32_t v) {
    for (int k = 0; k < 4; ++k)
        file[static_cast<size_t>(4 * word + k)] = static_cast<uint8_t>(v >> (24 - 8 * k));
}

// Pseudo-random bytes (a linear congruential generator), each or-ed with `set`.
Bytes noise(size_t n, uint32_t seed, uint8_t set = 0) {
    Bytes out(n);
    for (auto &b : out) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(seed >> 24 | set);
    }
    return out;
}

// A framed GOES header of lines x elems pixels.
fx::Image sync_header(int lines, int elems) {
    fx::Image im;
    im.lines = lines;
    im.elems = elems;
    im.nav_type = "GOES";
    im.nav.assign(128, 0);
    im.nav[1] = 98260;
    return im;
}

// Rows of runs, small steps and jumps, so every code of the nibble set appears.
void fill_sync_rows(fx::Image &im, int seed) {
    for (int l = 0; l < im.lines; ++l) {
        uint32_t x = static_cast<uint32_t>(l + seed) * 2654435761u + 1;
        auto v = static_cast<uint8_t>(l + seed);
        for (int e = 0; e < im.elems; ++e) {
            x = x * 1103515245u + 12345u;
            const uint32_t k = x >> 16 & 7;
            if (k < 3)
                v = static_cast<uint8_t>(v + static_cast<int>(x >> 20 & 12) - 6);
            else if (k == 3)
                v = static_cast<uint8_t>(x >> 24);
            im.pixels.push_back(v);
        }
    }
}

class AreaRead : public ::testing::Test {
  protected:
    void SetUp() override { reset_all(); }
    void TearDown() override { reset_all(); }
};

} // namespace

// --- Byte-order helpers ---

TEST_F(AreaRead, SwapHelpers) {
    // Mode -1 never swaps, 0 always, 1 for big-endian data, 2 for little-endian.
    for (auto [mode, swaps] :
         {std::pair{-1, false}, {0, true}, {1, kHostLittle}, {2, !kHostLittle}}) {
        swap_setup(mode);
        uint8_t b[4] = {1, 2, 3, 4};
        EXPECT_EQ(swap_long(b), swaps ? 0 : -1) << "mode " << mode;
        EXPECT_EQ(Bytes(b, b + 4), (swaps ? Bytes{4, 3, 2, 1} : Bytes{1, 2, 3, 4})) << mode;
    }
    swap_setup(0);
    uint8_t s[4] = {1, 2, 3, 4}, d[8] = {1, 2, 3, 4, 5, 6, 7, 8}, l[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(swap_shorts(s, 2), 0);
    EXPECT_EQ(swap_double(d), 0);
    EXPECT_EQ(swap_longs(l, 2), 0);
    EXPECT_EQ(Bytes(s, s + 4), (Bytes{2, 1, 4, 3}));
    EXPECT_EQ(Bytes(d, d + 8), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(Bytes(l, l + 8), (Bytes{4, 3, 2, 1, 8, 7, 6, 5}));
    EXPECT_EQ(swap_longs(l, 0), 0) << "nothing to do is still success";
    EXPECT_EQ(swap_longs(l, -3), 0);
    swap_setup(-1);
    EXPECT_EQ(swap_shorts(s, 2), -1);
    EXPECT_EQ(swap_longs(l, 0), -1);
    float a = 1, c = 2;
    fswap(&a, &c);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(c, 1);
}

TEST_F(AreaRead, StreamHelpersSwapOnReadAndWrite) {
    swap_setup(1); // big-endian data
    File f(std::tmpfile());
    int32_t v = 0x01020304;
    ASSERT_EQ(fwrite_long_swap(&v, f.get()), 1u);
    EXPECT_EQ(v, kHostLittle ? 0x04030201 : 0x01020304) << "the item is left in file order";
    int16_t s = 0x0102;
    ASSERT_EQ(fwrite_short_swap(&s, f.get()), 1u);
    std::rewind(f.get());
    Bytes raw(6);
    ASSERT_EQ(std::fread(raw.data(), 1, 6, f.get()), 6u);
    EXPECT_EQ(raw, (Bytes{1, 2, 3, 4, 1, 2})) << "file must be big-endian";
    std::rewind(f.get());
    int32_t back = 0;
    int16_t sback = 0;
    double dback = 0;
    EXPECT_EQ(fread_long_swap(&back, f.get()), 1u);
    EXPECT_EQ(back, 0x01020304);
    EXPECT_EQ(fread_short_swap(&sback, f.get()), 1u);
    EXPECT_EQ(sback, 0x0102);
    EXPECT_EQ(fread_double_swap(&dback, f.get()), 0u) << "no full item left";
}

// --- Plain files ---

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
        if (i >= AREA_W_COMMENT && (i <= 31 || i == AREA_W_SOURCE || i == AREA_W_CALIB))
            continue;
        EXPECT_EQ(big.dir[static_cast<size_t>(i)], little.dir[static_cast<size_t>(i)]) << i;
    }
    EXPECT_EQ(big.dir[AREA_W_SOURCE], static_cast<int32_t>(__builtin_bswap32(
                                          static_cast<uint32_t>(little.dir[AREA_W_SOURCE]))));
    EXPECT_EQ(std::tuple(big.dir[AREA_W_LINES], big.dir[AREA_W_ELEMS], big.dir[AREA_W_DATA]),
              std::tuple(9, 13, 256 + 512));
    EXPECT_EQ(0, std::memcmp(&big.dir[AREA_W_COMMENT], "RAMP TEST IMAGE", 15));
    EXPECT_EQ(std::tuple(big.nav_type, little.nav_type), std::tuple("PS", "PS"));
    ASSERT_EQ(big.ps_nav.size(), 128u);
    EXPECT_EQ(big.ps_nav, little.ps_nav);
    EXPECT_EQ(std::tuple(big.ps_nav[1], big.ps_nav[5]), std::tuple(-1530, 1050000));
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
            for (size_t i = 1; i <= (r.words == 640 ? 639 : 119); ++i)
                ASSERT_EQ(slot[i], static_cast<int32_t>(i * 1000003 - 7)) << r.type << " " << i;
            EXPECT_EQ(AREA_nav_block(&a), &slot);
        }
    }
    AREA a;
    fx::Image im = ramp_image(3, 4, "");
    im.data_offset = 256 + 512;
    ASSERT_EQ(read_bytes(fx::write_plain(im, fx::Order::big), &a), 0);
    EXPECT_EQ(a.nav_type, "");
    EXPECT_EQ(AREA_nav_block(&a), nullptr);
    // Text words 120-127 of a 128-word block keep their byte order.
    auto bytes = fx::write_plain(ramp_image(2, 2, "MERC"), fx::Order::little);
    std::memcpy(bytes.data() + 256 + 4 * 120, "MORE", 4);
    ASSERT_EQ(read_bytes(bytes, &a), 0);
    ASSERT_EQ(a.proj_nav.size(), 128u);
    EXPECT_EQ(0, std::memcmp(&a.proj_nav[120], "MORE", 4));
}

TEST_F(AreaRead, PixelSizesAndBitShift) {
    // Two-byte pixels are big-endian pairs: 0x1234 gives 0x12 with no shift and
    // 0x23 with a shift of 4, in either directory byte order, with or without prefix.
    for (auto order : {fx::Order::big, fx::Order::little}) {
        for (int prefix : {0, 6}) {
            fx::Image im = ramp_image(3, 5, "GOES");
            im.bytes_per_elem = 2;
            im.prefix = prefix;
            im.pixels.clear();
            for (int i = 0; i < 15; ++i)
                im.pixels.insert(im.pixels.end(), {0x12, 0x34});
            const auto bytes = fx::write_plain(im, order);
            for (auto [shift, want] : {std::pair{0, 0x12}, {4, 0x23}, {8, 0x34}, {-4, 0x01}}) {
                SAT_area_set_bit_shift(shift);
                AREA a;
                ASSERT_EQ(read_bytes(bytes, &a), 0);
                EXPECT_EQ(a.data, Bytes(15, static_cast<uint8_t>(want)))
                    << "shift " << shift << " prefix " << prefix;
            }
        }
    }
    // One-byte pixels shift only when lines have a prefix.
    fx::Image im = ramp_image(4, 6);
    SAT_area_set_bit_shift(2);
    AREA a;
    ASSERT_EQ(read_bytes(fx::write_plain(im, fx::Order::big), &a), 0);
    EXPECT_EQ(a.data, im.pixels) << "no prefix: bytes copied as they are";
    im.prefix = 3;
    ASSERT_EQ(read_bytes(fx::write_plain(im, fx::Order::big), &a), 0);
    Bytes shifted;
    for (uint8_t p : im.pixels)
        shifted.push_back(static_cast<uint8_t>(p << 2));
    EXPECT_EQ(a.data, shifted);
    // Elements of other sizes cannot be read: said, and the read fails.
    for (int bytes : {0, 3, 4, -1}) {
        im = ramp_image(3, 4);
        im.pixels.assign(48, 0x77);
        Bytes file = fx::write_plain(im, fx::Order::big);
        set_word_be(file, AREA_W_BYTES, bytes);
        MessageCapture cap;
        EXPECT_EQ(read_bytes(file, &a), -1) << bytes;
        EXPECT_EQ(cap.text(), "SAT_read_AREA: Unsupported element size of " +
                                  std::to_string(bytes) + " bytes\n");
    }
}

TEST_F(AreaRead, NonSeekableStreamsAreRead) {
    const fx::Image im = ramp_image(40, 300);
    const auto bytes = fx::write_plain(im, fx::Order::little);
    testsupport::TempDir dir;
    const std::string path = dir.write("pipe.area", std::string(bytes.begin(), bytes.end()));
    FILE *p = popen(("cat " + path).c_str(), "r");
    ASSERT_NE(p, nullptr);
    AREA a;
    EXPECT_EQ(SAT_read_AREA(p, &a), 0);
    pclose(p);
    EXPECT_EQ(a.data, im.pixels);
}

// --- Sync-framed streams ---

TEST_F(AreaRead, SyncStreamRoundTrip) {
    fx::Image im = sync_header(25, 70);
    fill_sync_rows(im, 0);
    // A lead-in of noise before the first frame is skipped.
    AREA a;
    ASSERT_EQ(read_bytes(fx::write_sync(im, fx::sync_lines(im), {0x12, 0x00, 0x34}), &a), 0);
    EXPECT_EQ(a.nav_type, "GOES");
    EXPECT_EQ(a.goes_nav[1], 98260) << "navigation words are big-endian";
    EXPECT_EQ(a.dir[AREA_W_LINES], 25);
    // The line numbered like the line count marks the end: the last line stays 0.
    Bytes want(im.pixels.begin(), im.pixels.end() - 70);
    want.resize(25 * 70, 0);
    EXPECT_EQ(a.data, want);
}

TEST_F(AreaRead, SyncLineCodes) {
    // Nibbles 0,1,0 (literal 0x10), 12 (+1), 15 (three repeats): 16, 17, 17, 17,
    // 17, times 4 under line code 6 and doubled by a shift of 1. Literal 0x02, then
    // -6 (code 1) and +6 (code 2) twice wrap modulo 256: 2, 252, 2, 252, 2.
    const Bytes code = {0x01, 0x0C, 0xFF}, delta = {0x00, 0x21, 0x21, 0x2F};
    const std::vector<fx::SyncLine> coded = {{1, 6, code}, {2, 0, code}, {3, 0, {}}};
    fx::Image im = sync_header(3, 5);
    im.prefix = 2;
    AREA a;
    ASSERT_EQ(read_bytes(fx::write_sync(im, coded), &a), 0);
    EXPECT_EQ(a.data, (Bytes{64, 68, 68, 68, 68, 16, 17, 17, 17, 17, 0, 0, 0, 0, 0}));
    SAT_area_set_bit_shift(1);
    ASSERT_EQ(read_bytes(fx::write_sync(im, coded), &a), 0);
    EXPECT_EQ(a.data, (Bytes{128, 136, 136, 136, 136, 32, 34, 34, 34, 34, 0, 0, 0, 0, 0}));
    SAT_area_set_bit_shift(0);
    ASSERT_EQ(read_bytes(fx::write_sync(sync_header(2, 5), {{1, 0, delta}, {2, 0, {}}}), &a), 0);
    EXPECT_EQ(a.data, (Bytes{2, 252, 2, 252, 2, 0, 0, 0, 0, 0}));
}

TEST_F(AreaRead, SyncLineNumbersAreRepaired) {
    // Lines of four pixels holding their own number; returns the value of each row
    // of the image (-1 for a mixed row).
    auto rows_of = [](int lines, const std::vector<int64_t> &numbers, int damaged = -1) {
        std::vector<fx::SyncLine> ls;
        for (int64_t n : numbers)
            ls.push_back({n, 0, fx::encode_line(Bytes(4, static_cast<uint8_t>(n)))});
        if (damaged >= 0)
            ls[static_cast<size_t>(damaged)].damaged_frame = true;
        AREA a;
        EXPECT_EQ(read_bytes(fx::write_sync(sync_header(lines, 4), ls), &a), 0);
        std::vector<int> rows;
        for (size_t i = 0; i + 4 <= a.data.size(); i += 4)
            rows.push_back(
                std::all_of(&a.data[i], &a.data[i + 4], [&](uint8_t v) { return v == a.data[i]; })
                    ? a.data[i]
                    : -1);
        return rows;
    };
    // 5 -> 9 inserts three zero lines; the line count (12) ends the image.
    EXPECT_EQ(rows_of(12, {1, 2, 3, 4, 5, 9, 10, 12}),
              (std::vector<int>{1, 2, 3, 4, 5, 0, 0, 0, 9, 10, 0, 0}));
    // 5 -> 20 is no jump: decoded directly behind line 5, and 5 stays the previous
    // number, so line 6 follows it. A number going back is kept too, and so is an
    // end mark more than ten lines ahead: it is decoded as a line (and with no end mark
    // the image ends there).
    EXPECT_EQ(rows_of(30, {1, 2, 3, 4, 5, 20, 6, 3, 30}),
              (std::vector<int>{1, 2, 3, 4, 5, 20, 6, 3, 30}));
    // A frame whose first number byte is not 0 is passed over for the next one.
    EXPECT_EQ(rows_of(4, {1, 2, 3, 4}, 1), (std::vector<int>{1, 2, 3, 0}));
}

TEST_F(AreaRead, SyncStreamEndingEarlyEndsTheImage) {
    fx::Image im = sync_header(20, 30);
    fill_sync_rows(im, 3);
    auto ls = fx::sync_lines(im);
    ls.resize(6); // lines 1-6 only, no end mark
    auto bytes = fx::write_sync(im, ls);
    bytes.resize(bytes.size() - 5); // and the sixth cut inside its code
    MessageCapture cap;
    AREA a;
    ASSERT_EQ(read_bytes(bytes, &a), 0);
    EXPECT_EQ(cap.text(), "SAT_read_AREA: File ends inside the image: 6 of 20 lines kept\n");
    EXPECT_EQ(a.dir[AREA_W_LINES], 6);
    ASSERT_EQ(a.data.size(), 180u);
    EXPECT_TRUE(std::equal(a.data.begin(), a.data.begin() + 150, im.pixels.begin()));
}

// A header that claims a billion pixels costs what the file holds: a 4 KB file, and
// a 288-byte stream (directory and one empty line), are images of one line.
TEST_F(AreaRead, PixelsGrowWithWhatTheFileHolds) {
    fx::Image im = ramp_image(1, 100000, "");
    Bytes plain = fx::write_plain(im, fx::Order::big);
    plain.resize(4096);
    set_word_be(plain, AREA_W_LINES, 10000);
    fx::Image sim = sync_header(10000, 100000);
    sim.nav_type.clear();
    sim.nav.clear();
    const Bytes framed = fx::write_sync(sim, {{1, 0, {}}});
    ASSERT_EQ(framed.size(), 288u);
    for (const Bytes &file : {plain, framed}) {
        AREA a;
        ASSERT_EQ(read_bytes(file, &a), 0);
        EXPECT_EQ(a.dir[AREA_W_LINES], 1);
        EXPECT_EQ(a.data.size(), 100000u);
        IMAGE image;
        SAT_fill_AREA_image(&image, &a);
        EXPECT_EQ(std::tuple(image.nx, image.ny), std::tuple(100000, 1));
    }
    // Nothing at all behind the header: said, and the read fails.
    fx::Image none = sync_header(10, 10);
    MessageCapture cap;
    AREA a;
    Bytes empty = fx::write_sync(none, {});
    empty.insert(empty.end(), 40, 0x11);
    EXPECT_EQ(read_bytes(empty, &a), -1);
    EXPECT_EQ(cap.text(), "SAT_read_AREA: No image lines in the file\n");
}

TEST_F(AreaRead, SyncStreamsOfGarbage) {
    // Without a pattern: refused quietly.
    MessageCapture cap;
    const Bytes junk = noise(5000, 7, 1); // never 0: no pattern can start
    AREA a;
    EXPECT_EQ(read_bytes(junk, &a), -1);
    // A framed directory without a frame before the navigation block.
    fx::Image im = sync_header(3, 3);
    auto bytes = fx::write_sync(im, fx::sync_lines(im));
    bytes.resize(8 + 256);
    bytes.insert(bytes.end(), junk.begin(), junk.end());
    EXPECT_EQ(read_bytes(bytes, &a), -1);
    bytes.resize(8 + 256 + 7);
    EXPECT_EQ(read_bytes(bytes, &a), -1);
    EXPECT_EQ(cap.text(), "") << "a stream that is not an AREA file is refused without words";
    // Frames with wild numbers and lengths, codes running past the line: the read ends.
    const Bytes wild = noise(300, 99);
    std::vector<fx::SyncLine> ls;
    uint32_t x = 99;
    for (int i = 0; i < 40; ++i, x = x * 1103515245u + 12345u)
        ls.push_back({static_cast<int64_t>(x % 300), static_cast<int>(x >> 8 & 7), wild,
                      static_cast<int>(x >> 4 & 0xFFFF)});
    bytes = fx::write_sync(sync_header(200, 100), ls);
    bytes.insert(bytes.end(), wild.begin(), wild.end());
    EXPECT_EQ(read_bytes(bytes, &a), 0);
    EXPECT_EQ(a.data.size(), 100u * static_cast<size_t>(a.dir[AREA_W_LINES]));
    EXPECT_LE(a.data.size(), 20000u);
}

// --- Damaged and hostile files ---

TEST_F(AreaRead, DamagedHeadersFailWithAMessage) {
    const auto bytes = fx::write_plain(ramp_image(5, 6), fx::Order::big);
    auto with_word = [&](int word, int32_t v) {
        auto b = bytes;
        for (int k = 0; k < 4; ++k)
            b[static_cast<size_t>(4 * word + k)] = static_cast<uint8_t>(v >> (24 - 8 * k));
        return b;
    };
    const std::string bad = "SAT_read_AREA: Invalid image parameters\n";
    const std::pair<Bytes, std::string> rows[] = {
        {Bytes(bytes.begin(), bytes.begin() + 200),
         "SAT_read_AREA: File too short for the directory\n"},
        {Bytes(bytes.begin(), bytes.begin() + 256 + 300),
         "SAT_read_AREA: Navigation block PS is cut short\n"},
        {with_word(AREA_W_LINES, 0), bad},
        {with_word(AREA_W_ELEMS, 100001), bad},
        {with_word(AREA_W_LINES, -5), bad},
        {with_word(AREA_W_DATA, 1 << 30),
         "SAT_read_AREA: Data offset 1073741824 outside the file\n"},
        {with_word(AREA_W_DATA, -1000), "SAT_read_AREA: Data offset -1000 outside the file\n"},
        {with_word(AREA_W_PREFIX, -4), "SAT_read_AREA: Invalid line prefix length -4\n"},
        {with_word(AREA_W_ELEMS, 100000), "SAT_read_AREA: Image of 100000x5 is too large\n"},
    };
    SAT_area_set_max_pixels(100000);
    for (const auto &[file, message] : rows) {
        MessageCapture cap;
        AREA a;
        EXPECT_EQ(read_bytes(file, &a), -1) << message;
        EXPECT_EQ(cap.text(), message);
    }
    // No stream, or too little to be anything.
    AREA a;
    EXPECT_EQ(SAT_read_AREA(nullptr, &a), -1);
    EXPECT_EQ(read_bytes({}, &a), -1);
    EXPECT_EQ(read_bytes({0, 0, 0, 0, 0, 0, 0}, &a), -1);
}

TEST_F(AreaRead, TruncatedPixelBlockKeepsTheLinesItHolds) {
    for (int prefix : {0, 4}) {
        fx::Image im = ramp_image(10, 8);
        im.prefix = prefix;
        auto bytes = fx::write_plain(im, fx::Order::little);
        bytes.resize(bytes.size() - static_cast<size_t>(4 * (8 + prefix)) - 3);
        MessageCapture cap;
        AREA a;
        ASSERT_EQ(read_bytes(bytes, &a), 0);
        EXPECT_EQ(cap.text(), "SAT_read_AREA: File ends inside the image: 6 of 10 lines kept\n");
        // Five whole lines, and the sixth without its last three pixels.
        EXPECT_EQ(a.dir[AREA_W_LINES], 6);
        ASSERT_EQ(a.data.size(), 48u);
        EXPECT_TRUE(std::equal(a.data.begin(), a.data.begin() + 45, im.pixels.begin())) << prefix;
        EXPECT_EQ(Bytes(a.data.begin() + 45, a.data.end()), Bytes(3, 0)) << prefix;
        // Cut inside the last line: all lines, the last with a blank rest.
        bytes = fx::write_plain(im, fx::Order::little);
        bytes.resize(bytes.size() - 2);
        MessageCapture last;
        ASSERT_EQ(read_bytes(bytes, &a), 0);
        EXPECT_EQ(last.text(),
                  "SAT_read_AREA: File ends inside the last line, its rest is blank\n");
        EXPECT_EQ(a.data.size(), 80u);
    }
}

TEST_F(AreaRead, MutatedFilesNeverCrash) {
    // Random byte and word damage in plain and framed files: any result is
    // fine as long as the reader returns (the sanitizer build checks memory).
    SAT_area_set_max_pixels(1 << 20);
    fx::Image im = ramp_image(30, 40, "GVAR");
    fx::Image sim = sync_header(30, 40);
    sim.pixels = im.pixels;
    const std::vector<Bytes> seeds = {fx::write_plain(im, fx::Order::big),
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
        if (read_bytes(b, &a) == 0) {
            ASSERT_EQ(static_cast<int64_t>(a.data.size()),
                      int64_t{a.dir[AREA_W_LINES]} * a.dir[AREA_W_ELEMS]);
        }
    }
}

// --- Image record ---

TEST_F(AreaRead, ImageRecordFromTheDirectory) {
    auto image_of = [](const fx::Image &im, AREA *a, IMAGE *img) {
        ASSERT_EQ(read_bytes(fx::write_plain(im, fx::Order::little), a), 0);
        ASSERT_EQ(SAT_fill_AREA_image(img, a), 0);
    };
    // Two-digit year; year counted from 1900; below 50: 20yy (leap day); four digits.
    const int rows[][5] = {{98260, 74500, 1998, 9, 17},
                           {100137, 85900, 2000, 5, 16},
                           {4060, 235959, 2004, 2, 29},
                           {2001059, 1000, 2001, 2, 28}};
    for (const auto [date, time, year, month, day] : rows) {
        fx::Image im = ramp_image(4, 6);
        std::tie(im.date, im.time, im.ul_line, im.ul_elem) = std::tuple{date, time, 101, 201};
        std::tie(im.line_res, im.elem_res) = std::tuple{2, 4};
        AREA a;
        IMAGE img;
        image_of(im, &a, &img);
        EXPECT_EQ(
            std::tuple(img.date.year, img.date.month, img.date.day, img.date.hour, img.date.minute),
            std::tuple(year, month, day, time / 10000, time / 100 % 100));
        std::string label;
        DATE_make_label(&img.date, label);
        EXPECT_EQ(img.label, label);
        if (date != 98260)
            continue;
        // source, depth, size, bytes per line, byte order; resolution and offset
        EXPECT_EQ(
            std::tuple(img.source, img.depth, img.nx, img.ny, img.bytes_per_line, img.byte_order),
            std::tuple(51, 8, 6, 4, 6, 1));
        EXPECT_EQ(std::tuple(img.res_x, img.res_y, img.off_x, img.off_y),
                  std::tuple(4.0f, 2.0f, 201.0f, 101.0f));
        EXPECT_EQ(img.info.substr(0, 15), "RAMP TEST IMAGE");
        EXPECT_EQ(img.data, im.pixels);
        EXPECT_TRUE(a.data.empty()) << "pixels move into the image";
    }
    // A GOES image's line offset counts from the start scan.
    fx::Image im = ramp_image(4, 6, "GOES");
    im.ul_line = 1001;
    im.start_scan = 400;
    AREA a;
    IMAGE img;
    image_of(im, &a, &img);
    EXPECT_EQ(img.off_y, 601.0f);
}

TEST_F(AreaRead, DiagnosticLines) {
    fx::Image im = ramp_image(4, 6);
    std::tie(im.ul_line, im.ul_elem, im.line_res, im.elem_res) = std::tuple{6, -159, 5, 4};
    im.band_map = 0x1F;
    AREA a;
    ASSERT_EQ(read_bytes(fx::write_plain(im, fx::Order::little), &a), 0);
    IMAGE img;
    SAT_fill_AREA_image(&img, &a);
    MessageCapture cap;
    SAT_print_AREA(&img, &a);
    EXPECT_EQ(cap.text(), "Date: " + img.label +
                              "\nSize: 6x4\nResolution: 4x5\nCorrection: -159x6\nBands: 1f\n"
                              "Source type: " +
                              (kHostLittle ? "VISR" : "RSIV") +
                              "\nCalibration type: " + (kHostLittle ? "BRIT" : "TIRB") +
                              "\nNavigation type:   PS\nComments: RAMP TEST IMAGE"
                              "                 \n");
}

// --- Real files ---

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
    uint32_t tags[280] = {}; // value of each tag of interest
    tags[259] = 1;           // no compression unless told
    for (uint32_t i = 0, n = u16(ifd); i < n; ++i) {
        const size_t e = ifd + 2 + 12 * i;
        const uint32_t tag = u16(e);
        if (tag < 280)
            tags[tag] = u16(e + 2) == 3 ? u16(e + 8) : u32(e + 8);
    }
    const uint32_t offset = tags[273], bytes = tags[279];
    *w = static_cast<int>(tags[256]);
    *h = static_cast<int>(tags[257]);
    if (tags[258] != 16 || tags[259] != 1 || offset + bytes > s.size())
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
    AREA a;
    ASSERT_EQ(read_path(area, &a), 0);
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
    AREA a;
    ASSERT_EQ(read_path(path, &a), 0);
    EXPECT_EQ(a.nav_type, "PS");
    EXPECT_EQ(std::tuple(a.dir[AREA_W_LINES], a.dir[AREA_W_ELEMS], a.dir[AREA_W_ELEM]),
              std::tuple(350, 640, -159));
    // The data block is the file's bytes from the data offset on.
    const std::string raw = testsupport::read_file(path);
    ASSERT_EQ(a.data.size(), 350u * 640u);
    EXPECT_EQ(0, std::memcmp(a.data.data(), raw.data() + 768, a.data.size()));
}

// --- Reader table ---

TEST_F(AreaRead, ReaderTableRowsAndRecognisers) {
    // Every satellite input type of this layer has a row, and every row reads.
    for (auto [type, name] : {std::pair{51, "area"},
                              {53, "awip"},
                              {54, "awipz"},
                              {55, "raster"},
                              {59, "tiff"},
                              {60, "lrit"}}) {
        const SAT_READER *r = SAT_find_reader(type);
        ASSERT_NE(r, nullptr) << type;
        EXPECT_STREQ(r->name, name);
        EXPECT_NE(r->read_header, nullptr) << type;
    }
    EXPECT_EQ(SAT_find_reader(50), nullptr) << "the native format's row lives above";
    const SAT_READER above[] = {{.type = 50, .name = "img"}, {.type = 51, .name = "mine"}};
    EXPECT_STREQ(SAT_find_reader(50, above)->name, "img");
    EXPECT_STREQ(SAT_find_reader(51, above)->name, "mine") << "rows from above come first";
    EXPECT_EQ(SAT_find_reader(52), nullptr);

    // AREA: word 1 is 4 in either order, or a sync pattern after a lead-in.
    const fx::Image im = ramp_image(3, 4);
    fx::Image sim = sync_header(3, 4);
    fill_sync_rows(sim, 1);
    for (const Bytes &file :
         {fx::write_plain(im, fx::Order::big), fx::write_plain(im, fx::Order::little),
          fx::write_sync(sim, fx::sync_lines(sim), {0x12, 0x00, 0x34})}) {
        const Bytes head(file.begin(),
                         file.begin() + std::min<size_t>(file.size(), SAT_HEAD_BYTES));
        const SAT_READER *r = SAT_recognise_reader(head);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->type, 51);
    }
    EXPECT_EQ(SAT_recognise_reader(noise(SAT_HEAD_BYTES, 7, 1)), nullptr);
    EXPECT_EQ(SAT_recognise_reader(Bytes{0, 0, 0, 0, 4}), nullptr) << "too short for word 1";
}
