// GeoTIFF reader.
//
// TIFF: an 8-byte header ("II*\0" little-endian or "MM\0*" big-endian, then
// the offset of the first image file directory), directories of 12-byte
// entries (tag, type, count, value or offset). The georeference lies in three
// tags: the pixel scale (33550) with tie points (33922), or a 4x4 model
// transformation (34264), and the GeoKey directory (34735) with its double
// parameters (34736). Traps:
//  - an entry's values sit in its 4-byte value field when they fit there, else
//    at the offset the field holds (two SHORTs are inline, one DOUBLE is not);
//  - a GeoKey whose location is 0 holds its value itself; otherwise the value
//    is an index into the array of the tag named by the location;
//  - Mercator parameters are in metres of the file's ellipsoid and scale, plot
//    units are 100 km on the sphere: the centre and the pixel size are
//    converted through latitude and longitude.
#include "satformats/geotiff.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "base/bytes.h"
#include "base/date.h"
#include "base/file_io.h"
#include "base/mess.h"
#include "base/string.h"
#include "map/maptran.h"
#include "satformats/sat_reader.h"

namespace {

constexpr uint32_t kTagTrace = 0x10000000u;
constexpr int64_t kMaxFileBytes = int64_t{1} << 32;
// PackBits turns two bytes into at most 128.
constexpr int64_t kPackBitsMaxExpansion = 64;
constexpr int kPackBits = 32773;
constexpr double kEarthRadius = 63.7122; // plot units (100 km)
constexpr double kRad = M_PI / 180;

enum TiffType : int { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kDouble = 12 };

size_t type_size(int type) {
    switch (type) {
    case 1:
    case 2:
    case 6:
    case 7:
        return 1;
    case 3:
    case 8:
        return 2;
    case 4:
    case 9:
    case 11:
        return 4;
    case 5:
    case 10:
    case 12:
    case 16:
    case 17:
        return 8;
    default:
        return 0;
    }
}

// The whole file in memory, read in its byte order.
struct TiffBytes {
    std::span<const uint8_t> b;
    std::endian order = std::endian::little;

