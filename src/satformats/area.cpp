// AREA reader.
//
// AREA files: a 64-word directory of signed 32-bit words, the navigation block
// directly behind it (the directory's own navigation offset, word 34, is not
// trusted) and the pixel block at the offset of word 33. Word 1 is 4 and tells
// the byte order. Traps:
//  - words 24-31 are a text comment and keep their byte order when the other
//    words are swapped; so do words 120-127 of every 128-word navigation block
//    (their text continuation marks) but not those of a 640-word "GVAR" block;
//    the type words 51 and 52 are swapped like numbers, so their text shows
//    reversed when the file's byte order is not the host's;
//  - two-byte pixels are read big-endian whatever the directory's byte order;
//  - a file whose word 1 is not 4 in either order may be a sync-framed stream: a
//    big-endian directory and navigation block and nibble-coded lines, each after
//    the pattern 00 FF 00 FF 00 FF 00 FF. Its data offset counts the navigation
//    block's first byte as byte 256, and its last line (numbered like the line
//    count) marks the end of the image instead of being decoded.
#include "satformats/area.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "base/bytes.h"
#include "base/date.h"
#include "base/mess.h"
#include "base/pixel_buffer.h"
#include "satformats/area_domain.h"
#include "satformats/sat_reader.h"
#include "satformats/sat_tran.h"

namespace {

struct AreaState {
    int bit_shift = 0; // raw counts
    int64_t max_pixels = AREA_MAX_PIXELS;
};

AreaState &st() {
    static AreaState s;
    return s;
}

} // namespace

void SAT_area_reset_state() {
    st() = AreaState{};
}

namespace {

constexpr int kMaxPrefix = 1 << 20; // line prefix bytes
constexpr uint8_t kSync[8] = {0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF};
constexpr int kSyncAttempts = 1024;

int32_t load_word(const uint8_t *p) {
    int32_t w = 0;
    std::memcpy(&w, p, 4);
    return w;
}

int32_t bswap_word(int32_t w) {
    return static_cast<int32_t>(__builtin_bswap32(static_cast<uint32_t>(w)));
}

uint8_t shift_count(uint32_t v, int shift) {
    return static_cast<uint8_t>(shift >= 0 ? (v << shift) : (v >> -shift));
}

// Searches the synchronisation pattern. An attempt reads bytes while they match
// and fails at the first byte that does not (that byte is consumed; the next
// attempt starts behind it). 1 found, 0 after 1024 failed attempts, -1 at end.
int getsync(ByteCursor &in) {
    for (int attempt = 0; attempt < kSyncAttempts; ++attempt) {
        for (int i = 0;; ++i) {
            int b = in.get_byte();
            if (b < 0)
                return -1;
            if (b != kSync[i])
                break;
            if (i == 7)
                return 1;
        }
    }
    return 0;
}

// Nibbles of a sync-framed line: the high half of a byte first, then the low
// half, after which the byte counts as consumed.
class NibbleReader {
  public:
    explicit NibbleReader(ByteCursor &in) : in_(in) {}
    void reset() {
        low_next_ = false;
        consumed_ = 0;
    }
    int consumed() const { return consumed_; }
    int get() {
        int b = in_.peek_byte();
        if (b < 0)
            return -1;
        if (!low_next_) {
            low_next_ = true;
            return b >> 4;
        }
        in_.get_byte();
        low_next_ = false;
        ++consumed_;
        return b & 0x0F;
    }

