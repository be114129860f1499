// Image record and the suite's native image file.
//
// A native file is a text header followed by the pixels:
//   "ZORIMG" + flags      '4' version-4 header, 'Z' compressed pixels, '*' pixels in another
//                         file, 'V' 1024 bytes to skip, 'C' a small block to skip
//   date label line
//   info line
//   geometry line         v3: "nx ny" or "TOKEN clat clon dx dy nx ny"; v4: a domain string
// Compressed pixels are a run of complete, independent zlib streams, each holding the next
// 10000 bytes of the image. Traps: a compressed file may still be growing while we read it
// (so a short file is waited for, then kept as far as it decoded), and every size in the
// header is untrusted.

#include "sat/img_tool.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sys/stat.h>
#include <thread>
#include <zlib.h>

#include "base/files.h"
#include "base/mess.h"
#include "base/pixel_buffer.h"
#include "base/string.h"
#include "gks/gif.h"
#include "gks/gks.h"
#include "gks/gks_x11.h"
#include "gks/png.h"
#include "gks/xdump.h"
#include "map/maptran.h"
#include "map/region.h"
#include "plot/plt_labl.h"
#include "plot/plt_tool.h"

namespace {

constexpr size_t HEADER_LINE_MAX = 160; // characters kept of one header line
constexpr size_t DATA_NAME_MAX = 4096;  // longest separate data-file name
constexpr size_t ZCHUNK = 10000;        // image bytes per compressed stream, input block size
constexpr size_t ZWINDOW = 12000;       // inflate/deflate output window
constexpr uint32_t LEVEL_ZDEBUG = 0x40000000u;

struct ImgState {
    IMG_READ_LIMITS limits;
};
ImgState &st() {
    static ImgState s;
    return s;
}

bool is_set(float v) {
    return v != MISSING_F;
}

bool parse_int(const std::string &s, int32_t &v) {
    const char *end = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data() + (s.size() > 1 && s[0] == '+' ? 1 : 0), end, v);
    return ec == std::errc() && p == end;
}

// A float at the start of text (trailing characters allowed, as with "%f"); finite only.
bool parse_float_prefix(const char *text, float &v, const char **rest = nullptr) {
    char *end = nullptr;
    float f = std::strtof(text, &end);
    if (end == text || !std::isfinite(f))
        return false;
    v = f;
    if (rest)
        *rest = end;
    return true;
}

bool parse_float(const std::string &s, float &v) {
    const char *rest = nullptr;
    return parse_float_prefix(s.c_str(), v, &rest) && *rest == '\0';
}

// Up to max reals separated by ':'; returns how many were read before the first failure.
int scan_colon_floats(const char *text, float *out, int max) {
    int n = 0;
    while (n < max) {
        const char *rest = nullptr;
        if (!parse_float_prefix(text, out[n], &rest))
            break;
        ++n;
        if (*rest != ':')
            break;
        text = rest + 1;
    }
    return n;
}

bool starts_with_nocase(const std::string &s, const char *prefix) {
    size_t n = std::strlen(prefix);
    if (s.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(s[i])) != prefix[i])
            return false;
    return true;
}

// Projection from a version-3 geometry token, recognised by its first two letters.
void apply_token(const std::string &tok, DOMAIN &dom) {
    float v[5];
    if (starts_with_nocase(tok, "LL")) {
        dom.proj = 2;
    } else if (starts_with_nocase(tok, "ME")) {
        dom.proj = 3;
    } else if (starts_with_nocase(tok, "PS")) {
        dom.proj = 1;
        if (starts_with_nocase(tok, "PS:") && scan_colon_floats(tok.c_str() + 3, v, 1) == 1)
            dom.param[1] = v[0];
    } else if (starts_with_nocase(tok, "LC")) {
        dom.proj = 4;
        if (starts_with_nocase(tok, "LC:")) {
            int n = scan_colon_floats(tok.c_str() + 3, v, 5);
            if (n == 5)
                std::copy(v, v + 5, dom.param);
            else if (n >= 1)
                dom.param[1] = v[0];
        }
    } else if (starts_with_nocase(tok, "SA")) {
        dom.proj = 9;
        if (starts_with_nocase(tok, "SAT:")) {
            int n = scan_colon_floats(tok.c_str() + 4, v, 3);
            if (n >= 2)
                std::copy(v, v + n, dom.param);
        }
    }
}