    bool has(uint64_t pos, uint64_t n) const { return pos <= b.size() && n <= b.size() - pos; }
    uint64_t get(uint64_t pos, int n) const {
        uint64_t v = 0;
        for (int i = 0; i < n; ++i) {
            const uint64_t byte =
                b[pos + static_cast<uint64_t>(order == std::endian::big ? i : n - 1 - i)];
            v = v << 8 | byte;
        }
        return v;
    }
    uint16_t u16(uint64_t pos) const { return static_cast<uint16_t>(get(pos, 2)); }
    uint32_t u32(uint64_t pos) const { return static_cast<uint32_t>(get(pos, 4)); }
    double f64(uint64_t pos) const {
        const uint64_t v = get(pos, 8);
        double d = 0;
        std::memcpy(&d, &v, 8);
        return d;
    }
};

// What the directory says.
struct TiffInfo {
    int width = 0, height = 0, depth = 0, samples = 1, compression = 1;
    std::string make, model, datetime;
    std::vector<uint32_t> strip_offsets, strip_counts;
    uint32_t rows_per_strip = 0;
    std::array<double, 16> geo{};
    int geo_tag = 0; // 33922 or 34264: which tag filled geo
    double scale_x = 0, scale_y = 0;
    int proj = 0;
    std::map<int, int> key_value; // GeoKeys held in the directory itself
    std::map<int, int> key_index; // GeoKeys held in a parameter array: their index
    std::vector<double> geo_doubles;
};

std::string ascii_text(const uint8_t *p, size_t n, size_t keep) {
    std::string s(reinterpret_cast<const char *>(p), std::min(n, keep));
    s.resize(std::strlen(s.c_str()));
    return s;
}

void keep_text(TiffInfo &t, int tag, const std::string &text) {
    if (tag == 271)
        t.make = text.substr(0, 29);
    else if (tag == 272)
        t.model = text.substr(0, 29);
    else if (tag == 306)
        t.datetime = text.substr(0, 49);
}

void read_geokeys(TiffInfo &t, const TiffBytes &f, uint64_t pos, uint32_t count) {
    MESS_print(kTagTrace, "Tag: GeoKeyDir SHORT %u:\n", count);
    if (count < 4)
        return;
    // Header: version, revision, minor revision, number of keys.
    const uint32_t keys = std::min<uint32_t>(f.u16(pos + 6), (count - 4) / 4);
    for (uint32_t k = 0; k < keys; ++k) {
        const uint64_t p = pos + 8 + 8 * uint64_t{k};
        const int id = f.u16(p), location = f.u16(p + 2), n = f.u16(p + 4), value = f.u16(p + 6);
        MESS_print(kTagTrace, "   %d,%d,%d,%d\n", id, location, n, value);
        if (location != 0)
            t.key_index[id] = value;
        else
            t.key_value[id] = value;
        if (id == 3075)
            t.proj = value;
        else if (id == 1024 && value == 2)
            t.proj = 2;
    }
}

// One directory entry at pos.
void read_entry(TiffInfo &t, const TiffBytes &f, uint64_t pos) {
    const int tag = f.u16(pos), type = f.u16(pos + 2);
    const uint32_t count = f.u32(pos + 4);
    const uint32_t field = f.u32(pos + 8);
    const size_t size = type_size(type);
    const uint64_t bytes = uint64_t{count} * size;
    if (size == 0 || (type != kAscii && type != kShort && type != kLong && type != kRational &&
                      type != kDouble)) {
        MESS_print(kTagTrace, "Tag: %d %d %u %u\n", tag, type, count, field);
        return;
    }
    const uint64_t at = bytes <= 4 ? pos + 8 : field;
    if (!f.has(at, bytes)) {
        MESS_print(kTagTrace, "Tag: %d: %u values at %llu lie outside the file\n", tag, count,
                   static_cast<unsigned long long>(at));
        return;
    }
    switch (type) {
    case kAscii: {
        const std::string text = ascii_text(f.b.data() + at, count, count);
        if (count < 5) {
            MESS_print(kTagTrace, "Tag: %d ASCII %u %s\n", tag, count, text.c_str());
        } else {
            MESS_print(kTagTrace, "Tag: %d ASCII %u %u\n", tag, count, field);
            MESS_print(kTagTrace, "  Data: %s\n", text.c_str());
        }
        keep_text(t, tag, text);
        break;
    }
    case kShort:
        if (count == 1) {
            const int v = f.u16(at);
            MESS_print(kTagTrace, "Tag: %d SHORT %u %d\n", tag, count, v);
            if (tag == 256)
                t.width = v;
            else if (tag == 257)
                t.height = v;
            else if (tag == 258)
                t.depth = v;
            else if (tag == 259)
                t.compression = v;
            else if (tag == 277)
                t.samples = v;
            else if (tag == 278)
                t.rows_per_strip = static_cast<uint32_t>(v);
            else if (tag == 273)
                t.strip_offsets = {static_cast<uint32_t>(v)};
            else if (tag == 279)
                t.strip_counts = {static_cast<uint32_t>(v)};
        } else if (tag == 34735) {
            read_geokeys(t, f, at, count);
        } else {
            MESS_print(kTagTrace, "Tag: %d SHORT %u:  ", tag, count);
            std::vector<uint32_t> values(count);
            for (uint32_t i = 0; i < count; ++i) {
                values[i] = f.u16(at + 2 * uint64_t{i});
                MESS_print(kTagTrace, "%u,", values[i]);
            }
            MESS_print(kTagTrace, "\n");
            if (tag == 258 && !values.empty())
                t.depth = static_cast<int>(values[0]);
            else if (tag == 273)
                t.strip_offsets = std::move(values);
            else if (tag == 279)
                t.strip_counts = std::move(values);
        }
        break;
    case kLong:
        if (count == 1) {
            MESS_print(kTagTrace, "Tag: %d LONG %u %u\n", tag, count, field);
            // Sizes as LONG too: writers use LONG for anything above 65535.
            if (tag == 256)
                t.width = static_cast<int>(std::min<uint32_t>(field, IMG_MAX_SIDE + 1));
            else if (tag == 257)
                t.height = static_cast<int>(std::min<uint32_t>(field, IMG_MAX_SIDE + 1));
            else if (tag == 278)
                t.rows_per_strip = field;
            else if (tag == 273)
                t.strip_offsets = {field};
            else if (tag == 279)
                t.strip_counts = {field};
        } else {
            std::vector<uint32_t> values(count);
            for (uint32_t i = 0; i < count; ++i)
                values[i] = f.u32(at + 4 * uint64_t{i});
            if (tag == 273) {
                t.strip_offsets = std::move(values);
            } else if (tag == 279) {
                t.strip_counts = std::move(values);
            } else {
                MESS_print(kTagTrace, "Tag: %d LONG %u:  ", tag, count);
                for (uint32_t v : values)
                    MESS_print(kTagTrace, "%u,", v);
                MESS_print(kTagTrace, "\n");
            }
        }
        break;
    case kRational:
        MESS_print(kTagTrace, "Tag: %d RATIONAL %u:  ", tag, count);
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t num = f.u32(at + 8 * uint64_t{i}), den = f.u32(at + 8 * uint64_t{i} + 4);
            MESS_print(kTagTrace, "%f,", den != 0 ? static_cast<double>(num) / den : 0.0);
        }
        MESS_print(kTagTrace, "\n");
        break;
    case kDouble: {
        MESS_print(kTagTrace, "Tag: %d DOUBLE %u:  ", tag, count);
        std::vector<double> values(count);
        for (uint32_t i = 0; i < count; ++i) {
            values[i] = f.f64(at + 8 * uint64_t{i});
            MESS_print(kTagTrace, "%f,", values[i]);
        }
        MESS_print(kTagTrace, "\n");
        if (tag == 33922 || tag == 34264) {
            t.geo.fill(0);
            std::copy_n(values.begin(), std::min<size_t>(values.size(), t.geo.size()),
                        t.geo.begin());
            t.geo_tag = tag;
        } else if (tag == 33550 && count >= 2) {
            t.scale_x = values[0];
            t.scale_y = values[1];
        } else if (tag == 34736) {
            t.geo_doubles = std::move(values);
        }
        break;
    }
    default:
        break;
    }
}