  private:
    ByteCursor &in_;
    bool low_next_ = false;
    int consumed_ = 0;
};

// Decodes one nibble-coded line of at most L bytes into line (elements bytes,
// zero on entry). Code 0: a literal byte from the next two nibbles; 1-12: the
// previous value changed by -6, +6, -5, +5, ... -1, +1; 13-15: the previous
// value repeated one to three times. Arithmetic is modulo 256.
void decode_line(NibbleReader &nib, int length, std::vector<uint8_t> &line) {
    static constexpr int kDelta[13] = {0, -6, 6, -5, 5, -4, 4, -3, 3, -2, 2, -1, 1};
    nib.reset();
    const size_t n = line.size();
    size_t w = 0;
    uint8_t v = 0;
    while (nib.consumed() < length && w < n) {
        int k = nib.get();
        if (k < 0)
            return;
        if (k == 0) {
            int hi = nib.get();
            int lo = hi < 0 ? -1 : nib.get();
            if (lo < 0)
                return;
            v = static_cast<uint8_t>(hi << 4 | lo);
            line[w++] = v;
        } else if (k <= 12) {
            v = static_cast<uint8_t>(v + kDelta[k]);
            line[w++] = v;
        } else {
            for (int r = 0; r < k - 12 && w < n; ++r)
                line[w++] = v;
        }
    }
}

// Line number of a sync-framed line, or -1 when the frame cannot be found.
int64_t read_line_number(ByteCursor &in) {
    if (getsync(in) != 1)
        return -1;
    int b0 = in.get_byte();
    if (b0 > 0) {
        // A non-zero first byte means a damaged frame: take the next one.
        if (getsync(in) != 1)
            return -1;
        b0 = in.get_byte();
    }
    int b1 = in.get_byte();
    int b2 = in.get_byte();
    int b3 = in.get_byte();
    if (b0 < 0 || b1 < 0 || b2 < 0 || b3 < 0)
        return -1;
    return static_cast<int64_t>(b0) << 24 | b1 << 16 | b2 << 8 | b3;
}

int get_u16_be(ByteCursor &in) {
    const auto v = in.u16(std::endian::big);
    return v ? int{*v} : -1;
}

// Sync-framed lines: line numbers are repaired (a jump of more than ten lines, a
// number beyond the image or going backwards keeps the previous number), missing
// lines stay zero, the number equal to the line count ends the image. The image
// grows with the frames found: it ends with the last line a frame gave, so a
// stream that stops early makes a shorter image. Returns the number of lines.
int decode_sync_lines(ByteCursor &in, AREA &a, int lines, int elems, int prefix) {
    const int shift = st().bit_shift;
    const size_t width = static_cast<size_t>(elems);
    std::vector<uint8_t> line(width);
    NibbleReader nib(in);
    int64_t p = 0;
    int count = 0, height = 0;
    while (count < lines) {
        std::fill(line.begin(), line.end(), 0);
        int64_t n = read_line_number(in);
        const bool framed = n >= 0;
        if (!framed && in.peek_byte() < 0)
            break; // the stream has ended, and the image with its last frame
        if (n < 0)
            n = lines;
        if (p > 0 && n > p + 10)
            n = p;
        else if (n > lines || n < p)
            n = p;
        in.skip(prefix);
        for (int64_t added = 0; count < lines && added < n - 1 - p; ++added)
            ++count; // the missing line stays zero
        if (n == lines) {
            ++count; // end of image: the rest stays zero
            p = n;
            if (framed)
                height = count;
            continue;
        }
        if (count >= lines)
            break;
        int type = get_u16_be(in);
        int length = get_u16_be(in);
        if (length > 0)
            decode_line(nib, length, line);
        if (type == 6)
            for (auto &v : line)
                v = static_cast<uint8_t>(v * 4);
        if (shift != 0)
            for (auto &v : line)
                v = shift_count(v, shift);
        const size_t at = static_cast<size_t>(count) * width;
        a.data.resize(at + width, 0); // lines skipped by the sync numbers stay black
        std::memcpy(a.data.data() + at, line.data(), width);
        ++count;
        if (framed)
            height = count;
        p = n;
    }
    a.data.resize(static_cast<size_t>(height) * width, 0);
    return height;
}

// Plain files: the prefix of each line is skipped, then elements of one or two
// bytes (big-endian) become bytes. The image grows with the bytes the file
// holds; a file that ends inside a line keeps that line with a blank rest.
// Returns the number of lines; complete tells whether every pixel was there.
int decode_plain_lines(ByteCursor &in, AREA &a, int lines, int elems, int bytes, int prefix,
                       bool &complete) {
    complete = false;
    const int shift = st().bit_shift;
    const size_t width = static_cast<size_t>(elems);
    if (bytes == 1 && prefix == 0) {
        // One block read in large steps, the bytes as they are, into room for all the
        // file holds of them.
        constexpr size_t kStep = size_t{1} << 24;
        const size_t total = width * static_cast<size_t>(lines);
        const int64_t left = in.size() - in.pos();
        a.data.reserve(in.size() < 0 ? std::min(total, kStep)
                                     : std::min(total, size_t(std::max<int64_t>(left, 0))));
        size_t got = 0;
        while (got < total) {
            a.data.resize(got + std::min(kStep, total - got));
            got += in.read(a.data.data() + got, a.data.size() - got);
            if (got < a.data.size())
                break;
        }
        const size_t rows = (got + width - 1) / width;
        a.data.resize(rows * width);
        std::fill(a.data.begin() + ptrdiff_t(got), a.data.end(), 0); // the short last line
        complete = got == total;
        return static_cast<int>(rows);
    }
    std::vector<uint8_t> raw(width * static_cast<size_t>(bytes));
    for (int l = 0; l < lines; ++l) {
        if (!in.skip(prefix))
            return l;
        size_t got = in.read(raw.data(), raw.size());
        if (got == 0)
            return l;
        a.data.resize((static_cast<size_t>(l) + 1) * width, 0);
        uint8_t *out = a.data.data() + static_cast<size_t>(l) * width;
        size_t n = got / static_cast<size_t>(bytes);
        if (bytes == 1) {
            for (size_t e = 0; e < n; ++e)
                out[e] = shift_count(raw[e], shift);
        } else {
            for (size_t e = 0; e < n; ++e) {
                uint32_t v = static_cast<uint32_t>(raw[2 * e]) << 8 | raw[2 * e + 1];
                uint32_t s = shift >= 0 ? v << shift : v >> -shift;
                out[e] = static_cast<uint8_t>(s >> 8);
            }
        }
        if (got < raw.size())
            return l + 1;
    }
    complete = true;
    return lines;
}

bool nav_type_is(const uint8_t *p, const char *text) {
    return std::memcmp(p, text, std::strlen(text)) == 0;
}

// Reads the navigation block at the read position into its slot.
// False (with a message) when a block of a known type is cut short.
bool read_navigation(ByteCursor &in, AREA &a) {
    const int64_t start = in.pos();
    uint8_t head[4] = {0, 0, 0, 0};
    size_t got = in.read(head, 4);
    in.seek(start);
    if (got < 2)
        return true; // no block at all
    struct NavKind {
        const char *text;
        std::vector<int32_t> AREA::*slot;
        int words;
    };
    static const NavKind kinds[] = {
        {"GOES", &AREA::goes_nav, AREA_NAV_WORDS}, {"GVAR", &AREA::gvar_nav, AREA_GVAR_NAV_WORDS},
        {"PS", &AREA::ps_nav, AREA_NAV_WORDS},     {"MOLL", &AREA::proj_nav, AREA_NAV_WORDS},
        {"MSAT", &AREA::ps_nav, AREA_NAV_WORDS},   {"RECT", &AREA::proj_nav, AREA_NAV_WORDS},
        {"MERC", &AREA::proj_nav, AREA_NAV_WORDS}, {"LAMB", &AREA::proj_nav, AREA_NAV_WORDS},
        {"TANC", &AREA::tanc_nav, AREA_NAV_WORDS},
    };
    for (const auto &k : kinds) {
        size_t len = std::strlen(k.text);
        if (got < len || !nav_type_is(head, k.text))
            continue;
        std::vector<int32_t> block(static_cast<size_t>(k.words));
        size_t bytes = block.size() * 4;
        if (in.read(reinterpret_cast<uint8_t *>(block.data()), bytes) != bytes) {
            MESS_print(MESS_WARN, "SAT_read_AREA: Navigation block %s is cut short\n", k.text);
            return false;
        }
        // Word 0 is the type text; the text words 120-127 of short blocks keep
        // their order too.
        int last = k.words == AREA_GVAR_NAV_WORDS ? k.words - 1 : 119;
        swap_longs(block.data() + 1, last);
        a.nav_type = k.text;
        a.*(k.slot) = std::move(block);
        return true;
    }
    return true;
}

} // namespace