// "clat clon dx dy nx ny" from tokens[first..first+5].
bool parse_centre_grid(const std::vector<std::string> &t, size_t first, DOMAIN &dom) {
    if (t.size() < first + 6)
        return false;
    float clat, clon, dx, dy;
    int32_t nx, ny;
    if (!parse_float(t[first], clat) || !parse_float(t[first + 1], clon) ||
        !parse_float(t[first + 2], dx) || !parse_float(t[first + 3], dy) ||
        !parse_int(t[first + 4], nx) || !parse_int(t[first + 5], ny))
        return false;
    dom.clat = clat;
    dom.clon = clon;
    dom.dx = dx;
    dom.dy = dy;
    dom.nx = nx;
    dom.ny = ny;
    return true;
}

// Version-3 geometry line into the image's size and domain.
bool parse_geometry_v3(const std::string &line, IMAGE &im) {
    std::vector<std::string> t = str_split_words(line);
    int32_t nx, ny;
    if (t.size() >= 2 && parse_int(t[0], nx) && parse_int(t[1], ny)) {
        im.domain.nx = nx;
        im.domain.ny = ny;
        return true;
    }
    if (t.empty())
        return false;
    DOMAIN dom;
    DOM_init(&dom);
    apply_token(t[0], dom);
    if (!parse_centre_grid(t, 1, dom)) {
        // Projections without a token are written as the bare numbers.
        DOM_init(&dom);
        if (!parse_centre_grid(t, 0, dom))
            return false;
    }
    im.domain = dom;
    return true;
}

bool skip_bytes(FILE *fp, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (std::getc(fp) == EOF)
            return false;
    return true;
}

// Bytes left in a regular file from the current position; -1 when unknown (pipes).
int64_t bytes_left(FILE *fp) {
    struct stat sb;
    if (fstat(fileno(fp), &sb) != 0 || !S_ISREG(sb.st_mode))
        return -1;
    long pos = std::ftell(fp);
    if (pos < 0)
        return -1;
    return std::max<int64_t>(0, static_cast<int64_t>(sb.st_size) - pos);
}

// Whitespace-delimited name of the separate data file.
bool read_data_name(FILE *fp, std::string &name) {
    name.clear();
    int c;
    while ((c = std::getc(fp)) != EOF && std::isspace(c)) {
    }
    while (c != EOF && !std::isspace(c)) {
        if (name.size() >= DATA_NAME_MAX)
            return false;
        name.push_back(static_cast<char>(c));
        c = std::getc(fp);
    }
    return !name.empty();
}

// Plain pixels: all `size` bytes must be there. The buffer grows with what arrives, so a
// stream (a pipe) that claims a huge image and delivers little costs little.
bool read_plain(FILE *fp, const char *name, size_t size, PixelVector<uint8_t> &data) {
    constexpr size_t kStep = size_t{1} << 24;
    data.clear();
    const long at = std::ftell(fp);
    const size_t left = PIX_bytes_left(fp, at);
    data.reserve(std::min(size, left == SIZE_MAX || at < 0 ? kStep : left));
    size_t got = 0;
    while (got < size) {
        data.resize(got + std::min(kStep, size - got));
        size_t n = std::fread(data.data() + got, 1, data.size() - got, fp);
        got += n;
        if (got < data.size())
            break;
    }
    if (got != size) {
        MESS_print(MESS_WARN, "IMG_read_zor: %s: pixel data truncated (%zu of %zu bytes)\n", name,
                   got, size);
        return false;
    }
    return true;
}