// A value for the domain: the missing value unless finite in float.
float domain_value(double v) {
    return std::isfinite(v) && std::abs(v) <= FLT_MAX ? static_cast<float>(v) : MISSING_F;
}

// A GeoDoubleParams value by its key, or the default.
double key_double(const TiffInfo &t, int key, double def) {
    const auto it = t.key_index.find(key);
    if (it == t.key_index.end() || it->second < 0 ||
        static_cast<size_t>(it->second) >= t.geo_doubles.size())
        return def;
    return t.geo_doubles[static_cast<size_t>(it->second)];
}

// Semi-major axis (m) and squared eccentricity of the file's ellipsoid: the
// axes or flattening when given, else the ellipsoid, datum or geographic
// system code; WGS 84 when nothing says.
struct Ellipsoid {
    double a, e2;
};

Ellipsoid file_ellipsoid(const TiffInfo &t) {
    struct Code {
        int code;
        double a, inv_f;
    };
    // EPSG ellipsoid, datum and geographic system codes of the common ellipsoids.
    static constexpr Code kCodes[] = {
        {7008, 6378206.4, 294.978698214}, {6267, 6378206.4, 294.978698214},
        {4267, 6378206.4, 294.978698214}, {7030, 6378137.0, 298.257223563},
        {6326, 6378137.0, 298.257223563}, {4326, 6378137.0, 298.257223563},
        {7019, 6378137.0, 298.257222101}, {6269, 6378137.0, 298.257222101},
        {4269, 6378137.0, 298.257222101}, {7043, 6378135.0, 298.26},
        {7022, 6378388.0, 297.0},         {7004, 6377397.155, 299.1528128},
        {7001, 6377563.396, 299.3249646}, {7035, 6371000.0, 0.0},
    };
    double a = 6378137.0, inv_f = 298.257223563;
    for (int key : {2048, 2050, 2056}) {
        const auto it = t.key_value.find(key);
        if (it == t.key_value.end())
            continue;
        for (const auto &c : kCodes)
            if (c.code == it->second)
                std::tie(a, inv_f) = std::pair(c.a, c.inv_f);
    }
    a = key_double(t, 2057, a);
    const double b = key_double(t, 2058, 0.0);
    inv_f = key_double(t, 2059, b > 0 && b < a ? a / (a - b) : inv_f);
    const double f = inv_f > 0 ? 1 / inv_f : 0.0;
    return {a, f * (2 - f)};
}