const std::vector<int32_t> *AREA_nav_block(const AREA *area) {
    if (!area)
        return nullptr;
    for (const auto *v :
         {&area->goes_nav, &area->gvar_nav, &area->ps_nav, &area->tanc_nav, &area->proj_nav})
        if (!v->empty())
            return v;
    return nullptr;
}

void SAT_area_set_bit_shift(int shift) {
    st().bit_shift = std::clamp(shift, -16, 16);
}
int SAT_area_get_bit_shift() {
    return st().bit_shift;
}
void SAT_area_set_max_pixels(int64_t pixels) {
    st().max_pixels = pixels > 0 ? pixels : AREA_MAX_PIXELS;
}

namespace {

// Where the pixels are and how they are stored, from the header.
struct AreaLayout {
    bool framed = false;
    int lines = 0, elems = 0, bytes = 0, prefix = 0;
};

// Directory and navigation block; on success the cursor stands at the pixels.
int read_header(ByteCursor &in, AREA &a, AreaLayout &lay) {
    // Byte order from word 1; anything else may be a sync-framed stream.
    uint8_t head[8];
    if (in.read(head, 8) != 8)
        return -1;
    const int32_t version = load_word(head + 4);
    lay.framed = false;
    if (version == 4) {
        swap_setup(-1);
    } else if (bswap_word(version) == 4) {
        swap_setup(0);
    } else {
        lay.framed = true;
        swap_setup(1);
    }
    in.seek(0);
    if (lay.framed && getsync(in) != 1)
        return -1;

    uint8_t raw_dir[AREA_DIR_WORDS * 4];
    if (in.read(raw_dir, sizeof raw_dir) != sizeof raw_dir) {
        MESS_print(MESS_WARN, "SAT_read_AREA: File too short for the directory\n");
        return -1;
    }
    std::memcpy(a.dir.data(), raw_dir, sizeof raw_dir);
    swap_longs(a.dir.data(), AREA_W_COMMENT);
    swap_longs(a.dir.data() + 32, AREA_DIR_WORDS - 32);
    const auto &dir = a.dir;

    if (lay.framed && getsync(in) != 1)
        return -1;
    // The data offset counts from the directory's start; in a framed stream the
    // navigation block's first byte is byte 256.
    const int64_t nav_start = in.pos();
    if (!read_navigation(in, a))
        return -1;

    lay.lines = dir[AREA_W_LINES];
    lay.elems = dir[AREA_W_ELEMS];
    if (lay.lines < 1 || lay.lines > AREA_MAX_SIZE || lay.elems < 1 || lay.elems > AREA_MAX_SIZE) {
        MESS_print(MESS_WARN, "SAT_read_AREA: Invalid image parameters\n");
        return -1;
    }
    if (int64_t{lay.lines} * lay.elems > st().max_pixels) {
        MESS_print(MESS_WARN, "SAT_read_AREA: Image of %dx%d is too large\n", lay.elems, lay.lines);
        return -1;
    }
    lay.prefix = dir[AREA_W_PREFIX];
    if (lay.prefix < 0 || lay.prefix > kMaxPrefix) {
        MESS_print(MESS_WARN, "SAT_read_AREA: Invalid line prefix length %d\n", lay.prefix);
        return -1;
    }
    lay.bytes = dir[AREA_W_BYTES];
    if (!lay.framed && lay.bytes != 1 && lay.bytes != 2) {
        MESS_print(MESS_WARN, "SAT_read_AREA: Unsupported element size of %d bytes\n", lay.bytes);
        return -1;
    }
    const int64_t data_pos = nav_start - 4 * AREA_DIR_WORDS + int64_t{dir[AREA_W_DATA]};
    if (data_pos < 0 || (in.size() >= 0 && data_pos >= in.size()) || !in.seek(data_pos)) {
        MESS_print(MESS_WARN, "SAT_read_AREA: Data offset %d outside the file\n", dir[AREA_W_DATA]);
        return -1;
    }
    return 0;
}

// The pixel block at the cursor, in a buffer that grows with what the file or
// stream delivers. A file that ends inside the image gives an image of the lines
// it holds, with a message; one that holds no line at all, or memory running out,
// fails the read. The directory's line count becomes the image's height.
int read_pixels(ByteCursor &in, AREA &a, const AreaLayout &lay) {
    int height = 0;
    bool complete = true;
    try {
        a.data.clear();
        height = lay.framed ? decode_sync_lines(in, a, lay.lines, lay.elems, lay.prefix)
                            : decode_plain_lines(in, a, lay.lines, lay.elems, lay.bytes, lay.prefix,
                                                 complete);
    } catch (const std::bad_alloc &) {
        a.data = {};
        MESS_print(MESS_WARN, "SAT_read_AREA: No memory for %dx%d pixels\n", lay.elems, lay.lines);
        return -1;
    }
    if (height == 0) {
        a.data = {};
        MESS_print(MESS_WARN, "SAT_read_AREA: No image lines in the file\n");
        return -1;
    }
    if (height < lay.lines)
        MESS_print(MESS_WARN, "SAT_read_AREA: File ends inside the image: %d of %d lines kept\n",
                   height, lay.lines);
    else if (!complete)
        MESS_print(MESS_WARN, "SAT_read_AREA: File ends inside the last line, its rest is blank\n");
    a.dir[AREA_W_LINES] = height;
    return 0;
}

} // namespace