// Compressed pixels: independent zlib streams inflated one after another. A file that ends
// early is waited for (it may still be being written); what was decoded is kept and the rest
// of the image is blank. The buffer grows with the decoded bytes. False, with a message, when
// not one byte could be decoded.
bool read_compressed(FILE *fp, const char *name, size_t expected, PixelVector<uint8_t> &data) {
    const IMG_READ_LIMITS &lim = st().limits;
    data.clear();
    std::vector<uint8_t> in(ZCHUNK);
    std::vector<uint8_t> win(ZWINDOW);
    size_t avail = 0, pos = 0, done = 0;
    int waits = 0;
    z_stream zs{};
    bool in_stream = false;
    const char *problem = nullptr;

    for (;;) {
        if (done == expected && !in_stream)
            break;
        if (pos == avail) {
            size_t n = std::fread(in.data(), 1, in.size(), fp);
            if (n == 0) {
                if (done == expected)
                    break;
                if (waits >= lim.waits) {
                    problem = "ends early";
                    break;
                }
                ++waits;
                std::clearerr(fp);
                std::this_thread::sleep_for(std::chrono::milliseconds(lim.wait_ms));
                continue;
            }
            avail = n;
            pos = 0;
        }
        if (!in_stream) {
            zs = z_stream{};
            if (inflateInit(&zs) != Z_OK) {
                problem = "cannot be inflated";
                break;
            }
            in_stream = true;
        }
        zs.next_in = in.data() + pos;
        zs.avail_in = static_cast<uInt>(avail - pos);
        zs.next_out = win.data();
        zs.avail_out = static_cast<uInt>(win.size());
        int rc = inflate(&zs, Z_SYNC_FLUSH);
        size_t produced = win.size() - zs.avail_out;
        size_t room = expected - done;
        data.insert(data.end(), win.begin(), win.begin() + std::min(produced, room));
        done += std::min(produced, room);
        size_t used = (avail - pos) - zs.avail_in;
        pos += used;
        MESS_print(LEVEL_ZDEBUG, "Inflate+ %d = %d %d = %d %d - %d %d\n", rc,
                   static_cast<int>(zs.avail_in), static_cast<int>(zs.total_in),
                   static_cast<int>(zs.avail_out), static_cast<int>(zs.total_out),
                   static_cast<int>(done), static_cast<int>(expected));
        if (produced > room) {
            problem = "is longer than the image";
            break;
        }
        if (rc == Z_STREAM_END) {
            inflateEnd(&zs);
            in_stream = false;
        } else if (rc != Z_OK || (used == 0 && produced == 0)) {
            problem = "is corrupt";
            break;
        }
    }
    if (in_stream)
        inflateEnd(&zs);
    if (done == 0 && expected > 0) {
        MESS_print(MESS_WARN, "IMG_read_zor: %s: compressed data %s; nothing could be decoded\n",
                   name, problem ? problem : "is missing");
        return false;
    }
    if (problem)
        MESS_print(MESS_WARN, "IMG_read_zor: %s: compressed data %s; kept %zu of %zu bytes\n", name,
                   problem, done, expected);
    data.resize(expected, 0);
    return true;
}

