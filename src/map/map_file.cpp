// Map file reader and drawer. A map file is a series of line records, each a header and
// its points, ended by a record of no points or by the end of the file.
//
// Text form, per record: a header line "N b1 b2 b3 b4 k" (point count, four bounding
// values and an integer, none of them used but the count), then N lines "lat lon".
// Binary form, big-endian, per record: int16 N, four float32, int32, then N float32 pairs
// latitude, longitude.
//
// Traps: the form is decided once, by whether the first header reads as six text fields;
// the probe may have eaten bytes of a binary file, so binary reading starts again at the
// beginning. Counts are 16-bit and signed: a negative one is damage, not a long record.
#include "map/map_file.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "base/mess.h"
#include "gks/gks.h"
#include "map/maptran.h"

namespace {

constexpr size_t kMaxWord = 64;    // a number in a text map file
constexpr size_t kMaxSpace = 4096; // blanks the text probe reads before it gives up
constexpr int kBinaryHeader = 22;  // count, four bounds, integer

const char *shown(const char *name) {
    return name && *name ? name : "(map stream)";
}

// Blank-separated words of a text map file, with the number of the line they are on.
class WordReader {
  public:
    explicit WordReader(ByteCursor &in) : in_(in) {}
    // The next word; false at the end of the data, or for a word too long to be a number
    // or a run of blanks longer than max_space.
    bool next(std::string &w, size_t max_space = SIZE_MAX) {
        w.clear();
        int c;
        size_t spaces = 0;
        while ((c = in_.peek_byte()) >= 0 && std::isspace(c)) {
            if (c == '\n')
                ++line_;
            in_.get_byte();
            if (++spaces > max_space)
                return false;
        }
        while ((c = in_.peek_byte()) >= 0 && !std::isspace(c)) {
            if (w.size() == kMaxWord)
                return false;
            w.push_back(static_cast<char>(in_.get_byte()));
        }
        return !w.empty();
    }
    bool at_end() {
        int c;
        while ((c = in_.peek_byte()) >= 0 && std::isspace(c)) {
            if (c == '\n')
                ++line_;
            in_.get_byte();
        }
        return c < 0;
    }
    int line() const { return line_; }