int SAT_read_AREA(FILE *stream, AREA *area) {
    if (!stream || !area)
        return -1;
    *area = AREA{};
    std::rewind(stream);
    ByteCursor in(stream);
    AreaLayout lay;
    if (read_header(in, *area, lay) != 0)
        return -1;
    return read_pixels(in, *area, lay);
}

// ---------------------------------------------------------------------------
// Image record from an AREA file
// ---------------------------------------------------------------------------

namespace {

std::string dir_text(const AREA &a, int word, size_t chars) {
    std::string s(chars, '\0');
    std::memcpy(s.data(), &a.dir[static_cast<size_t>(word)], chars);
    s.resize(std::strlen(s.c_str()));
    return s;
}

} // namespace

int SAT_fill_AREA_image(IMAGE *image, AREA *area) {
    if (!image || !area)
        return -1;
    const auto &d = area->dir;
    IMG_init(image);
    image->source = 51;
    image->depth = 8;
    image->bits_per_pixel = 8;
    image->nx = d[AREA_W_ELEMS];
    image->ny = d[AREA_W_LINES];
    image->bytes_per_line = d[AREA_W_ELEMS];
    image->byte_order = 1;
    image->res_x = static_cast<float>(d[AREA_W_ERES]);
    image->res_y = static_cast<float>(d[AREA_W_LRES]);
    image->off_x = static_cast<float>(d[AREA_W_ELEM]);
    int64_t off_y = d[AREA_W_LINE];
    if (area->nav_type == "GOES")
        off_y -= d[AREA_W_START_SCAN];
    image->off_y = static_cast<float>(off_y);

    DATE date;
    DATE_init(&date);
    int y = d[AREA_W_DATE] / 1000;
    date.year = DATE_full_year(y);
    date.julian = d[AREA_W_DATE] % 1000;
    int month = 0, day = 0;
    if (DATE_monday_julian(date.year, date.julian, &month, &day) > 0) {
        date.month = month;
        date.day = day;
    }
    date.hour = d[AREA_W_TIME] / 10000;
    date.minute = d[AREA_W_TIME] / 100 % 100;
    image->date = date;

    IMG_set_info(image, dir_text(*area, AREA_W_COMMENT, 32));
    std::string label;
    DATE_make_label(&image->date, label);
    IMG_set_label(image, label);
    image->data = std::move(area->data);
    area->data.clear();
    return 0;
}