// One byte per pixel, nx pixels per row, from an image of any supported layout; false when
// the layout is not one we can reduce.
bool pixels_as_bytes(const IMAGE &im, std::vector<uint8_t> &out) {
    const int64_t bpl = im.bytes_per_line;
    const bool msb = im.byte_order == 1;
    int64_t capacity; // pixels a row holds
    if (im.bits_per_pixel == 32)
        capacity = bpl / 4;
    else if (im.depth == 24 || im.depth == 16 || im.depth == 8 || im.depth == 4 || im.depth == 1)
        capacity = bpl * 8 / im.depth;
    else
        return false;
    out.assign(static_cast<size_t>(im.nx) * static_cast<size_t>(im.ny), 0);
    const int64_t width = std::min<int64_t>(im.nx, capacity);
    for (int64_t y = 0; y < im.ny; ++y) {
        const uint8_t *row = im.data.data() + y * bpl;
        uint8_t *dst = out.data() + y * im.nx;
        for (int64_t x = 0; x < width; ++x) {
            uint8_t v;
            if (im.bits_per_pixel == 32) {
                const uint8_t *p = row + 4 * x + (msb ? 1 : 0);
                v = static_cast<uint8_t>((p[0] + p[1] + p[2]) / 3);
            } else if (im.depth == 24) {
                v = row[3 * x + (msb ? 2 : 0)];
            } else if (im.depth == 16) {
                v = row[2 * x + (msb ? 1 : 0)];
            } else if (im.depth == 8) {
                v = row[x];
            } else if (im.depth == 4) {
                uint8_t b = row[x / 2];
                v = (x % 2 == 0) ? static_cast<uint8_t>(b >> 4) : static_cast<uint8_t>(b & 0x0F);
            } else {
                v = (row[x / 8] >> (x % 8)) & 1;
            }
            dst[x] = v;
        }
    }
    return true;
}

bool write_all(FILE *fp, const uint8_t *p, size_t n) {
    return std::fwrite(p, 1, n, fp) == n;
}

// Each ZCHUNK bytes become one complete zlib stream at the default level.
bool write_compressed(FILE *fp, const char *name, const uint8_t *p, size_t n) {
    std::vector<uint8_t> out(ZWINDOW);
    for (size_t off = 0; off < n; off += ZCHUNK) {
        size_t len = std::min(ZCHUNK, n - off);
        z_stream zs{};
        if (deflateInit(&zs, Z_DEFAULT_COMPRESSION) != Z_OK) {
            MESS_print(MESS_WARN, "IMG_write: %s: cannot start compression\n", name);
            return false;
        }
        zs.next_in = const_cast<Bytef *>(p + off);
        zs.avail_in = static_cast<uInt>(len);
        zs.next_out = out.data();
        zs.avail_out = static_cast<uInt>(out.size());
        int rc = deflate(&zs, Z_FINISH);
        MESS_print(LEVEL_ZDEBUG, "Deflate+ %d = %d %d = %d %d\n", rc, static_cast<int>(zs.avail_in),
                   static_cast<int>(zs.total_in), static_cast<int>(zs.avail_out),
                   static_cast<int>(zs.total_out));
        size_t produced = out.size() - zs.avail_out;
        deflateEnd(&zs);
        if (rc != Z_STREAM_END) {
            MESS_print(MESS_WARN, "IMG_write: %s: compression failed (%d)\n", name, rc);
            return false;
        }
        if (!write_all(fp, out.data(), produced))
            return false;
    }
    return true;
}

// Header texts stay on their line.
std::string one_line(const std::string &s) {
    std::string out = s;
    std::replace(out.begin(), out.end(), '\n', ' ');
    return out;
}

void write_geometry(FILE *fp, const IMAGE &im) {
    const DOMAIN &d = im.domain;
    if (d.proj == MISSING) {
        std::fprintf(fp, "%d %d\n", im.nx, im.ny);
        return;
    }
    switch (d.proj) {
    case 1:
        if (is_set(d.param[1]) && d.param[1] != d.clon)
            std::fprintf(fp, "PS:%f ", d.param[1]);
        else
            std::fputs("PS ", fp);
        break;
    case 2:
        std::fputs("LL ", fp);
        break;
    case 3:
        std::fputs("ME ", fp);
        break;
    case 4:
        if (is_set(d.param[2]))
            std::fprintf(fp, "LC:%f:%f:%f:%f:%f ", d.param[0], d.param[1], d.param[2], d.param[3],
                         d.param[4]);
        else if (is_set(d.param[1]))
            std::fprintf(fp, "LC:%f ", d.param[1]);
        else
            std::fputs("LC ", fp);
        break;
    case 9:
        std::fprintf(fp, "SAT:%f:%f", d.param[0], d.param[1]);
        if (is_set(d.param[2]))
            std::fprintf(fp, ":%f", d.param[2]);
        std::fputc(' ', fp);
        break;
    default: // no token: only the numbers
        break;
    }
    std::fprintf(fp, "%f %f %f %f %d %d\n", d.clat, d.clon, d.dx, d.dy, d.nx, d.ny);
}

} // namespace