// Latitude (degrees) of a northing on the ellipsoidal Mercator of radius a k0.
double mercator_latitude(double y, double ak0, double e2) {
    const double e = std::sqrt(e2);
    const double t = std::exp(-y / ak0);
    double phi = M_PI / 2 - 2 * std::atan(t);
    for (int i = 0; i < 20; ++i) {
        const double s = e * std::sin(phi);
        const double next = M_PI / 2 - 2 * std::atan(t * std::pow((1 - s) / (1 + s), e / 2));
        const bool done = std::abs(next - phi) < 1e-12;
        phi = next;
        if (done)
            break;
    }
    return phi / kRad;
}

// Model position of the corner of pixel (0, 0) and the steps of one pixel,
// from the transformation matrix or from a tie point and the pixel scale.
struct ModelGrid {
    double x0 = 0, y0 = 0, sx = 0, sy = 0;
};

std::optional<ModelGrid> model_grid(const TiffInfo &t) {
    const auto &T = t.geo;
    ModelGrid g;
    if (t.geo_tag == 34264) {
        g = {T[3], T[7], T[0], T[5]};
    } else if (t.geo_tag == 33922 && t.scale_x != 0 && t.scale_y != 0) {
        g.sx = t.scale_x;
        g.sy = -t.scale_y;
        g.x0 = T[3] - T[0] * g.sx;
        g.y0 = T[4] - T[1] * g.sy;
    } else {
        return std::nullopt;
    }
    if (g.sx == 0 || g.sy == 0 || !std::isfinite(g.x0 + g.y0 + g.sx + g.sy))
        return std::nullopt;
    return g;
}

// The image's plot domain.
void tiff_domain(const TiffInfo &t, DOMAIN &dom) {
    dom.nx = t.width;
    dom.ny = t.height;
    dom.dx = domain_value(t.scale_x);
    dom.dy = domain_value(t.scale_y);
    const auto g = model_grid(t);
    const double plon = key_double(t, 3088, key_double(t, 3080, 0.0));
    if (g && (t.geo_tag == 34264 || t.proj == 7)) {
        const double lrx = g->x0 + t.width * g->sx, lry = g->y0 + t.height * g->sy;
        MESS_print(kTagTrace, "plon: %f\n", plon);
        MESS_print(kTagTrace, "UL: %.0f %.0f\n", g->x0, g->y0);
        MESS_print(kTagTrace, "LR: %.0f %.0f\n", lrx, lry);
        MESS_print(kTagTrace, "Center: %.2f %.2f\n", (g->x0 + lrx) / 200000,
                   (g->y0 + lry) / 200000);
    }
    if (!g)
        return;
    if (t.proj == 2) {
        // Geographic: degrees; the centre lies width/2 and height/2 (whole) pixels
        // from the corner.
        dom.proj = 2;
        dom.param[0] = dom.param[1] = 0;
        dom.dx = domain_value(std::abs(g->sx));
        dom.dy = domain_value(std::abs(g->sy));
        dom.clat = domain_value(g->y0 - (t.height / 2) * std::abs(g->sy));
        dom.clon = domain_value(g->x0 + (t.width / 2) * std::abs(g->sx));
    } else if (t.proj == 7) {
        // Mercator: the file's easting is k0 a (lon - plon), its northing the
        // ellipsoid's conformal one; plot units are R (lon - plon) and the sphere's
        // northing. Pixel sizes are matched at the centre.
        const auto [a, e2] = file_ellipsoid(t);
        const double ak0 = a * key_double(t, 3092, key_double(t, 3093, 1.0));
        const double cx = g->x0 + t.width * g->sx / 2 - key_double(t, 3082, 0.0);
        const double cy = g->y0 + t.height * g->sy / 2 - key_double(t, 3083, 0.0);
        const double clat = mercator_latitude(cy, ak0, e2);
        const double s = std::sin(clat * kRad);
        dom.proj = 3;
        dom.param[0] = 0;
        dom.param[1] = domain_value(plon);
        dom.ellipsoid = 1;
        dom.clat = domain_value(clat);
        dom.clon = domain_value(plon + cx / ak0 / kRad);
        dom.dx = domain_value(std::abs(g->sx) * kEarthRadius / ak0);
        dom.dy = domain_value(std::abs(g->sy) * kEarthRadius * (1 - e2 * s * s) / (ak0 * (1 - e2)));
    }
}