void SAT_print_AREA(const IMAGE *image, const AREA *area) {
    if (!area)
        return;
    const auto &d = area->dir;
    MESS_print(MESS_OUT2, "Date: %s\n", image ? image->label.c_str() : "");
    MESS_print(MESS_OUT2, "Size: %dx%d\n", d[AREA_W_ELEMS], d[AREA_W_LINES]);
    MESS_print(MESS_OUT3, "Resolution: %dx%d\n", d[AREA_W_ERES], d[AREA_W_LRES]);
    MESS_print(MESS_OUT3, "Correction: %dx%d\n", d[AREA_W_ELEM], d[AREA_W_LINE]);
    MESS_print(MESS_OUT3, "Bands: %x\n", static_cast<unsigned>(d[AREA_W_BANDS]));
    // The type words are shown as they lie in memory in host order.
    MESS_print(MESS_OUT3, "Source type: %4.4s\n", dir_text(*area, AREA_W_SOURCE, 4).c_str());
    MESS_print(MESS_OUT3, "Calibration type: %4.4s\n", dir_text(*area, AREA_W_CALIB, 4).c_str());
    MESS_print(MESS_OUT3, "Navigation type: %4.4s\n", area->nav_type.c_str());
    MESS_print(MESS_OUT2, "Comments: %32.32s\n", dir_text(*area, AREA_W_COMMENT, 32).c_str());
}

