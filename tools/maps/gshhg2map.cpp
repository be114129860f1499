// Converts GSHHG "binned" netCDF files (shorelines and political borders, as Debian's
// gmt-gshhg packages install them) into the program's binary map file.
//
//   gshhg2map OUT.map SOURCE [SOURCE ...]
//   SOURCE = file.nc:LEVELS[:BOX[;BOX...]]    BOX = LAT1,LAT2,LON1,LON2
//
// LEVELS is a comma list of levels and ranges ("1-5", "1", "2"): shorelines carry 1 land,
// 2 lake, 3 island in a lake, 4 pond on such an island, 5 Antarctic ice front, 6 Antarctic
// grounding line; borders 1 national, 2 internal (states and provinces of the Americas),
// 3 maritime. With boxes, a piece is kept only when each of its points lies in one of
// them (longitudes -180..180).
//
// Binned layout: the globe is cut into square bins of Bin_size_in_minutes; bin b has its
// south-west corner at longitude (b % nx) * size, latitude 90 - (b / nx + 1) * size, with
// nx = N_bins_in_360_longitude_range. Each bin lists its segments (the pieces of the lines
// that fall inside it), each segment its points as unsigned 16-bit offsets from the
// corner, 65535 being the full bin size. Trap: the offsets are stored as signed shorts.
// Shoreline segments pack their point count and level in one integer (npts = v >> 9,
// level = (v >> 6) & 7); border segments have separate variables.
//
// Pieces that continue each other across a bin edge (the end of one is the start of the
// next) are joined into one line, so a coastline is one record rather than one per bin.
// Trap: the border files hold some pieces twice (same bin, level and points); the second
// copy is dropped.
//
// Output, big-endian, per record: int16 point count N, four float32 (south, north, west,
// east bounds of the record), int32 level, then N float32 pairs latitude, longitude
// (degrees, west negative); a record with N = 0 ends the file. Lines longer than the
// 16-bit count allows are cut into records sharing their end points.
#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

struct Point {
    double lat, lon; // lon in 0..360 as the bins have it
};

struct Piece {
    int level;
    std::vector<Point> pts;
};

struct Box {
    double lat1, lat2, lon1, lon2;
};

struct Source {
    std::string path;
    std::vector<int> levels;
    std::vector<Box> boxes; // none: everything
};

[[noreturn]] void die(const std::string &what) {
    std::fprintf(stderr, "gshhg2map: %s\n", what.c_str());
    std::exit(1);
}

std::vector<std::string> split(const std::string &s, char sep) {
    std::vector<std::string> out;
    size_t start = 0;
    while (true) {
        size_t p = s.find(sep, start);
        out.push_back(s.substr(start, p == std::string::npos ? std::string::npos : p - start));
        if (p == std::string::npos)
            return out;
        start = p + 1;
    }
}

Source parse_source(const std::string &arg) {
    std::vector<std::string> f = split(arg, ':');
    if (f.size() < 2 || f.size() > 3)
        die("bad source \"" + arg + "\" (file.nc:LEVELS[:LAT1,LAT2,LON1,LON2[;...]])");
    Source s;
    s.path = f[0];
    for (const std::string &item : split(f[1], ',')) {
        size_t dash = item.find('-');
        int a = std::atoi(item.c_str());
        int b = dash == std::string::npos ? a : std::atoi(item.c_str() + dash + 1);
        for (int l = a; l <= b; ++l)
            s.levels.push_back(l);
    }
    if (f.size() == 3) {
        for (const std::string &box : split(f[2], ';')) {
            std::vector<std::string> b = split(box, ',');
            if (b.size() != 4)
                die("bad box in \"" + arg + "\"");
            s.boxes.push_back({std::atof(b[0].c_str()), std::atof(b[1].c_str()),
                               std::atof(b[2].c_str()), std::atof(b[3].c_str())});
        }
    }
    return s;
}

class NcFile {
  public:
    explicit NcFile(const std::string &path) : path_(path) {
        if (nc_open(path.c_str(), NC_NOWRITE, &id_) != NC_NOERR)
            die("cannot open " + path);
    }
    ~NcFile() { nc_close(id_); }
    NcFile(const NcFile &) = delete;
    NcFile &operator=(const NcFile &) = delete;