// PackBits: a control byte n; 0-127 copy the next n + 1 bytes, 129-255 repeat
// the next byte 257 - n times, 128 does nothing. Bytes produced.
size_t unpack_bits(std::span<const uint8_t> in, uint8_t *out, size_t want) {
    size_t i = 0, o = 0;
    while (o < want && i < in.size()) {
        const uint8_t n = in[i++];
        if (n < 128) {
            const size_t k = std::min({size_t{n} + 1, want - o, in.size() - i});
            std::memcpy(out + o, in.data() + i, k);
            i += size_t{n} + 1;
            o += k;
        } else if (n > 128) {
            if (i >= in.size())
                break;
            const size_t k = std::min(size_t{257} - n, want - o);
            std::memset(out + o, in[i++], k);
            o += k;
        }
    }
    return o;
}

// Pixels strip by strip; without byte counts the strips are read as one run
// from the first offset. A strip cut short leaves the rest of its rows 0.
void read_strips(const TiffInfo &t, const TiffBytes &f, PixelVector<uint8_t> &data) {
    const size_t row = static_cast<size_t>(t.width);
    const bool counted = t.strip_counts.size() == t.strip_offsets.size();
    const size_t rows_per_strip = counted && t.rows_per_strip > 0
                                      ? std::min<size_t>(t.rows_per_strip, t.height)
                                      : static_cast<size_t>(t.height);
    for (size_t s = 0; s < t.strip_offsets.size(); ++s) {
        const size_t first = s * rows_per_strip;
        if (first >= static_cast<size_t>(t.height))
            break;
        const size_t want = std::min(rows_per_strip, t.height - first) * row;
        const uint64_t off = std::min<uint64_t>(t.strip_offsets[s], f.b.size());
        const uint64_t len =
            counted ? std::min<uint64_t>(t.strip_counts[s], f.b.size() - off) : f.b.size() - off;
        const auto in = f.b.subspan(off, len);
        uint8_t *out = data.data() + first * row;
        if (t.compression == kPackBits)
            unpack_bits(in, out, want);
        else
            std::memcpy(out, in.data(), std::min<size_t>(want, in.size()));
        if (!counted)
            break;
    }
}

// The whole file, at most kMaxFileBytes; read in one go when its size is known.
std::optional<std::vector<uint8_t>> slurp(FILE *f) {
    struct stat sb {};
    size_t chunk = size_t{1} << 16;
    if (fstat(fileno(f), &sb) == 0 && S_ISREG(sb.st_mode) && sb.st_size < kMaxFileBytes)
        chunk = static_cast<size_t>(sb.st_size) + 1;
    std::vector<uint8_t> out;
    for (;;) {
        const size_t old = out.size();
        if (static_cast<int64_t>(old) >= kMaxFileBytes)
            return std::nullopt;
        out.resize(old + chunk);
        const size_t got = std::fread(out.data() + old, 1, chunk, f);
        out.resize(old + got);
        if (got < chunk)
            return out;
        chunk = std::max(chunk, old); // doubling
    }
}