// ---------------------------------------------------------------------------
// The AREA row of the reader table
// ---------------------------------------------------------------------------

namespace {

// What the AREA steps hand on: the stream's cursor, the record and the layout.
struct AreaJob : SAT_READ_DATA {
    explicit AreaJob(FILE *stream) : in(stream) {}
    ByteCursor in;
    AREA area;
    AreaLayout layout;
};

AreaJob *area_job(SAT_READ_JOB &job) {
    return dynamic_cast<AreaJob *>(job.data.get());
}

} // namespace

bool SAT_area_recognise(std::span<const uint8_t> head) {
    // A plain file: word 1 is 4 in either byte order.
    if (head.size() >= 8) {
        const int32_t version = load_word(head.data() + 4);
        if (version == 4 || bswap_word(version) == 4)
            return true;
    }
    // A sync-framed stream: the pattern within the bytes given.
    return std::search(head.begin(), head.end(), std::begin(kSync), std::end(kSync)) != head.end();
}

int SAT_area_read_header(SAT_READ_JOB &job) {
    if (!job.stream || !job.image)
        return -1;
    std::rewind(job.stream);
    auto data = std::make_unique<AreaJob>(job.stream);
    if (read_header(data->in, data->area, data->layout) != 0)
        return -1;
    SAT_fill_AREA_image(job.image, &data->area);
    job.data = std::move(data);
    return 0;
}

int SAT_area_read_pixels(SAT_READ_JOB &job) {
    AreaJob *d = area_job(job);
    if (!d || read_pixels(d->in, d->area, d->layout) != 0)
        return -1;
    job.image->ny = d->area.dir[AREA_W_LINES];
    job.image->data = std::move(d->area.data);
    d->area.data.clear();
    return 0;
}

void SAT_area_navigate(SAT_READ_JOB &job) {
    AreaJob *d = area_job(job);
    if (!d)
        return;
    SAT_print_AREA(job.image, &d->area);
    AREA_init(&d->area);
    bool own_domain = false;
    AREA_calc_domain(job.image, &d->area, &own_domain);
    if (own_domain)
        job.place = SAT_PLACE_OWN_DOMAIN;
}
