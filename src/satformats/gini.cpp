// GINI reader.
//
// A GINI product is an optional WMO communications header ("TIGE01 KNES
// 121200\r\r\n" and its variants), a 512-byte product definition block (PDB)
// and Nx x Ny one-byte pixels, top row first. In the compressed form the file
// after the header line is a series of independent zlib streams: the first
// inflates to a copy of the WMO header and the PDB, the others to pixel rows.
// In a plain product the pixel block may itself be a PNG file. Traps:
//  - the PDB's 24-bit angles hold a 23-bit magnitude and the sign in the top bit;
//  - the first grid point (La1, Lo1) is the lower-left pixel while rows run top
//    down;
//  - products carry one trailer row beyond Ny (a PNG block one PNG row more than
//    Ny); it is dropped, never written past the image;
//  - the year byte counts from 1900 (105 is 2005) or holds two digits (4 is 2004);
//  - a compressed product may end in uncompressed bytes: the first inflate error
//    ends the pixels and the read still succeeds.
#include "satformats/gini.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/date.h"
#include "base/file_io.h"
#include "base/flag.h"
#include "base/mess.h"
#include "map/maptran.h"
#include "satformats/sat_reader.h"

namespace {

constexpr uint32_t kGridLevel = 0x20000000u;    // size and grid diagnostics
constexpr uint32_t kInflateLevel = 0x40000000u; // one line per inflate call
constexpr size_t kHeaderSearch = 32;            // bytes examined by each header search
constexpr size_t kLineMax = 100;                // broadcast header lines
constexpr size_t kMinFirstBlock = 512;          // compressed form: bytes needed behind the lines
constexpr size_t kInputArea = 1 << 16;          // compressed input read ahead
constexpr size_t kHeaderArea = 10000;           // inflated WMO header and PDB
constexpr size_t kPdbFields = 41;               // bytes of the PDB the reader uses
constexpr size_t kPngSlack = 1 << 16;           // PNG bytes or samples beyond twice the pixels
// No form of the pixels packs more than 1032 of them into a byte of the file
// (deflate's limit); an image that would need more is not in this file. Small
// images are accepted from short files, whose missing pixels stay zero.
constexpr int64_t kMaxExpansion = 1032;
constexpr int64_t kShortFilePixels = int64_t{1} << 20;

// ---------------------------------------------------------------------------
// Product definition block
// ---------------------------------------------------------------------------

// The fields of the PDB this reader uses (byte k counted from 1).
struct Pdb {
    int entity = 0, sector = 0, channel = 0; // bytes 2, 3, 4
    int year = 0, month = 0, day = 0;        // bytes 9-11
    int hour = 0, minute = 0, second = 0;    // bytes 12-14
    int projection = 0;                      // byte 16: 1 Mercator, 3 Lambert, 5 polar
    int nx = 0, ny = 0;                      // bytes 17-20
    float la1 = 0, lo1 = 0;                  // bytes 21-26
    float la2_lov = 0;                       // bytes 28-30: Mercator La2, Lambert and polar Lov
    float lo2 = 0;                           // bytes 31-33 signed: Mercator Lo2
    uint32_t dx = 0;          // bytes 31-33 unsigned: Lambert and polar, tenths of a metre
    uint32_t dy = 0;          // bytes 34-36
    bool polar_south = false; // byte 37 bit 0
    bool lamb_south = false;  // byte 38 bit 0
    float latin = 0;          // bytes 39-41: Lambert true latitude
};

uint32_t get_u24(ByteCursor &c, bool &ok) {
    uint8_t b[3] = {0, 0, 0};
    ok = ok && c.read(b, 3) == 3;
    return uint32_t{b[0]} << 16 | uint32_t{b[1]} << 8 | b[2];
}

int get_u8(ByteCursor &c, bool &ok) {
    const auto v = c.u8();
    ok = ok && v.has_value();
    return v.value_or(0);
}

int get_u16(ByteCursor &c, bool &ok) {
    const auto v = c.u16(std::endian::big);
    ok = ok && v.has_value();
    return v.value_or(0);
}

// Sign and magnitude, 1/10000 degree.
float angle(uint32_t v) {
    const float a = static_cast<float>(v & 0x7FFFFFu) / 10000.0f;
    return (v & 0x800000u) ? -a : a;
}

float longitude(uint32_t v) {
    const float a = angle(v);
    return a > 180.0f ? a - 360.0f : a;
}

std::optional<Pdb> decode_pdb(std::span<const uint8_t> block) {
    if (block.size() < kPdbFields)
        return std::nullopt;
    ByteCursor c(block);
    bool ok = true;
    Pdb p;
    get_u8(c, ok);
    p.entity = get_u8(c, ok);
    p.sector = get_u8(c, ok);
    p.channel = get_u8(c, ok);
    c.skip(4);
    p.year = get_u8(c, ok);
    p.month = get_u8(c, ok);
    p.day = get_u8(c, ok);
    p.hour = get_u8(c, ok);
    p.minute = get_u8(c, ok);
    p.second = get_u8(c, ok);
    c.skip(1);
    p.projection = get_u8(c, ok);
    p.nx = get_u16(c, ok);
    p.ny = get_u16(c, ok);
    p.la1 = angle(get_u24(c, ok));
    p.lo1 = longitude(get_u24(c, ok));
    c.skip(1);
    const uint32_t f28 = get_u24(c, ok);
    p.la2_lov = p.projection == 1 ? angle(f28) : longitude(f28);
    const uint32_t f31 = get_u24(c, ok);
    p.lo2 = longitude(f31);
    p.dx = f31;
    p.dy = get_u24(c, ok);
    p.polar_south = (get_u8(c, ok) & 1) != 0;
    p.lamb_south = (get_u8(c, ok) & 1) != 0;
    p.latin = angle(get_u24(c, ok));
    if (!ok)
        return std::nullopt;
    return p;
}

// Where the PDB starts behind the WMO header at the start of a block; each
// search looks at most 32 bytes far. 0 for a block that begins with none of the
// header forms (a product without header).
size_t pdb_offset(std::span<const uint8_t> b) {
    auto find = [&b](size_t from, auto match) -> std::optional<size_t> {
        for (size_t i = from; i < b.size() && i < from + kHeaderSearch; ++i)
            if (match(b[i]))
                return i;
        return std::nullopt;
    };
    auto is = [](uint8_t c) { return [c](uint8_t v) { return v == c; }; };
    auto begins = [&b](const char *text) {
        const size_t n = std::strlen(text);
        return b.size() >= n && std::memcmp(b.data(), text, n) == 0;
    };
    std::optional<size_t> end;
    if (begins("T") || begins("** TI")) {
        end = find(0, is('\n'));
    } else if (begins("\x01\r\r")) {
        if (const auto t = find(0, is('T')))
            end = find(*t, is('\n'));
    } else if (begins("\n")) {
        // The first byte after the line feeds ends the header.
        end = find(0, [](uint8_t v) { return v != '\n'; });
    }
    return end ? *end + 1 : 0;
}

// A PDB whose fields could be a product's (for the recognisers).
bool plausible(const std::optional<Pdb> &p) {
    return p && (p->projection == 1 || p->projection == 3 || p->projection == 5) && p->nx >= 1 &&
           p->nx <= GINI_MAX_SIDE && p->ny >= 1 && p->ny <= GINI_MAX_SIDE && p->month >= 1 &&
           p->month <= 12 && p->day >= 1 && p->day <= 31 && p->hour < 24 && p->minute < 60;
}

// ---------------------------------------------------------------------------
// Description
// ---------------------------------------------------------------------------

const char *entity_text(int entity) {
    static constexpr const char *kNames[] = {"DMSP ",    "GMS ",    "METEOSAT ", "GOES 7 ",
                                             "GOES 8 ",  "GOES 9 ", "GOES 10 ",  "GOES 11 ",
                                             "GOES 12 ", "GOES 13 "};
    if (entity >= 7 && entity <= 16)
        return kNames[entity - 7];
    return "";
}

const char *channel_text(int channel) {
    struct Row {
        int channel;
        const char *text;
    };
    static constexpr Row kChannels[] = {
        {1, "Visible"},
        {2, "Infrared 3.9um"},
        {3, "Water Vapor"},
        {4, "Infrared 11um"},
        {5, "Infrared 12um"},
        {6, "Infrared 13um"},
        {7, "Infrared 1.3um"},
        {13, "Imager lifted index"},
        {14, "Imager precipitable water"},
        {15, "Imager surface skin temperature"},
        {16, "Sounder lifted index"},
        {17, "Sounder precipitable water"},
        {18, "Sounder surface skin temperature"},
        {27, "Gridded cloud top height"},
        {28, "Gridded cloud amount"},
        {40, "Low cloud base"},
        {43, "Sounder 14.06um"},
        {48, "Sounder 11.03um"},
        {50, "Sounder 7.43um"},
        {51, "Sounder 7.02um"},
        {52, "Sounder 6.51um"},
        {55, "Sounder 4.45um"},
        {57, "Sounder 3.98um"},
        {59, "Sounder visible"},
    };
    for (const auto &r : kChannels)
        if (r.channel == channel)
            return r.text;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Domain
// ---------------------------------------------------------------------------

// The "SAT_FUDGE" environment variable: "dlat,dlon" added to the centre.
void apply_fudge(float &lat, float &lon) {
    const char *s = std::getenv("SAT_FUDGE");
    if (!s)
        return;
    char *end = nullptr;
    const float dlat = std::strtof(s, &end);
    if (end == s)
        return;
    float dlon = 0.0f;
    if (*end == ',') {
        char *end2 = nullptr;
        const float v = std::strtof(end + 1, &end2);
        if (end2 != end + 1)
            dlon = v;
    }
    lat += dlat;
    lon += dlon;
}

// Middle longitude of a Mercator grid; a grid across the date line (Lo1 east
// of Lo2) takes its middle on that side.
float mid_longitude(float lo1, float lo2) {
    if (lo1 <= lo2)
        return (lo1 + lo2) / 2;
    float m = (lo1 - 360.0f + lo2) / 2;
    return m < -180.0f ? m + 360.0f : m;
}

void mercator_domain(const Pdb &p, DOMAIN &d) {
    MESS_print(kGridLevel, "Mercator Grid\n");
    d.proj = 3;
    d.param[0] = 0.0f;
    d.param[1] = mid_longitude(p.lo1, p.lo2);
    const MapProjection m(d);
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    m.tran(&x1, &y1, p.la1, p.lo1);
    m.tran(&x2, &y2, p.la2_lov, p.lo2);
    d.dx = (x2 - x1) / static_cast<float>(std::max(p.nx - 1, 1));
    d.dy = (y2 - y1) / static_cast<float>(std::max(p.ny - 1, 1));
    MESS_print(kGridLevel, "Grid size: %3.2fx%3.2f\n", d.dx, d.dy);
    float clat = MISSING_F, clon = MISSING_F;
    m.untran(&clat, &clon, (x1 + x2) / 2, (y1 + y2) / 2);
    MESS_print(kGridLevel, "Grid locate: %3.2f N, %3.2f E\n", clat, clon);
    apply_fudge(clat, clon);
    d.clat = clat;
    d.clon = clon;
}

void lambert_domain(const Pdb &p, DOMAIN &d) {
    MESS_print(kGridLevel, "Lambert Conformal Grid\n");
    d.proj = 4;
    d.param[1] = p.la2_lov;
    d.param[0] = p.lamb_south ? -90.0f : 90.0f;
    d.param[2] = d.param[3] = p.latin;
    d.param[4] = 1.0f;
    MESS_print(kGridLevel, "Grid parallels: %3.2f N, %3.2f N\n", p.latin, p.latin);
    const MapProjection m(d);
    float x1 = 0, y1 = 0;
    m.tran(&x1, &y1, p.la1, p.lo1);
    d.dx = static_cast<float>(p.dx / 1e6);
    d.dy = static_cast<float>(p.dy / 1e6);
    MESS_print(kGridLevel, "Grid size: %3.2fx%3.2f\n", d.dx, d.dy);
    // Half the grid in whole pixels: an even width puts the centre half a
    // pixel left of the middle.
    const float cx = x1 + static_cast<float>((p.nx - 1) / 2) * d.dx;
    const float cy = y1 + static_cast<float>((p.ny - 1) / 2) * d.dy;
    float clat = MISSING_F, clon = MISSING_F;
    m.untran(&clat, &clon, cx, cy);
    apply_fudge(clat, clon);
    MESS_print(kGridLevel, "Grid locate: %3.2f N, %3.2f E\n", clat, clon);
    d.clat = clat;
    d.clon = clon;
}

void polar_domain(const Pdb &p, DOMAIN &d) {
    MESS_print(kGridLevel, "Polar Stereographic Grid\n");
    d.proj = 1;
    d.param[1] = p.la2_lov;
    d.param[0] = p.polar_south ? -90.0f : 90.0f;
    const MapProjection m(d);
    float x1 = 0, y1 = 0;
    m.tran(&x1, &y1, p.la1, p.lo1);
    MESS_print(kGridLevel, "Grid locate: %3.2f N, %3.2f E - %3.2f E %f %f\n", p.la1, p.lo1,
               p.la2_lov, x1, y1);
    d.dx = static_cast<float>(p.dx / 1e6);
    d.dy = static_cast<float>(p.dy / 1e6);
    MESS_print(kGridLevel, "Grid size: %3.2fx%3.2f\n", d.dx, d.dy);
    const float cx = x1 + static_cast<float>(p.nx - 1) * d.dx * 0.5f;
    const float cy = y1 + static_cast<float>(p.ny - 1) * d.dy * 0.5f;
    float clat = MISSING_F, clon = MISSING_F;
    m.untran(&clat, &clon, cx, cy);
    apply_fudge(clat, clon);
    MESS_print(kGridLevel, "Grid locate: %3.2f N, %3.2f E - %3.2f E %f %f\n", clat, clon, p.la2_lov,
               cx, cy);
    d.clat = clat;
    d.clon = clon;
}

// The image's domain in the product's projection. The projections are values
// here, so the plot's current projection is left as it is.
void make_domain(const Pdb &p, IMAGE *image) {
    DOMAIN &d = image->domain;
    switch (p.projection) {
    case 1:
        mercator_domain(p, d);
        break;
    case 3:
        lambert_domain(p, d);
        break;
    case 5:
        polar_domain(p, d);
        break;
    default:
        return;
    }
    // Angles far outside the earth or a zero spacing place nothing.
    const float v[] = {d.clat, d.clon, d.dx, d.dy};
    if (std::all_of(std::begin(v), std::end(v), [](float x) { return std::isfinite(x); }) &&
        d.dx != 0.0f && d.dy != 0.0f && d.clat != MISSING_F && d.clon != MISSING_F)
        return;
    MESS_print(MESS_WARN, "SAT_read_AWIP: The grid of the product cannot be placed\n");
    DOM_init(&d);
    d.nx = image->nx;
    d.ny = image->ny;
}

// ---------------------------------------------------------------------------
// Compressed form
// ---------------------------------------------------------------------------

bool zlib_header(std::span<const uint8_t> b) {
    return b.size() >= 2 && (b[0] & 0x0F) == 8 && (b[0] >> 4) <= 7 &&
           (uint32_t{b[0]} << 8 | b[1]) % 31 == 0;
}

// One zlib inflation over an input area topped up from the file; after the end
// of a stream the next input byte starts a new one.
class Inflater {
  public:
    Inflater() : area_(kInputArea) { ok_ = inflateInit(&z_) == Z_OK; }
    ~Inflater() {
        if (ok_)
            inflateEnd(&z_);
    }
    Inflater(const Inflater &) = delete;
    Inflater &operator=(const Inflater &) = delete;

    bool ok() const { return ok_; }
    size_t pending() const { return z_.avail_in; }
    // Moves the unread input to the front and reads behind it; the bytes read.
    size_t top_up(ByteCursor &in) {
        if (z_.avail_in > 0 && z_.next_in != area_.data())
            std::memmove(area_.data(), z_.next_in, z_.avail_in);
        z_.next_in = area_.data();
        const size_t got = in.read(area_.data() + z_.avail_in, area_.size() - z_.avail_in);
        z_.avail_in += static_cast<uInt>(got);
        last_read_ = got;
        return got;
    }
    // One inflate call into out (room bytes at most); the zlib code. made: the
    // bytes written.
    int run(uint8_t *out, size_t room, size_t &made) {
        if (ended_) {
            inflateReset(&z_);
            ended_ = false;
        }
        const uint8_t in0 = z_.avail_in > 0 ? z_.next_in[0] : 0;
        const uint8_t in1 = z_.avail_in > 1 ? z_.next_in[1] : 0;
        const uInt in_before = z_.avail_in;
        z_.next_out = out;
        z_.avail_out = static_cast<uInt>(std::min<size_t>(room, UINT32_MAX));
        const uInt out_before = z_.avail_out;
        const int ret = inflate(&z_, Z_NO_FLUSH);
        made = out_before - z_.avail_out;
        if (ret == Z_STREAM_END)
            ended_ = true;
        MESS_print(kInflateLevel, "Inf: %d -- %d %d %d -- 10000 %d %d -- %2X %2X -- %2X %2X\n", ret,
                   static_cast<int>(last_read_), static_cast<int>(z_.avail_in),
                   static_cast<int>(in_before - z_.avail_in), static_cast<int>(z_.avail_out),
                   static_cast<int>(made), in0, in1, made > 0 ? out[0] : 0, made > 1 ? out[1] : 0);
        return ret;
    }

  private:
    z_stream z_{};
    bool ok_ = false;
    bool ended_ = false;
    std::vector<uint8_t> area_;
    size_t last_read_ = 0;
};

// Inflates into out until the stream ends, out is full, inflate fails or the
// input is exhausted; the bytes made. Stops at a stream's end when told to.
size_t inflate_into(Inflater &z, ByteCursor &in, uint8_t *out, size_t room, bool one_stream) {
    size_t done = 0;
    while (done < room) {
        if (z.pending() == 0 && z.top_up(in) == 0)
            break;
        size_t made = 0;
        const int ret = z.run(out + done, room - done, made);
        done += made;
        if (ret == Z_STREAM_END) {
            if (one_stream)
                break;
        } else if (ret != Z_OK && ret != Z_BUF_ERROR) {
            break; // garbage or the product's uncompressed trailer
        }
    }
    return done;
}

std::string read_line(ByteCursor &in) {
    std::string line;
    while (line.size() < kLineMax) {
        const int c = in.get_byte();
        if (c < 0)
            break;
        line.push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    return line;
}

// The broadcast header lines in front of the first stream: one line; one more
// when it is empty; two more when it starts with the start-of-header byte 01.
// A file that starts with a zlib stream has none.
void skip_header_lines(ByteCursor &in) {
    uint8_t two[2] = {0, 0};
    const int64_t start = in.pos();
    const size_t got = in.read(two, 2);
    in.seek(start);
    if (zlib_header(std::span<const uint8_t>(two, got)))
        return;
    const std::string line = read_line(in);
    if (line.find_first_not_of("\r\n") == std::string::npos) {
        read_line(in);
    } else if (line[0] == '\x01') {
        read_line(in);
        read_line(in);
    }
}

// ---------------------------------------------------------------------------
// PNG pixel block
// ---------------------------------------------------------------------------

// Everything the libpng calls change. It lives outside the function that sets
// the error return point, as setjmp requires of what changes after it.
struct PngWork {
    std::span<const uint8_t> block; // the PNG file
    size_t pos = 8;                 // read position (the signature is checked)
    std::vector<uint8_t> row;       // rows that do not fit the image
    char message[160] = "";
};

void png_read_block(png_structp png, png_bytep out, size_t n) {
    auto *w = static_cast<PngWork *>(png_get_io_ptr(png));
    if (n > w->block.size() - w->pos)
        png_error(png, "the PNG data end early");
    std::memcpy(out, w->block.data() + w->pos, n);
    w->pos += n;
}

void png_fail(png_structp png, png_const_charp text) {
    auto *w = static_cast<PngWork *>(png_get_error_ptr(png));
    std::snprintf(w->message, sizeof w->message, "%s", text ? text : "libpng error");
    png_longjmp(png, 1);
}

void png_warn(png_structp, png_const_charp text) {
    MESS_print(MESS_DEBUG, "SAT_read_AWIP: libpng: %s\n", text ? text : "");
}

// Decodes the PNG in w->block into pixels, row after row at the PNG's row
// length, cut at the end of pixels. Grey only; samples deeper or shallower than
// a byte become one byte each. False with w->message on any failure.
bool decode_png(PngWork *w, std::span<uint8_t> pixels) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, w, png_fail, png_warn);
    if (!png) {
        std::snprintf(w->message, sizeof w->message, "no memory for libpng");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    png_infop end = info ? png_create_info_struct(png) : nullptr;
    if (!end) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        std::snprintf(w->message, sizeof w->message, "no memory for libpng");
        return false;
    }
    // From here on only w and the libpng structures change; an error comes back
    // here through png_fail.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, &end);
        return false;
    }
    png_set_read_fn(png, w, png_read_block);
    // Ancillary chunks (text, profiles) are skipped unread rather than buffered whole
    // at the length the block claims.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colour = 0, interlace = 0, compression = 0, filter = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colour, &interlace, &compression, &filter);
    MESS_print(MESS_DEBUG, "%d %d %d - %d %d - %d %d\n", static_cast<int>(width),
               static_cast<int>(height), depth, colour, interlace, compression, filter);
    if (colour != PNG_COLOR_TYPE_GRAY)
        png_error(png, "colour type is not grey");
    // Rows beyond the image are decoded only to be dropped: a trailer row or a
    // few, not a bomb.
    if (uint64_t{width} * height > 2 * uint64_t{pixels.size()} + kPngSlack)
        png_error(png, "the PNG image is much larger than the product");
    const int passes = png_set_interlace_handling(png);
    png_set_packing(png);
    png_set_strip_16(png);
    png_read_update_info(png, info);
    const size_t rowbytes = png_get_rowbytes(png, info);
    bool room = true;
    try {
        w->row.assign(rowbytes, 0);
    } catch (const std::bad_alloc &) {
        room = false;
    }
    if (!room)
        png_error(png, "no memory for a PNG row");
    // Interlaced passes combine into what the row holds, so each row is read
    // where it lies; rows past the image go through the spare row.
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 r = 0; r < height; ++r) {
            const size_t at = static_cast<size_t>(r) * rowbytes;
            if (at + rowbytes <= pixels.size()) {
                png_read_row(png, pixels.data() + at, nullptr);
                continue;
            }
            const size_t fit = at < pixels.size() ? pixels.size() - at : 0;
            if (fit > 0)
                std::memcpy(w->row.data(), pixels.data() + at, fit);
            png_read_row(png, w->row.data(), nullptr);
            if (fit > 0)
                std::memcpy(pixels.data() + at, w->row.data(), fit);
        }
    }
    png_read_end(png, end);
    png_destroy_read_struct(&png, &info, &end);
    return true;
}