void IMG_set_read_limits(const IMG_READ_LIMITS &limits) {
    st().limits = limits;
}
IMG_READ_LIMITS IMG_get_read_limits() {
    return st().limits;
}
void IMG_reset_state() {
    st() = ImgState{};
}

int IMG_print(uint32_t level, const IMAGE *image) {
    MESS_print(level, "Source: %d\n", image->source);
    MESS_print(level, "Version: %d\n", image->version);
    MESS_print(level, "Date: %s\n", image->label.c_str());
    MESS_print(level, "Info: %s\n", image->info.c_str());
    MESS_print(level, "Type: %d\n", image->type);
    MESS_print(level, "Size: %dx%d\n", image->nx, image->ny);
    MESS_print(level, "Resolution: %.2fx%.2f\n", image->res_x, image->res_y);
    MESS_print(level, "Offset: %.2fx%.2f\n", image->off_x, image->off_y);
    MESS_print(level, "Depth: %d\n", image->depth);
    MESS_print(level, "Bits per pixel: %d\n", image->bits_per_pixel);
    MESS_print(level, "Bytes per line: %d\n", image->bytes_per_line);
    MESS_print(level, "Bytes order: %d\n", image->byte_order);
    MESS_print(level, "Number of colors: %d\n", image->num_colors);
    MESS_print(level, "Tranparent colors: %d\n", image->transparent);
    DOM_print(level, &image->domain);
    return 0;
}

