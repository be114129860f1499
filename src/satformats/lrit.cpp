// LRIT reader.
//
// LRIT files: header records one after another, each a type byte, a
// big-endian 16-bit length that counts the 3-byte record header, and data; the
// primary header (type 0) gives the total length of the header records, and the
// image data follow the last record. Traps:
//  - the image segment record (type 128) comes in two forms: 4 data bytes
//    (segment number, segment count, first line) and, as EUMETCast sends it, 10
//    (spacecraft, channel, then the segment number and the planned first and
//    last segments as 16-bit words);
//  - the line offset LOFF counts from the first line of the full disc in some
//    products and from the segment's own first line in others (MTSAT-1R through
//    EUMETCast); the two agree for the first segment, and the disc's centre line
//    tells them apart for the others;
//  - a negative CFAC or LFAC means that columns or lines run the other way;
//  - JPEG data with 12-bit samples need a library built for them: the precision
//    in the stream's frame header picks the library.
#include "satformats/lrit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/bytes.h"
#include "base/date.h"
#include "base/file_io.h"
#include "base/mess.h"
#include "map/maptran.h"
#include "map/region.h"
#include "satformats/lrit_jpeg.h"
#include "satformats/sat_reader.h"

namespace {

constexpr uint32_t kHeaderTrace = MESS_DEBUG; // one line per header record
constexpr uint32_t kJpegTrace = 0x80000000u;
constexpr size_t kRecordMax = 4096;     // data bytes kept of one header record
constexpr size_t kAnnotationMax = 99;   // characters
constexpr double kSatDistance = 421.61; // geostationary orbit radius in plot units (100 km)
constexpr int64_t kMaxPixels = int64_t{1} << 30;
// Compressed data are read whole. A Huffman-coded JPEG stream needs at least one
// bit per 8x8 block, so no stream of n bytes holds more than 512 n pixels; twice
// that is allowed before the pixels are allocated.
constexpr int64_t kMaxCompressedBytes = int64_t{1} << 32;
constexpr int64_t kPixelsPerCompressedByte = 1024;
constexpr int64_t kDaysTo1970 = 4383; // from 1958-01-01, the LRIT time origin

struct LritState {
    FilePtr file;
    std::unique_ptr<ByteCursor> in;
    int64_t header_read = 0;
    int64_t header_total = -1; // from the primary header; -1 before it
    int bits = 0, columns = 0, lines = 0, compression = 0;
    std::string projection;
    int32_t cfac = 0, lfac = 0, coff = 0, loff = 0;
    int segment = 0;  // from 1; 0 when the file has no segment record
    int segments = 0; // of the full disc, 0 when not known
    std::string annotation;
    DATE date;
    int col_dir = 1, line_dir = 1;
};

LritState &st() {
    static LritState s;
    return s;
}

uint32_t get_u16(const uint8_t *p) {
    return uint32_t{p[0]} << 8 | p[1];
}
uint32_t get_u32(const uint8_t *p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
int32_t get_i32(const uint8_t *p) {
    return static_cast<int32_t>(get_u32(p));
}

// Annotation text: up to the first NUL, control characters as blanks, no
// trailing blanks, at most kAnnotationMax characters.
std::string clean_line(const uint8_t *text, size_t n) {
    std::string s;
    for (size_t i = 0; i < n && text[i] != 0 && s.size() < kAnnotationMax; ++i)
        s.push_back(text[i] < 0x20 || text[i] == 0x7F ? ' ' : static_cast<char>(text[i]));
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

// Interprets one record; d holds its data bytes (data byte n at d[n - 1]),
// zero beyond what the record gave.
void interpret(LritState &s, int type, int length, const uint8_t *d) {
    switch (type) {
    case 0:
        s.header_total = get_u32(d + 1);
        MESS_print(kHeaderTrace, "HDR0-Primary: %d len: %lld\n", d[0],
                   static_cast<long long>(s.header_total));
        break;
    case 1:
        s.bits = d[0];
        s.columns = static_cast<int>(get_u16(d + 1));
        s.lines = static_cast<int>(get_u16(d + 3));
        s.compression = d[5];
        MESS_print(kHeaderTrace,
                   "HDR1-Image Struct: bits/pixel: %d ncol: %d nrow: %d compress: %d\n", s.bits,
                   s.columns, s.lines, s.compression);
        break;
    case 2:
        s.projection.assign(reinterpret_cast<const char *>(d),
                            strnlen(reinterpret_cast<const char *>(d), 32));
        s.cfac = get_i32(d + 32);
        s.lfac = get_i32(d + 36);
        s.coff = get_i32(d + 40);
        s.loff = get_i32(d + 44);
        MESS_print(kHeaderTrace, "HDR2-Image Nav: %s cfac: %d lfac: %d coff: %d loff: %d\n",
                   s.projection.c_str(), s.cfac, s.lfac, s.coff, s.loff);
        break;
    case 3:
        MESS_print(kHeaderTrace, "HDR3-Image Data: %s\n", reinterpret_cast<const char *>(d));
        break;
    case 4:
        s.annotation = clean_line(d, kRecordMax);
        MESS_print(kHeaderTrace, "HDR4-Annotation: %s\n", s.annotation.c_str());
        break;
    case 5: {
        // Byte 1 is the time code's P-field; days since 1958 and milliseconds follow.
        const uint32_t days = get_u16(d + 1);
        const uint32_t ms = get_u32(d + 3);
        MESS_print(kHeaderTrace, "HDR5-Time Stamp: %u %u\n", days, ms);
        const int64_t secs = (int64_t{days} - kDaysTo1970) * 86400 + ms / 1000;
        DATE_get_gmdate(&secs, &s.date);
        DATE_print(MESS_OUT2, &s.date);
        break;
    }
    case 128: {
        int first = 0;
        if (length - 3 >= 9) {
            s.segment = static_cast<int>(get_u16(d + 3));
            first = static_cast<int>(get_u16(d + 5));
            s.segments = static_cast<int>(get_u16(d + 7));
        } else {
            s.segment = d[0];
            s.segments = d[1];
            first = static_cast<int>(get_u16(d + 2));
        }
        MESS_print(kHeaderTrace, "HDR128-Image Segment: seg: %d nseg: %d lseg: %d\n", s.segment,
                   s.segments, first);
        break;
    }
    default:
        MESS_print(kHeaderTrace, "HDR: %d %d\n", type, length);
        break;
    }
}

// LOFF counted from the full disc's first line. An offset counted from the
// segment's first line is LOFF + (segment - 1) lines from the disc's; the one
// of the two nearer the disc's centre line is taken.
double disc_line_offset(const LritState &s, int segment) {
    if (s.segments < 2 || segment < 2)
        return s.loff;
    const double centre = s.segments * static_cast<double>(s.lines) / 2;
    const double from_segment = s.loff + static_cast<double>(segment - 1) * s.lines;
    return std::abs(from_segment - centre) < std::abs(s.loff - centre) ? from_segment : s.loff;
}

// Satellite view of a "GEOS(lon)" image: plot units are scan angles times the
// orbit radius; CFAC and LFAC are columns and lines per 2^-16 degree.
void geos_domain(LritState &s, DOMAIN &dom) {
    if (s.projection.compare(0, 4, "GEOS") != 0)
        return;
    float lon = 0;
    if (std::sscanf(s.projection.c_str(), "GEOS(%f", &lon) != 1 || s.cfac == 0 || s.lfac == 0) {
        MESS_print(MESS_WARN, "SAT_read_LRIT: No domain from %s, cfac %d, lfac %d\n",
                   s.projection.c_str(), s.cfac, s.lfac);
        return;
    }
    constexpr double kRad = M_PI / 180;
    double dx = 65536.0 / s.cfac * kRad * kSatDistance;
    double dy = 65536.0 / s.lfac * kRad * kSatDistance;
    if (dx < 0) {
        dx = -dx;
        s.col_dir = -1;
    }
    if (dy < 0) {
        dy = -dy;
        s.line_dir = -1;
    }
    dom.proj = 9;
    dom.param[0] = 0;
    dom.param[1] = lon;
    dom.param[2] = static_cast<float>(kSatDistance);
    dom.param[3] = 1.0f;
    dom.ellipsoid = 1;
    dom.dx = static_cast<float>(dx);
    dom.dy = static_cast<float>(dy);
    dom.nx = s.columns;
    dom.ny = s.lines;
    MAP_domain(&dom);
    const int segment = s.segment > 0 ? s.segment : 1;
    const double x = (static_cast<double>(s.coff) - s.columns / 2) * s.col_dir * dx;
    const double y = (disc_line_offset(s, segment) - (segment - 0.5) * s.lines) * s.line_dir * dy;
    float clat = MISSING_F, clon = MISSING_F;
    MAP_untran(&clat, &clon, static_cast<float>(x), static_cast<float>(y));
    dom.clat = clat;
    dom.clon = clon;
}

// Up to limit bytes of the rest of the file.
PixelVector<uint8_t> read_rest(ByteCursor &in, int64_t limit) {
    PixelVector<uint8_t> out;
    if (in.size() >= 0) {
        const int64_t avail = std::max<int64_t>(0, in.size() - in.pos());
        out.resize(static_cast<size_t>(std::min(avail, limit)));
        out.resize(in.read(out.data(), out.size()));
        return out;
    }
    constexpr size_t kChunk = size_t{1} << 20;
    while (static_cast<int64_t>(out.size()) < limit) {
        const size_t n = std::min<size_t>(kChunk, static_cast<size_t>(limit) - out.size());
        const size_t old = out.size();
        out.resize(old + n);
        const size_t got = in.read(out.data() + old, n);
        out.resize(old + got);
        if (got < n)
            break;
    }
    return out;
}

// Uncompressed data: two-byte counts (10 bits, most significant byte first) lose
// their two lowest bits.
int decode_plain(const LritState &s, IMAGE *image, int64_t pixels) {
    const int bytes = s.bits == 16 ? 2 : s.bits == 8 ? 1 : 0;
    if (s.bits == 0) {
        MESS_print(MESS_WARN, "SAT_read_LRIT: Image of %dx%d has 0 bits per pixel\n", s.columns,
                   s.lines);
        return -1;
    }
    const int64_t need = bytes > 0 ? pixels * bytes : (pixels * s.bits + 7) / 8;
    PixelVector<uint8_t> raw = read_rest(*s.in, need);
    if (static_cast<int64_t>(raw.size()) < need) {
        MESS_print(MESS_WARN, "SAT_read_LRIT: Image of %dx%d needs %lld bytes, the file has %zu\n",
                   s.columns, s.lines, static_cast<long long>(need), raw.size());
        return -1;
    }
    if (bytes == 1) {
        image->data = std::move(raw);
        return 0;
    }
    image->data.assign(static_cast<size_t>(pixels), 0);
    if (bytes == 0) {
        MESS_print(MESS_WARN, "SAT_read_LRIT: %d bits per pixel are not decoded\n", s.bits);
        return 0;
    }
    for (size_t i = 0; i < image->data.size(); ++i)
        image->data[i] = static_cast<uint8_t>(get_u16(&raw[2 * i]) >> 2);
    return 0;
}

int decode_compressed(const LritState &s, IMAGE *image, int64_t pixels) {
    const PixelVector<uint8_t> raw = read_rest(*s.in, kMaxCompressedBytes);
    if (pixels > static_cast<int64_t>(raw.size()) * kPixelsPerCompressedByte) {
        MESS_print(MESS_WARN,
                   "SAT_read_LRIT: %zu bytes of compressed data cannot hold %dx%d pixels\n",
                   raw.size(), s.columns, s.lines);
        return -1;
    }
    image->data.assign(static_cast<size_t>(pixels), 0);
    if (s.compression != 2) {
        MESS_print(MESS_WARN, "SAT_read_LRIT: Compression %d is not decoded\n", s.compression);
        return 0;
    }
    MESS_print(kJpegTrace, "JPEG Compression\n");
    LRIT_JPEG_TARGET t;
    t.pixels = image->data.data();
    t.nx = s.columns;
    t.ny = s.lines;
    t.col_dir = s.col_dir;
    t.line_dir = s.line_dir;
    t.trace = MESS_check(kJpegTrace);
    return LRIT_jpeg_precision(raw) > 8 ? LRIT_jpeg12_decode(raw, t) : LRIT_jpeg8_decode(raw, t);
}

// The image data behind the header.
int read_pixels(IMAGE *image) {
    LritState &s = st();
    if (!image || !s.in)
        return -1;
    const int64_t pixels = int64_t{s.columns} * s.lines;
    if (pixels > kMaxPixels) {
        MESS_print(MESS_WARN, "SAT_read_LRIT: Image of %dx%d is too large\n", s.columns, s.lines);
        return -1;
    }
    int rc = -1;
    try {
        rc = s.compression == 0 ? decode_plain(s, image, pixels)
                                : decode_compressed(s, image, pixels);
    } catch (const std::bad_alloc &) {
        MESS_print(MESS_WARN, "SAT_read_LRIT: No memory for %dx%d pixels\n", s.columns, s.lines);
    }
    if (rc != 0)
        image->data.clear();
    return rc;
}

} // namespace

void LRIT_reset_state() {
    st() = LritState{};
}

int LRIT_open(const char *path) {
    LRIT_reset_state();
    FilePtr f = path ? FILE_open(path, "rb") : FilePtr{};
    if (!f) {
        MESS_print(MESS_WARN, "Unable to open LRIT file: %s\n", path ? path : "");
        return 0;
    }
    LritState &s = st();
    s.in = std::make_unique<ByteCursor>(f.get());
    s.file = std::move(f);
    return 1;
}

int LRIT_close() {
    LritState &s = st();
    s.in.reset();
    s.file.reset();
    return 1;
}

int LRIT_header() {
    LritState &s = st();
    if (!s.in || (s.header_total >= 0 && s.header_read >= s.header_total))
        return 0;
    uint8_t head[3];
    if (s.in->read(head, 3) != 3)
        return 0;
    const int type = head[0];
    const int length = static_cast<int>(get_u16(head + 1));
    if (length < 3) {
        MESS_print(MESS_WARN, "SAT_read_LRIT: Header record of type %d with length %d\n", type,
                   length);
        return -1;
    }
    // Longer records are cut to the buffer; bytes a short record lacks read as 0.
    std::array<uint8_t, kRecordMax + 1> data{};
    const size_t body = static_cast<size_t>(length) - 3;
    const size_t keep = std::min(body, kRecordMax);
    s.in->read(data.data(), keep);
    if (body > keep)
        s.in->skip(static_cast<int64_t>(body - keep));
    s.header_read += length;
    interpret(s, type, length, data.data());
    return 1;
}

int LRIT_read_header(IMAGE *image) {
    LritState &s = st();
    if (!image || !s.in)
        return -1;
    int rc = 0;
    while ((rc = LRIT_header()) == 1) {
    }
    if (rc < 0)
        return -1;
    if (s.columns <= 0 || s.lines <= 0) {
        MESS_print(MESS_WARN, "SAT_read_LRIT: No image size in the header\n");
        return -1;
    }
    image->nx = s.columns;
    image->ny = s.lines;
    image->depth = 8;
    image->bits_per_pixel = 8;
    image->bytes_per_line = s.columns;
    IMG_set_info(image, s.annotation);
    image->date = s.date;
    if (s.date.year != MISSING) {
        std::string label;
        DATE_make_label(&image->date, label);
        IMG_set_label(image, label);
    }
    s.col_dir = s.line_dir = 1;
    geos_domain(s, image->domain);
    DOM_print(MESS_OUT2, &image->domain);
    return 0;
}

int LRIT_read(IMAGE *image) {
    if (LRIT_read_header(image) != 0)
        return -1;
    return read_pixels(image);
}

int SAT_read_LRIT(const char *file_name, IMAGE *image) {
    if (!image)
        return -1;
    IMG_init(image);
    image->source = 60;
    if (!LRIT_open(file_name)) {
        MESS_print(MESS_WARN, "SAT_read_LRIT: Unable to open file:%s\n",
                   file_name ? file_name : "");
        return -1;
    }
    const int rc = LRIT_read(image);
    LRIT_close();
    return rc;
}

// ---------------------------------------------------------------------------
// The LRIT row of the reader table
// ---------------------------------------------------------------------------

bool SAT_lrit_recognise(std::span<const uint8_t> head) {
    // The primary header: type 0, length 16, then the file type and a total
    // header length of at least its own 16 bytes.
    return head.size() >= 16 && head[0] == 0 && get_u16(&head[1]) == 16 && get_u32(&head[4]) >= 16;
}

int SAT_lrit_read_header(SAT_READ_JOB &job) {
    if (!job.image)
        return -1;
    IMG_init(job.image);
    job.image->source = 60;
    if (!LRIT_open(job.name)) {
        MESS_print(MESS_WARN, "SAT_read_LRIT: Unable to open file:%s\n", job.name ? job.name : "");
        return -1;
    }
    if (LRIT_read_header(job.image) != 0) {
        LRIT_close();
        return -1;
    }
    return 0;
}

int SAT_lrit_read_pixels(SAT_READ_JOB &job) {
    const int rc = read_pixels(job.image);
    LRIT_close();
    return rc;
}