    bool has(const char *name) const {
        int v;
        return nc_inq_varid(id_, name, &v) == NC_NOERR;
    }
    // A whole variable as integers (shorts widened with their sign).
    std::vector<int> ints(const char *name) const {
        int v, nd, dims[NC_MAX_VAR_DIMS];
        if (nc_inq_varid(id_, name, &v) != NC_NOERR || nc_inq_varndims(id_, v, &nd) != NC_NOERR ||
            nc_inq_vardimid(id_, v, dims) != NC_NOERR)
            die(path_ + ": no variable " + name);
        size_t n = 1;
        for (int d = 0; d < nd; ++d) {
            size_t len;
            nc_inq_dimlen(id_, dims[d], &len);
            n *= len;
        }
        std::vector<int> out(n);
        if (n && nc_get_var_int(id_, v, out.data()) != NC_NOERR)
            die(path_ + ": cannot read " + name);
        return out;
    }
    int scalar(const char *name) const {
        std::vector<int> v = ints(name);
        if (v.empty())
            die(path_ + ": empty " + name);
        return v[0];
    }

  private:
    std::string path_;
    int id_ = -1;
};

bool wanted(const Source &s, const Piece &p) {
    if (std::find(s.levels.begin(), s.levels.end(), p.level) == s.levels.end())
        return false;
    if (s.boxes.empty())
        return true;
    for (const Point &q : p.pts) {
        const double lon = q.lon > 180 ? q.lon - 360 : q.lon;
        bool inside = false;
        for (const Box &b : s.boxes)
            inside =
                inside || (q.lat >= b.lat1 && q.lat <= b.lat2 && lon >= b.lon1 && lon <= b.lon2);
        if (!inside)
            return false;
    }
    return true;
}

std::vector<Piece> read_pieces(const Source &src) {
    NcFile nc(src.path);
    const double size = nc.scalar("Bin_size_in_minutes") / 60.0;
    const int nx = nc.scalar("N_bins_in_360_longitude_range");
    const std::vector<int> first_seg = nc.ints("Id_of_first_segment_in_a_bin");
    const std::vector<int> nseg = nc.ints("N_segments_in_a_bin");
    const std::vector<int> first_pt = nc.ints("Id_of_first_point_in_a_segment");
    const std::vector<int> rel_lon = nc.ints("Relative_longitude_from_SW_corner_of_bin");
    const std::vector<int> rel_lat = nc.ints("Relative_latitude_from_SW_corner_of_bin");
    const bool shore = nc.has("Embedded_npts_levels_exit_entry_for_a_segment");
    std::vector<int> packed, npts, level;
    if (shore) {
        packed = nc.ints("Embedded_npts_levels_exit_entry_for_a_segment");
    } else {
        npts = nc.ints("N_points_for_a_segment");
        level = nc.ints("Hierarchial_level_of_a_segment");
    }
    if (first_seg.size() != nseg.size() || rel_lon.size() != rel_lat.size())
        die(src.path + ": inconsistent variable sizes");

    std::vector<Piece> out;
    std::set<std::vector<int>> seen; // level and raw offsets of each piece kept
    for (size_t b = 0; b < first_seg.size(); ++b) {
        const double west = static_cast<double>(b % static_cast<size_t>(nx)) * size;
        const double south = 90.0 - static_cast<double>(b / static_cast<size_t>(nx) + 1) * size;
        for (int k = 0; k < nseg[b]; ++k) {
            const size_t s = static_cast<size_t>(first_seg[b] + k);
            if (s >= first_pt.size())
                die(src.path + ": segment index out of range");
            Piece p;
            int n;
            if (shore) {
                n = packed[s] >> 9;
                p.level = (packed[s] >> 6) & 7;
            } else {
                n = static_cast<uint16_t>(npts[s]);
                p.level = level[s];
            }
            const size_t start = static_cast<size_t>(first_pt[s]);
            if (n < 0 || start + static_cast<size_t>(n) > rel_lon.size())
                die(src.path + ": point index out of range");
            std::vector<int> raw{static_cast<int>(b), p.level};
            for (int i = 0; i < n; ++i) {
                const uint16_t u = static_cast<uint16_t>(rel_lon[start + static_cast<size_t>(i)]);
                const uint16_t v = static_cast<uint16_t>(rel_lat[start + static_cast<size_t>(i)]);
                p.pts.push_back({south + v * size / 65535.0, west + u * size / 65535.0});
                raw.push_back(u);
                raw.push_back(v);
            }
            if (p.pts.size() >= 2 && wanted(src, p) && seen.insert(std::move(raw)).second)
                out.push_back(std::move(p));
        }
    }
    return out;
}

// Key of a position to micro-degrees; longitude 360 is longitude 0.
int64_t key(const Point &p) {
    int64_t la = std::llround(p.lat * 1e6);
    int64_t lo = std::llround(p.lon * 1e6) % 360000000;
    return la * 1000000000LL + lo;
}