// ---------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------

// What the GINI steps hand on.
struct GiniJob : SAT_READ_DATA {
    FilePtr file;
    std::optional<ByteCursor> in;
    bool compressed = false;
    int64_t pixel_pos = 0;       // plain form: file offset of the pixels
    std::unique_ptr<Inflater> z; // compressed form: holds the input not yet used
};

GiniJob *gini_job(SAT_READ_JOB &job) {
    return dynamic_cast<GiniJob *>(job.data.get());
}

// Steps 4 to 6: the image record, its size and its domain from the PDB.
int accept_pdb(const Pdb &p, int64_t file_size, IMAGE *image) {
    image->source = 53;
    DATE &date = image->date;
    date.year = p.year < 80 ? 2000 + p.year : 1900 + p.year;
    date.month = p.month;
    date.day = p.day;
    date.hour = p.hour;
    date.minute = p.minute;
    date.second = p.second;
    if (const int j = DATE_julian_monday(date.year, date.month, date.day); j > 0)
        date.julian = j;
    image->type = p.entity * 100 + p.channel;
    std::string label;
    DATE_make_label(&date, label);
    IMG_set_label(image, label);
    IMG_set_info(image, SAT_gini_description(p.entity, p.sector, p.channel));

    if (p.nx < 1 || p.nx > GINI_MAX_SIDE || p.ny < 1 || p.ny > GINI_MAX_SIDE) {
        MESS_print(MESS_WARN, "SAT_read_AWIP: Invalid image parameters\n");
        return -1;
    }
    const int64_t pixels = int64_t{p.nx} * p.ny;
    if (file_size >= 0 && pixels > std::max(kShortFilePixels, kMaxExpansion * file_size)) {
        MESS_print(MESS_WARN,
                   "SAT_read_AWIP: Image of %dx%d cannot come from a file of %lld bytes\n", p.nx,
                   p.ny, static_cast<long long>(file_size));
        return -1;
    }
    image->nx = p.nx;
    image->ny = p.ny;
    image->depth = 8;
    image->bits_per_pixel = 8;
    image->bytes_per_line = p.nx;
    image->domain.nx = p.nx;
    image->domain.ny = p.ny;
    MESS_print(kGridLevel, "Image size: %dx%d\n", p.nx, p.ny);
    make_domain(p, image);
    return 0;
}