int read_tiff(const std::vector<uint8_t> &file, IMAGE *image) {
    TiffBytes f{file};
    if (file.size() >= 4 && file[0] == 'M' && file[1] == 'M' && file[2] == 0 && file[3] == 42) {
        f.order = std::endian::big;
        swap_setup(1);
        MESS_print(kTagTrace, "TIFF big endian\n");
    } else if (file.size() >= 4 && file[0] == 'I' && file[1] == 'I' && file[2] == 42 &&
               file[3] == 0) {
        f.order = std::endian::little;
        swap_setup(2);
        MESS_print(kTagTrace, "TIFF little endian\n");
    } else {
        MESS_print(MESS_WARN, "Not a TIFF file\n");
        return -1;
    }
    const uint64_t ifd = f.has(4, 4) ? f.u32(4) : 0;
    if (!f.has(ifd, 2) || ifd < 8) {
        MESS_print(MESS_WARN, "SAT_read_TIFF: Directory offset %llu outside the file\n",
                   static_cast<unsigned long long>(ifd));
        return -1;
    }
    const uint32_t entries = f.u16(ifd);
    MESS_print(kTagTrace, "Num tags: %u\n", entries);
    TiffInfo t;
    for (uint32_t i = 0; i < entries && f.has(ifd + 2 + 12 * uint64_t{i}, 12); ++i)
        read_entry(t, f, ifd + 2 + 12 * uint64_t{i});
    MESS_print(kTagTrace, "Height: %d\n", t.height);
    MESS_print(kTagTrace, "Width: %d\n", t.width);
    MESS_print(kTagTrace, "Depth: %d\n", t.depth);
    MESS_print(kTagTrace, "Proj: %d\n", t.proj);

    if (t.width < 1 || t.height < 1 || t.width > IMG_MAX_SIDE || t.height > IMG_MAX_SIDE) {
        MESS_print(MESS_WARN, "SAT_read_TIFF: Invalid image size %dx%d\n", t.width, t.height);
        return -1;
    }
    if (t.depth != 8 || t.samples != 1 || t.strip_offsets.empty()) {
        MESS_print(MESS_WARN,
                   "SAT_read_TIFF: Only strips of 8-bit grey pixels are read (%d bits, %d "
                   "samples, %zu strips)\n",
                   t.depth, t.samples, t.strip_offsets.size());
        return -1;
    }
    const int64_t pixels = int64_t{t.width} * t.height;
    const int64_t most = static_cast<int64_t>(file.size()) *
                         (t.compression == kPackBits ? kPackBitsMaxExpansion : 1);
    if (pixels > most) {
        MESS_print(MESS_WARN, "SAT_read_TIFF: Image of %dx%d is larger than the file can hold\n",
                   t.width, t.height);
        return -1;
    }

    image->nx = t.width;
    image->ny = t.height;
    image->depth = image->bits_per_pixel = 8;
    image->bytes_per_line = t.width;
    IMG_set_info(image, str_trim(t.make + " " + t.model));
    DATE &d = image->date;
    if (std::sscanf(t.datetime.c_str(), "%4d:%2d:%2d %2d:%2d:%2d", &d.year, &d.month, &d.day,
                    &d.hour, &d.minute, &d.second) == 6) {
        d.julian = DATE_julian_monday(d.year, d.month, d.day);
        std::string label;
        DATE_make_label(&d, label);
        IMG_set_label(image, label);
    } else {
        DATE_init(&d);
    }
    tiff_domain(t, image->domain);

    try {
        image->data.assign(static_cast<size_t>(pixels), 0);
    } catch (const std::bad_alloc &) {
        MESS_print(MESS_WARN, "SAT_read_TIFF: No memory for %dx%d pixels\n", t.width, t.height);
        return -1;
    }
    std::printf("compress %d\n", t.compression);
    read_strips(t, f, image->data);
    return 0;
}

} // namespace

int SAT_read_TIFF(const char *file_name, IMAGE *image) {
    if (!image)
        return -1;
    IMG_init(image);
    image->source = 59;
    FilePtr file = file_name ? FILE_open(file_name, "rb") : FilePtr{};
    if (!file)
        return -1;
    std::optional<std::vector<uint8_t>> bytes;
    try {
        bytes = slurp(file.get());
    } catch (const std::bad_alloc &) {
    }
    file.reset();
    if (!bytes) {
        MESS_print(MESS_WARN, "SAT_read_TIFF: Unable to read %s\n", file_name);
        return -1;
    }
    const int rc = read_tiff(*bytes, image);
    if (rc != 0)
        image->data.clear();
    return rc;
}

// ---------------------------------------------------------------------------
// The GeoTIFF row of the reader table
// ---------------------------------------------------------------------------

bool SAT_tiff_recognise(std::span<const uint8_t> head) {
    static constexpr uint8_t kLittle[4] = {'I', 'I', 42, 0}, kBig[4] = {'M', 'M', 0, 42};
    return head.size() >= 4 &&
           (std::memcmp(head.data(), kLittle, 4) == 0 || std::memcmp(head.data(), kBig, 4) == 0);
}

int SAT_tiff_read(SAT_READ_JOB &job) {
    return SAT_read_TIFF(job.name, job.image);
}