// Joins pieces of one level where one ends at the point the next begins.
std::vector<Piece> join(std::vector<Piece> pieces) {
    std::unordered_multimap<int64_t, size_t> starts;
    std::vector<bool> has_pred(pieces.size(), false);
    for (size_t i = 0; i < pieces.size(); ++i)
        starts.emplace(key(pieces[i].pts.front()), i);
    std::vector<long> next(pieces.size(), -1);
    for (size_t i = 0; i < pieces.size(); ++i) {
        auto range = starts.equal_range(key(pieces[i].pts.back()));
        for (auto it = range.first; it != range.second; ++it) {
            size_t j = it->second;
            if (j != i && !has_pred[j] && pieces[j].level == pieces[i].level) {
                next[i] = static_cast<long>(j);
                has_pred[j] = true;
                break;
            }
        }
    }
    std::vector<Piece> out;
    std::vector<bool> used(pieces.size(), false);
    auto follow = [&](size_t i) {
        Piece line{pieces[i].level, {}};
        for (long j = static_cast<long>(i); j >= 0 && !used[static_cast<size_t>(j)];
             j = next[static_cast<size_t>(j)]) {
            used[static_cast<size_t>(j)] = true;
            const auto &pts = pieces[static_cast<size_t>(j)].pts;
            line.pts.insert(line.pts.end(), pts.begin() + (line.pts.empty() ? 0 : 1), pts.end());
        }
        out.push_back(std::move(line));
    };
    for (size_t i = 0; i < pieces.size(); ++i) // lines with a beginning
        if (!has_pred[i] && !used[i])
            follow(i);
    for (size_t i = 0; i < pieces.size(); ++i) // closed rings
        if (!used[i])
            follow(i);
    return out;
}

void put16(std::FILE *f, int v) {
    const unsigned char b[2] = {static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
    std::fwrite(b, 1, 2, f);
}

void put32(std::FILE *f, uint32_t v) {
    const unsigned char b[4] = {static_cast<unsigned char>(v >> 24),
                                static_cast<unsigned char>(v >> 16),
                                static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
    std::fwrite(b, 1, 4, f);
}

void putf(std::FILE *f, double d) {
    float x = static_cast<float>(d);
    uint32_t v;
    std::memcpy(&v, &x, 4);
    put32(f, v);
}

void write_record(std::FILE *f, int level, const Point *p, size_t n) {
    double s = 90, north = -90, w = 180, e = -180;
    for (size_t i = 0; i < n; ++i) {
        const double lon = p[i].lon > 180 ? p[i].lon - 360 : p[i].lon;
        s = std::min(s, p[i].lat);
        north = std::max(north, p[i].lat);
        w = std::min(w, lon);
        e = std::max(e, lon);
    }
    if (n == 0)
        s = north = w = e = 0;
    put16(f, static_cast<int>(n));
    putf(f, s);
    putf(f, north);
    putf(f, w);
    putf(f, e);
    put32(f, static_cast<uint32_t>(level));
    for (size_t i = 0; i < n; ++i) {
        putf(f, p[i].lat);
        putf(f, p[i].lon > 180 ? p[i].lon - 360 : p[i].lon);
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: gshhg2map OUT.map file.nc:LEVELS[:LAT1,LAT2,LON1,LON2] ...\n");
        return 2;
    }
    std::vector<Piece> lines;
    size_t pieces = 0;
    for (int i = 2; i < argc; ++i) {
        std::vector<Piece> p = read_pieces(parse_source(argv[i]));
        pieces += p.size();
        std::vector<Piece> j = join(std::move(p));
        lines.insert(lines.end(), std::make_move_iterator(j.begin()),
                     std::make_move_iterator(j.end()));
    }
    std::FILE *f = std::fopen(argv[1], "wb");
    if (!f)
        die(std::string("cannot write ") + argv[1]);
    constexpr size_t kMax = 32767;
    size_t records = 0, points = 0;
    for (const Piece &l : lines) {
        for (size_t at = 0; at + 1 < l.pts.size(); at += kMax - 1) {
            const size_t n = std::min(kMax, l.pts.size() - at);
            write_record(f, l.level, l.pts.data() + at, n);
            ++records;
            points += n;
        }
    }
    const Point none{0, 0};
    write_record(f, 0, &none, 0); // the end record: a whole header with N = 0
    if (std::fclose(f) != 0)
        die(std::string("cannot write ") + argv[1]);
    std::printf("%s: %zu pieces joined into %zu records, %zu points\n", argv[1], pieces, records,
                points);
    return 0;
}