// Opens the file for the header steps; null (with the message) when it cannot.
std::unique_ptr<GiniJob> open_job(const char *name, bool compressed) {
    auto j = std::make_unique<GiniJob>();
    j->compressed = compressed;
    j->file = FILE_open(name, "rb");
    if (!j->file) {
        MESS_print(MESS_WARN, "SAT_read_AWIP: Unable to open file:%s\n", name);
        return nullptr;
    }
    j->in.emplace(j->file.get());
    return j;
}

int read_header(SAT_READ_JOB &job, bool compressed) {
    if (!job.image || !job.name)
        return -1;
    IMG_init(job.image);
    auto j = open_job(job.name, compressed);
    if (!j)
        return -1;
    ByteCursor &in = *j->in;
    std::optional<Pdb> pdb;
    if (!compressed) {
        uint8_t block[GINI_PDB_BYTES];
        if (in.read(block, sizeof block) != sizeof block)
            return -1;
        const size_t off = pdb_offset(block);
        pdb = decode_pdb(std::span<const uint8_t>(block).subspan(off));
        j->pixel_pos = static_cast<int64_t>(off) + GINI_PDB_BYTES;
    } else {
        skip_header_lines(in);
        j->z = std::make_unique<Inflater>();
        if (!j->z->ok())
            return -1;
        j->z->top_up(in);
        if (j->z->pending() < kMinFirstBlock)
            return -1;
        std::vector<uint8_t> block(kHeaderArea);
        block.resize(inflate_into(*j->z, in, block.data(), block.size(), true));
        const size_t off = pdb_offset(block);
        pdb = decode_pdb(std::span<const uint8_t>(block).subspan(std::min(off, block.size())));
        if (!pdb) {
            MESS_print(MESS_WARN, "SAT_read_AWIP: No product definition block in %s\n", job.name);
            return -1;
        }
    }
    if (!pdb || accept_pdb(*pdb, in.size(), job.image) != 0)
        return -1;
    job.data = std::move(j);
    return 0;
}

} // namespace

