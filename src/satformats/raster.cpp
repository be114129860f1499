// Raster reader.
//
// The header is read as words of at most 500 characters, at most 30 of them;
// each keyword is tested at the start of every word and its value follows in
// the same word ("x640", "idGOES-E", "lat40"). Traps:
//  - the header is part of the raster: its bytes, and the one byte behind
//    "end", become zero pixels at the top left;
//  - a header without "end" is still taken when three or more words matched;
//  - the scan mapping counts elements from 20 before the start scan and lines
//    in half-lines, as the producer of these files numbers them.
#include "satformats/raster.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "base/bytes.h"
#include "base/date.h"
#include "base/file_io.h"
#include "base/mess.h"
#include "base/resrc.h"
#include "map/region.h"
#include "satformats/area_domain.h"
#include "satformats/sat_reader.h"
#include "satformats/sat_tran.h"

namespace {

constexpr size_t kWordMax = 500;
constexpr int kMaxWords = 30;
constexpr int kMinKeywords = 3; // without "end"
// A short file leaves the rest of the raster zero, but a header that declares
// far more pixels than the file has bytes does not describe this file.
constexpr int64_t kMaxExpansion = 1032;
constexpr int64_t kShortFilePixels = int64_t{1} << 20;

bool is_space(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The next word, skipping blanks; empty at the end of the data. The blank
// behind the word stays unread.
std::string next_word(ByteCursor &in) {
    int c = in.peek_byte();
    while (c >= 0 && is_space(c)) {
        in.get_byte();
        c = in.peek_byte();
    }
    std::string word;
    while (c >= 0 && !is_space(c) && word.size() < kWordMax) {
        word.push_back(static_cast<char>(in.get_byte()));
        c = in.peek_byte();
    }
    return word;
}

int to_int(std::string_view text) {
    const std::string s(text);
    const long long v = std::strtoll(s.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

float to_float(std::string_view text) {
    const std::string s(text);
    const float v = std::strtof(s.c_str(), nullptr);
    return std::isfinite(v) ? v : 0.0f;
}

// What the header gives besides the image record.
struct RasterHeader {
    bool end = false;
    int keywords = 0;                         // words that matched a keyword
    float ssn = 0, sln = 0, esn = 0, eln = 0; // start/end scan and line numbers
    float sr = 0, lr = -1;                    // scan and line resolution; lr -1: not given
};

// Applies one word to the record; true when it matched a keyword.
bool apply_word(std::string_view w, IMAGE *image, RasterHeader &h) {
    DOMAIN &d = image->domain;
    auto starts = [&w](std::string_view k) { return w.substr(0, k.size()) == k; };
    auto value = [&w](size_t skip) { return w.substr(std::min(skip, w.size())); };
    bool hit = false;
    if (starts("id")) {
        IMG_set_info(image, std::string(value(2)));
        hit = true;
    }
    if (starts("x")) {
        image->nx = image->bytes_per_line = d.nx = to_int(value(1));
        hit = true;
    }
    if (starts("y")) {
        image->ny = d.ny = to_int(value(1));
        hit = true;
    }
    if (w == "pl") {
        d.proj = 4;
        d.dx = d.dy = 0.08f;
        hit = true;
    }
    if (starts("lat")) {
        d.clat = to_float(value(3));
        hit = true;
    }
    if (starts("lon")) {
        d.clon = to_float(value(3));
        hit = true;
    }
    if (w == "range") {
        d.dx = d.dy = 0.08f;
        hit = true;
    }
    if (starts("ref") && w.size() >= 4 && w[3] >= '1' && w[3] <= '4') {
        d.param[w[3] - '1'] = to_float(value(4));
        hit = true;
    }
    struct Scan {
        const char *key;
        float RasterHeader::*field;
    };
    static constexpr Scan kScan[] = {{"ssn", &RasterHeader::ssn}, {"sln", &RasterHeader::sln},
                                     {"esn", &RasterHeader::esn}, {"eln", &RasterHeader::eln},
                                     {"sr", &RasterHeader::sr},   {"lr", &RasterHeader::lr}};
    for (const auto &s : kScan)
        if (starts(s.key)) {
            h.*(s.field) = to_float(value(std::strlen(s.key)));
            hit = true;
        }
    if (starts("f")) {
        const std::string s(value(3));
        const int64_t secs = std::strtoll(s.c_str(), nullptr, 10);
        DATE date;
        if (DATE_get_gmdate(&secs, &date) == 1) {
            image->date = date;
            std::string label;
            DATE_make_label(&date, label);
            IMG_set_label(image, label);
        }
        hit = true;
    }
    if (w == "end") {
        h.end = true;
        hit = true;
    }
    return hit;
}

// What the raster steps hand on.
struct RasterJob : SAT_READ_DATA {
    FilePtr file;
    std::optional<ByteCursor> in;
    RasterHeader header;
};

RasterJob *raster_job(SAT_READ_JOB &job) {
    return dynamic_cast<RasterJob *>(job.data.get());
}

// Reads header words from in until "end", the end of the data or 30 words.
void read_words(ByteCursor &in, IMAGE *image, RasterHeader &h) {
    for (int n = 0; n < kMaxWords && !h.end; ++n) {
        const std::string w = next_word(in);
        if (w.empty())
            break;
        if (apply_word(w, image, h))
            ++h.keywords;
    }
}

void set_defaults(IMAGE *image) {
    image->source = 55;
    image->depth = 8;
    image->bits_per_pixel = 8;
    image->domain.proj = 99;
    image->domain.clat = image->domain.clon = 0.0f;
    image->domain.dx = image->domain.dy = 1.0f;
}

// The image-to-AREA mapping from the scan coordinates, when a line resolution
// was given.
void set_scan_mapping(const RasterHeader &h, const IMAGE &image) {
    if (!(h.lr > 0) || image.nx < 1 || image.ny < 1)
        return;
    const float lcor = (h.sln - 1) * 2 * h.lr;
    const float ecor = (h.ssn + 20) * h.sr;
    const float lres = (2 * h.lr * (h.eln - 1) - lcor) / static_cast<float>(image.ny);
    const float eres = ((h.esn + 20) * h.sr - ecor) / static_cast<float>(image.nx);
    AREA_set_res(lcor, ecor, lres, eres);
}

} // namespace

bool SAT_raster_recognise(std::span<const uint8_t> head) {
    // Printable words up to "end", among them a width and a height.
    IMAGE image;
    RasterHeader h;
    const auto stop = std::find_if(head.begin(), head.end(), [](uint8_t c) {
        return !(is_space(c) || (c >= 0x20 && c < 0x7F));
    });
    ByteCursor text(head.first(static_cast<size_t>(stop - head.begin())));
    bool width = false, height = false;
    for (int n = 0; n < kMaxWords && !h.end; ++n) {
        const std::string w = next_word(text);
        if (w.empty())
            break;
        apply_word(w, &image, h);
        width = width || (w.size() > 1 && w[0] == 'x' && std::isdigit(uint8_t(w[1])));
        height = height || (w.size() > 1 && w[0] == 'y' && std::isdigit(uint8_t(w[1])));
    }
    return h.end && width && height;
}

int SAT_raster_read_header(SAT_READ_JOB &job) {
    IMAGE *image = job.image;
    if (!image || !job.name)
        return -1;
    IMG_init(image);
    auto j = std::make_unique<RasterJob>();
    j->file = FILE_open(job.name, "rb");
    if (!j->file) {
        MESS_print(MESS_WARN, "SAT_read_raster: Unable to open file:%s\n", job.name);
        return -1;
    }
    j->in.emplace(j->file.get());
    set_defaults(image);
    RasterHeader &h = j->header;
    read_words(*j->in, image, h);
    if (!h.end && h.keywords < kMinKeywords) {
        MESS_print(MESS_WARN, "SAT_read_raster: Unable to determine image parameters\n");
        return -1;
    }
    if (const char *grid = RES_get("grid_domain"); grid && *grid)
        DOM_decode(grid, &image->domain);
    if (image->nx < 1 || image->nx > IMG_MAX_SIDE || image->ny < 1 || image->ny > IMG_MAX_SIDE) {
        MESS_print(MESS_WARN, "SAT_read_raster: Invalid image size %dx%d\n", image->nx, image->ny);
        return -1;
    }
    const int64_t pixels = int64_t{image->nx} * image->ny;
    const int64_t size = j->in->size();
    if (size >= 0 && pixels > std::max(kShortFilePixels, kMaxExpansion * size)) {
        MESS_print(MESS_WARN,
                   "SAT_read_raster: Image of %dx%d cannot come from a file of %lld bytes\n",
                   image->nx, image->ny, static_cast<long long>(size));
        return -1;
    }
    job.data = std::move(j);
    return 0;
}

int SAT_raster_read_pixels(SAT_READ_JOB &job) {
    RasterJob *j = raster_job(job);
    IMAGE *image = job.image;
    if (!j || !image)
        return -1;
    ByteCursor &in = *j->in;
    in.skip(1); // the blank behind the last word
    const size_t header = static_cast<size_t>(in.pos());
    const size_t total = static_cast<size_t>(image->nx) * static_cast<size_t>(image->ny);
    try {
        image->data.assign(total, 0);
    } catch (const std::bad_alloc &) {
        MESS_print(MESS_WARN, "SAT_read_raster: No memory for %dx%d pixels\n", image->nx,
                   image->ny);
        return -1;
    }
    if (header < total)
        in.read(image->data.data() + header, total - header);
    return 0;
}

void SAT_raster_navigate(SAT_READ_JOB &job) {
    RasterJob *j = raster_job(job);
    if (!j || !job.image)
        return;
    set_scan_mapping(j->header, *job.image);
    if (job.image->domain.proj == 9) {
        GVAR_calc_domain(job.image);
        job.place = SAT_PLACE_NAVIGATION;
    }
}

int SAT_read_raster(const char *file_name, IMAGE *image) {
    SAT_READ_JOB job;
    job.name = file_name;
    job.image = image;
    if (SAT_raster_read_header(job) != 0 || SAT_raster_read_pixels(job) != 0)
        return -1;
    if (RasterJob *j = raster_job(job))
        set_scan_mapping(j->header, *image);
    return 0;
}