  private:
    ByteCursor &in_;
    int line_ = 1;
};

bool whole_float(const std::string &w, float *v) {
    char *end = nullptr;
    *v = std::strtof(w.c_str(), &end);
    return !w.empty() && end == w.c_str() + w.size();
}

bool whole_long(const std::string &w, long *v) {
    char *end = nullptr;
    *v = std::strtol(w.c_str(), &end, 10);
    return !w.empty() && end == w.c_str() + w.size();
}

// Reads a text header; the number of its six fields that read (0 at the very end).
int text_header(WordReader &r, long *count, size_t max_space = SIZE_MAX) {
    std::string w;
    if (!r.next(w, max_space) || !whole_long(w, count))
        return 0;
    for (int i = 1; i < 5; ++i) {
        float v;
        if (!r.next(w, max_space) || !whole_float(w, &v))
            return i;
    }
    long k;
    if (!r.next(w, max_space) || !whole_long(w, &k))
        return 5;
    return 6;
}

int read_text(WordReader &r, long count, const char *name, const MapRecordFunc &record) {
    std::vector<float> pts;
    std::string w;
    for (int rec = 1;; ++rec) {
        if (count == 0)
            return 0;
        if (count < 0 || count > INT16_MAX) {
            MESS_print(MESS_WARN, "MAP_map: %s, line %d: bad point count %ld\n", shown(name),
                       r.line(), count);
            return -1;
        }
        pts.resize(2 * static_cast<size_t>(count));
        for (size_t i = 0; i < pts.size(); ++i) {
            if (!r.next(w) || !whole_float(w, &pts[i])) {
                MESS_print(MESS_WARN, "MAP_map: %s, line %d: bad point in record %d\n", shown(name),
                           r.line(), rec);
                return -1;
            }
        }
        record(pts);
        if (r.at_end())
            return 0;
        const int line = r.line();
        if (text_header(r, &count) < 6) {
            MESS_print(MESS_WARN, "MAP_map: %s, line %d: bad record header\n", shown(name), line);
            return -1;
        }
    }
}

float be_float(const uint8_t *p) {
    const uint32_t v =
        (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
    return std::bit_cast<float>(v);
}

int read_binary(ByteCursor &in, const char *name, const MapRecordFunc &record) {
    std::vector<uint8_t> bytes;
    std::vector<float> pts;
    for (int rec = 1;; ++rec) {
        const int64_t at = in.pos();
        if (in.peek_byte() < 0)
            return 0;
        const std::optional<int16_t> n = in.i16(std::endian::big);
        if (n && *n == 0)
            return 0;
        if (n && *n < 0) {
            MESS_print(MESS_WARN, "MAP_map: %s, byte %lld: bad point count %d in record %d\n",
                       shown(name), static_cast<long long>(at), *n, rec);
            return -1;
        }
        uint8_t rest[kBinaryHeader - 2];
        if (!n || in.read(rest, sizeof rest) != sizeof rest) {
            MESS_print(MESS_WARN, "MAP_map: %s, byte %lld: record %d has no whole header\n",
                       shown(name), static_cast<long long>(at), rec);
            return -1;
        }
        bytes.resize(8 * static_cast<size_t>(*n));
        if (in.read(bytes.data(), bytes.size()) != bytes.size()) {
            MESS_print(MESS_WARN, "MAP_map: %s, byte %lld: file ends inside record %d\n",
                       shown(name), static_cast<long long>(at), rec);
            return -1;
        }
        pts.resize(2 * static_cast<size_t>(*n));
        for (size_t i = 0; i < pts.size(); ++i)
            pts[i] = be_float(bytes.data() + 4 * i);
        record(pts);
    }
}

// The run of points being collected, drawn as a polyline or a filled area.
class Runs {
  public:
    explicit Runs(bool fill) : fill_(fill) {}
    void add(float x, float y) {
        pts_.push_back(x);
        pts_.push_back(y);
    }
    bool empty() const { return pts_.empty(); }
    void flush() {
        const int n = static_cast<int>(pts_.size() / 2);
        if (fill_ ? n >= 3 : n >= 2) {
            if (fill_)
                gfill_area(n, pts_.data());
            else
                gpolyline(n, pts_.data());
        }
        pts_.clear();
    }

  private:
    bool fill_;
    std::vector<float> pts_;
};

constexpr float kJump = 20.0f; // plot units: a longer step between neighbours is a seam

// Width of the map between the two sides of its seam at height y (0: the projection has
// no seam to wrap across, the line is only split).
float seam_period(int proj, float y) {
    switch (proj) {
    case 2:
        return 360.0f;
    case 3:
        return 400.31556f;
    case 4:
        return 1000.0f;
    case 7: {
        const float r = y / 63.713f;
        return 254.852f * std::sqrt(std::max(0.0f, 1.0f - r * r));
    }
    default:
        return 0.0f;
    }
}

void draw_record(const MapProjection &proj, int code, std::span<const float> ll, Runs &runs) {
    float px = 0, py = 0;
    for (size_t i = 0; i + 1 < ll.size(); i += 2) {
        float x, y;
        if (!proj.tran(&x, &y, ll[i], ll[i + 1])) {
            runs.flush();
            continue;
        }
        if (!runs.empty()) {
            const float dx = x - px;
            if (dx < -kJump || dx > kJump) {
                const float p = seam_period(code, y);
                if (p > 0) {
                    // Close the run beyond one edge, and start the next beyond the other
                    // with the step that crossed the seam.
                    const float s = dx < 0 ? 1.0f : -1.0f;
                    runs.add(x + s * p, y);
                    runs.flush();
                    runs.add(px - s * seam_period(code, py), py);
                } else {
                    runs.flush();
                }
            }
        }
        runs.add(x, y);
        px = x;
        py = y;
    }
    runs.flush();
}

} // namespace

int MAP_read_file(ByteCursor &in, const char *name, const MapRecordFunc &record) {
    const int64_t start = in.pos();
    WordReader words(in);
    long count = 0;
    if (text_header(words, &count, kMaxSpace) == 6)
        return read_text(words, count, name, record);
    if (!in.seek(start)) {
        MESS_print(MESS_WARN, "MAP_map: %s: cannot go back to the start of the file\n",
                   shown(name));
        return -1;
    }
    return read_binary(in, name, record);
}

int MAP_draw_file(ByteCursor &in, const char *name, bool fill) {
    const MapProjection &proj = MAP_current();
    const int code = proj.domain().proj;
    if (code < 1 || code > 9)
        return 1;
    Runs runs(fill);
    return MAP_read_file(in, name,
                         [&](std::span<const float> ll) { draw_record(proj, code, ll, runs); });
}