std::string SAT_gini_description(int entity, int sector, int channel) {
    std::string text = entity_text(entity);
    if (entity == 99) { // the letter c
        text = "Gempak ";
        if (channel == 27)
            text += "Base reflectivity (Dbz)";
        else if (channel == 26)
            text += "Echo tops";
    }
    if (sector == 0)
        text = "GOES NH ";
    else if (sector == 9)
        text = "GOES NC ";
    if (const char *c = channel_text(channel))
        text += c;
    else
        text += std::to_string(channel);
    return text;
}

bool SAT_gini_recognise(std::span<const uint8_t> head) {
    const size_t off = pdb_offset(head);
    return off < head.size() && plausible(decode_pdb(head.subspan(off)));
}

bool SAT_giniz_recognise(std::span<const uint8_t> head) {
    ByteCursor in(head);
    skip_header_lines(in);
    const auto at = static_cast<size_t>(in.pos());
    if (at >= head.size() || !zlib_header(head.subspan(at)))
        return false;
    Inflater z;
    std::vector<uint8_t> block(1024);
    block.resize(inflate_into(z, in, block.data(), block.size(), true));
    const size_t off = pdb_offset(block);
    return off < block.size() &&
           plausible(decode_pdb(std::span<const uint8_t>(block).subspan(off)));
}