int IMG_read_zor(const char *name, IMAGE *image, int /*mode*/) {
    FilePtr fp = FILE_open(name, "rb");
    if (!fp) {
        MESS_print(MESS_WARN, "Unable to open: %s\n", name);
        IMG_free(image);
        return -1;
    }
    FILE *f = fp.get();
    std::string line;
    bool got = str_read_line(f, line, HEADER_LINE_MAX);
    if (got && line.compare(0, 3, "** ") == 0) // a "** " line may stand before the magic
        got = str_read_line(f, line, HEADER_LINE_MAX);
    if (!got || line.compare(0, 6, "ZORIMG") != 0) {
        MESS_print(MESS_WARN, "IMG_read_zor: Invalid image type\n");
        IMG_free(image);
        return -1;
    }
    const std::string flags = line.substr(6);
    auto has = [&flags](char c) { return flags.find(c) != std::string::npos; };

    IMG_init(image);
    image->source = 50;
    auto fail = [image](const char *fmt, const char *arg) {
        MESS_print(MESS_WARN, fmt, arg);
        IMG_free(image);
        return -1;
    };

    if (!str_read_line(f, line, HEADER_LINE_MAX))
        return fail("IMG_read_zor: %s: header ends before the date label\n", name);
    IMG_set_label(image, line);
    DATE_decode_label(image->label.c_str(), &image->date);
    if (!str_read_line(f, line, HEADER_LINE_MAX))
        return fail("IMG_read_zor: %s: header ends before the info line\n", name);
    IMG_set_info(image, line);
    if (!str_read_line(f, line, HEADER_LINE_MAX))
        return fail("IMG_read_zor: %s: header ends before the image size\n", name);
    if (has('4')) {
        int rc = DOM_decode_data(line.c_str(), &image->domain);
        if (rc != 1 && rc != 2)
            return fail("IMG_read_zor: %s: invalid image domain\n", name);
    } else if (!parse_geometry_v3(line, *image)) {
        return fail("IMG_read_zor: %s: invalid image size line\n", name);
    }
    image->depth = image->bits_per_pixel = 8; // the window's image loader needs both
    image->nx = image->bytes_per_line = image->domain.nx;
    image->ny = image->domain.ny;

    const IMG_READ_LIMITS &lim = st().limits;
    if (image->nx < 1 || image->nx > IMG_MAX_SIDE || image->ny < 1 || image->ny > IMG_MAX_SIDE ||
        static_cast<int64_t>(image->nx) * image->ny > lim.max_pixels) {
        MESS_print(MESS_WARN, "IMG_read_zor: %s: unacceptable image size %dx%d\n", name, image->nx,
                   image->ny);
        IMG_free(image);
        return -1;
    }

    if (has('V') && !skip_bytes(f, 1024))
        return fail("IMG_read_zor: %s: header ends inside the skipped block\n", name);
    if (has('C')) {
        // 2 bytes, a 2-byte field, then twice its second byte taken as a signed byte
        // (a negative count skips nothing).
        uint8_t field[4];
        if (std::fread(field, 1, 4, f) != 4)
            return fail("IMG_read_zor: %s: header ends inside the skipped block\n", name);
        int n = 2 * static_cast<int8_t>(field[3]);
        if (n > 0 && !skip_bytes(f, static_cast<size_t>(n)))
            return fail("IMG_read_zor: %s: header ends inside the skipped block\n", name);
    }

    // Every buffer below grows with the bytes that arrive; a file too short for its header's
    // size is refused before anything is allocated.
    const size_t size = static_cast<size_t>(image->nx) * static_cast<size_t>(image->ny);
    try {
        if (has('*')) {
            std::string data_name;
            if (!read_data_name(f, data_name))
                return fail("IMG_read_zor: %s: no valid data file name\n", name);
            // A name read from the header: never a command, a stream or a home directory.
            FilePtr df = FILE_open_data(data_name.c_str());
            if (!df)
                return fail("Unable to open: %s\n", data_name.c_str());
            int64_t left = bytes_left(df.get());
            if (left >= 0 && static_cast<uint64_t>(left) < size)
                return fail("IMG_read_zor: %s: data file too short for the image\n",
                            data_name.c_str());
            if (!read_plain(df.get(), data_name.c_str(), size, image->data)) {
                IMG_free(image);
                return -1;
            }
        } else if (has('Z')) {
            if (!read_compressed(f, name, size, image->data)) {
                IMG_free(image);
                return -1;
            }
        } else {
            int64_t left = bytes_left(f);
            if (left >= 0 && static_cast<uint64_t>(left) < size)
                return fail("IMG_read_zor: %s: file too short for the image\n", name);
            if (!read_plain(f, name, size, image->data)) {
                IMG_free(image);
                return -1;
            }
        }
    } catch (const std::bad_alloc &) {
        return fail("IMG_read_zor: %s: no memory for the image\n", name);
    }
    return 1;
}

int IMG_write(const char *name, const IMAGE *image, int compress) {
    const IMAGE &im = *image;
    if (im.nx < 1 || im.ny < 1 || im.bytes_per_line < 1 ||
        im.data.size() < static_cast<size_t>(im.bytes_per_line) * static_cast<size_t>(im.ny)) {
        MESS_print(MESS_WARN, "IMG_write: %s: image has no complete pixel buffer\n", name);
        return 0;
    }
    // One byte per pixel: an 8-bit image without colour table goes out as it is, anything
    // else (colour indices, deeper pixels, padded rows) is reduced first.
    std::vector<uint8_t> reduced;
    const uint8_t *pixels = im.data.data();
    const bool as_is = im.depth == 8 && im.bits_per_pixel != 32 && im.bytes_per_line == im.nx;
    if (!as_is) {
        if (!pixels_as_bytes(im, reduced)) {
            MESS_print(MESS_WARN, "IMG_write: %s: unsupported pixel depth %d\n", name, im.depth);
            return 0;
        }
        pixels = reduced.data();
    }
    const size_t size = static_cast<size_t>(im.nx) * static_cast<size_t>(im.ny);

    FilePtr fp = FILE_open(name, "wb");
    if (!fp) {
        MESS_print(MESS_WARN, "Unable to open: %s\n", name);
        return 0;
    }
    FILE *f = fp.get();
    std::fputs(compress == 1 ? "ZORIMGZ\n" : "ZORIMG\n", f);
    std::fprintf(f, "%s\n%s\n", one_line(im.label).c_str(), one_line(im.info).c_str());
    write_geometry(f, im);
    bool ok = compress == 1 ? write_compressed(f, name, pixels, size) : write_all(f, pixels, size);
    if (std::fflush(f) != 0 || std::ferror(f))
        ok = false;
    if (!ok) {
        MESS_print(MESS_WARN, "IMG_write: %s: write failed\n", name);
        return 0;
    }
    return 1;
}