int SAT_gini_read_header(SAT_READ_JOB &job) {
    return read_header(job, false);
}

int SAT_giniz_read_header(SAT_READ_JOB &job) {
    return read_header(job, true);
}

int SAT_gini_read_pixels(SAT_READ_JOB &job) {
    GiniJob *j = gini_job(job);
    if (!j || !job.image)
        return -1;
    IMAGE *image = job.image;
    const size_t total = static_cast<size_t>(image->nx) * static_cast<size_t>(image->ny);
    try {
        image->data.assign(total, 0);
    } catch (const std::bad_alloc &) {
        MESS_print(MESS_WARN, "SAT_read_AWIP: No memory for %dx%d pixels\n", image->nx, image->ny);
        return -1;
    }
    ByteCursor &in = *j->in;
    if (j->compressed) {
        inflate_into(*j->z, in, image->data.data(), total, false);
        return 0;
    }
    size_t got = 0;
    if (in.seek(j->pixel_pos))
        got = in.read(image->data.data(), total);
    if (got < 4 || std::memcmp(image->data.data() + 1, "PNG", 3) != 0)
        return 0;

    MESS_print(MESS_MESS, "PNG compressed\n");
    PngWork w;
    std::vector<uint8_t> block;
    try {
        block.assign(image->data.begin(), image->data.begin() + static_cast<ptrdiff_t>(got));
        // A PNG of a small or noisy image may be longer than its pixels.
        const size_t limit = 2 * total + kPngSlack;
        while (got == total && block.size() < limit) {
            const size_t old = block.size();
            block.resize(std::min(limit, old + kPngSlack));
            const size_t n = in.read(block.data() + old, block.size() - old);
            block.resize(old + n);
            if (n == 0)
                break;
        }
    } catch (const std::bad_alloc &) {
        MESS_print(MESS_WARN, "SAT_read_AWIP: No memory for the PNG pixel block\n");
        image->data.clear();
        return -1;
    }
    std::fill(image->data.begin(), image->data.end(), 0);
    w.block = block;
    bool ok = block.size() >= 8 && png_sig_cmp(block.data(), 0, 8) == 0;
    if (!ok)
        std::snprintf(w.message, sizeof w.message, "bad PNG signature");
    ok = ok && decode_png(&w, image->data);
    if (!ok) {
        MESS_print(MESS_WARN, "SAT_read_AWIP: PNG pixel block: %s\n", w.message);
        image->data.clear();
        image->data.shrink_to_fit();
        return -1;
    }
    return 0;
}

int SAT_read_gini(const char *file_name, IMAGE *image, bool compressed) {
    SAT_READ_JOB job;
    job.name = file_name;
    job.image = image;
    if (read_header(job, compressed) != 0 || SAT_gini_read_pixels(job) != 0)
        return -1;
    return 0;
}

int SAT_read_AWIP(const char *file_name, IMAGE *image) {
    return SAT_read_gini(file_name, image, FLAG_get(FLAG_INPUT) == 54);
}