// The picture of the drawing target as a native file. When the plot fills (nearly) the
// whole window the current map domain places it, its cell size scaled to the picture's
// size; the plot's labels name it.
int IMG_dump(const char *name) {
    IMAGE im;
    if (gget_image(&im) != 0)
        return 0;
    DOMAIN dom;
    MAP_get_domain(&dom);
    if (PLT_get_view_offset() <= 0.7f) {
        if (dom.nx != im.nx && dom.nx > 1 && dom.ny > 1 && im.nx > 1 && im.ny > 1) {
            dom.dx *= float(dom.nx - 1) / float(im.nx - 1);
            dom.dy *= float(dom.ny - 1) / float(im.ny - 1);
            dom.nx = im.nx;
            dom.ny = im.ny;
        }
        im.domain = dom;
    }
    IMG_set_info(&im, std::string(PLT_get_label(PLT_UP_LEFT, 0)) + " [" +
                          PLT_get_label(PLT_LOW_RIGHT, 0) + "]");
    IMG_set_label(&im, PLT_get_label(PLT_UP_RIGHT, 0));
    return IMG_write(name, &im, 0) == 1 ? 1 : 0;
}

int IMG_read(const char *name, IMAGE *image, int mode) {
    FilePtr fp = FILE_open(name, "rb");
    if (!fp) {
        MESS_print(MESS_WARN, "IMG_read: Unable to open image file: %s\n", name);
        return 0;
    }
    unsigned char head[6] = {0, 0, 0, 0, 0, 0};
    size_t got = std::fread(head, 1, 6, fp.get());
    IMG_init(image);
    // XWD files may not be deeper than the window; a query before the window exists (mode
    // 1) takes 32 bits.
    image->depth = gget_win_depth();
    if (image->depth == 0 && mode == 1)
        image->depth = 32;
    if (got >= 3 && std::memcmp(head, "** ", 3) == 0) {
        // Skip the "** " line; the 6 bytes after it decide the format.
        size_t k = 3;
        while (k < got && head[k] != '\n')
            ++k;
        size_t keep = 0;
        if (k < got) {
            keep = got - k - 1;
            std::memmove(head, head + k + 1, keep);
        } else {
            int c;
            while ((c = std::getc(fp.get())) != EOF && c != '\n') {
            }
        }
        got = keep + std::fread(head + keep, 1, 6 - keep, fp.get());
    }
    fp.reset();

    int rc = 0;
    if (got >= 3 && std::memcmp(head, "GIF", 3) == 0)
        rc = GIF_read(name, image, mode);
    else if (got >= 4 && std::memcmp(head + 1, "PNG", 3) == 0)
        rc = PNG_read(name, image, mode);
    else if (got >= 3 && std::memcmp(head, "ZOR", 3) == 0)
        rc = IMG_read_zor(name, image, mode) == 1 ? 1 : 0;
    else
        rc = XWD_read(name, image, mode);
    if (rc == 0)
        IMG_free(image);
    return rc;
}
