// Navigation grid. Two passes: the nodes of the top cells with the middles of their
// edges and their centres (a lattice of half the step) are navigated row by row; then
// each band of top cells is refined and its leaves collected. Points that the
// refinement needs below the top cells are navigated on demand and kept for the
// neighbours that share them. Every band is computed on its own, so the table is the
// same whichever thread computed which band.
#include "sat/sat_navgrid.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "sat/sat_pool.h"

namespace remap {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// A cell of at most this many pixels a side where none of its nine points places
// anything shows nothing; larger ones are looked into, so that a piece of the earth
// between their points is not lost.
constexpr int kBlankCell = 32;
// The checks at the edge middles and the centre find the largest interpolation error
// when the second derivatives are constant over the cell; they are held to a part of
// the bound so that their change within a cell stays inside it.
constexpr double kCheckShare = 0.7;

// Node columns (or rows) of the top cells: 0, step, 2 step ... and the last.
std::vector<int> nodes(int n, int step) {
    std::vector<int> v;
    for (int64_t k = 0; k < n - 1; k += step)
        v.push_back(int(k));
    v.push_back(n - 1);
    if (v.size() == 1)
        v.push_back(n - 1); // one pixel across: a cell without width
    return v;
}

int mid(int a, int b) {
    return a + (b - a) / 2;
}

Pos locate(const Locator &loc, int m, int r) {
    Pos p;
    loc.locate(m, r, &p.row, &p.col);
    if (!(std::isfinite(p.row) && std::isfinite(p.col)))
        p.row = p.col = kNaN;
    return p;
}

// Bilinear interpolation of the corners at fractions u (columns) and v (rows).
Pos lerp(const Pos p[4], double u, double v) {
    const double top_r = p[0].row + u * (p[1].row - p[0].row);
    const double top_c = p[0].col + u * (p[1].col - p[0].col);
    const double bot_r = p[2].row + u * (p[3].row - p[2].row);
    const double bot_c = p[2].col + u * (p[3].col - p[2].col);
    return Pos{top_r + v * (bot_r - top_r), top_c + v * (bot_c - top_c)};
}

double fraction(int x, int a, int b) {
    return b > a ? double(x - a) / double(b - a) : 0.0;
}

struct Cell {
    int c0, r0, c1, r1;
    bool last_col, last_row; // owns its right column / bottom row
    Pos p[4];
};

// Refines the top cells of one band.
class BandBuilder {
  public:
    BandBuilder(const Locator &loc, double limit, std::vector<Leaf> &out)
        : loc_(loc), limit_(limit), out_(out) {}

    // checks: top, bottom, left, right middles and the centre, navigated already.
    void refine(const Cell &cell, const Pos checks[5]) {
        const int w = cell.c1 - cell.c0, h = cell.r1 - cell.r0;
        const bool sx = w >= 2, sy = h >= 2;
        if (!sx && !sy) {
            emit(cell, Leaf::corners);
            return;
        }
        const int cm = mid(cell.c0, cell.c1), rm = mid(cell.r0, cell.r1);
        // Points that exist for this shape: top and bottom middles when it can be cut
        // across, left and right middles when it can be cut down, the centre when both.
        const bool used[5] = {sx, sx, sy, sy, sx && sy};
        const int at[5][2] = {{cm, cell.r0}, {cm, cell.r1}, {cell.c0, rm}, {cell.c1, rm}, {cm, rm}};
        int valid = 0, count = 0;
        for (const Pos &p : cell.p)
            valid += p.valid();
        count = 4;
        double err = 0;
        for (int k = 0; k < 5; ++k) {
            if (!used[k])
                continue;
            ++count;
            if (!checks[k].valid())
                continue;
            ++valid;
            if (valid == count) {
                const Pos want = lerp(cell.p, fraction(at[k][0], cell.c0, cell.c1),
                                      fraction(at[k][1], cell.r0, cell.r1));
                err = std::max(err, std::hypot(want.row - checks[k].row, want.col - checks[k].col));
            }
        }
        if (valid == count && err <= limit_) {
            emit(cell, Leaf::interpolated);
            return;
        }
        if (valid == 0 && std::max(w, h) <= kBlankCell) {
            emit(cell, Leaf::blank);
            return;
        }
        split(cell, checks, cm, rm, sx, sy);
    }

    long navigations() const { return navigations_; }

  private:
    void split(const Cell &cell, const Pos checks[5], int cm, int rm, bool sx, bool sy) {
        const Pos &top = checks[0], &bot = checks[1], &left = checks[2], &right = checks[3],
                  &centre = checks[4];
        const Pos *p = cell.p;
        if (sx && sy) {
            sub(Cell{cell.c0, cell.r0, cm, rm, false, false, {p[0], top, left, centre}});
            sub(Cell{cm, cell.r0, cell.c1, rm, cell.last_col, false, {top, p[1], centre, right}});
            sub(Cell{cell.c0, rm, cm, cell.r1, false, cell.last_row, {left, centre, p[2], bot}});
            sub(Cell{cm,
                     rm,
                     cell.c1,
                     cell.r1,
                     cell.last_col,
                     cell.last_row,
                     {centre, right, bot, p[3]}});
        } else if (sx) {
            sub(Cell{cell.c0, cell.r0, cm, cell.r1, false, cell.last_row, {p[0], top, p[2], bot}});
            sub(Cell{cm,
                     cell.r0,
                     cell.c1,
                     cell.r1,
                     cell.last_col,
                     cell.last_row,
                     {top, p[1], bot, p[3]}});
        } else {
            sub(Cell{
                cell.c0, cell.r0, cell.c1, rm, cell.last_col, false, {p[0], p[1], left, right}});
            sub(Cell{cell.c0,
                     rm,
                     cell.c1,
                     cell.r1,
                     cell.last_col,
                     cell.last_row,
                     {left, right, p[2], p[3]}});
        }
    }

    // A cell below the top ones: its points come from the memo or the navigation.
    void sub(const Cell &cell) {
        const int cm = mid(cell.c0, cell.c1), rm = mid(cell.r0, cell.r1);
        const bool sx = cell.c1 - cell.c0 >= 2, sy = cell.r1 - cell.r0 >= 2;
        Pos checks[5];
        if (sx) {
            checks[0] = point(cm, cell.r0);
            checks[1] = point(cm, cell.r1);
        }
        if (sy) {
            checks[2] = point(cell.c0, rm);
            checks[3] = point(cell.c1, rm);
        }
        if (sx && sy)
            checks[4] = point(cm, rm);
        refine(cell, checks);
    }

    Pos point(int m, int r) {
        const uint64_t key = uint64_t(uint32_t(m)) << 32 | uint32_t(r);
        auto it = memo_.find(key);
        if (it != memo_.end())
            return it->second;
        ++navigations_;
        const Pos p = locate(loc_, m, r);
        memo_.emplace(key, p);
        return p;
    }

    void emit(const Cell &cell, Leaf::Kind kind) {
        Leaf l;
        l.c0 = cell.c0;
        l.r0 = cell.r0;
        l.c1 = cell.c1;
        l.r1 = cell.r1;
        l.c_end = cell.last_col ? cell.c1 + 1 : std::max(cell.c1, cell.c0 + 1);
        l.r_end = cell.last_row ? cell.r1 + 1 : std::max(cell.r1, cell.r0 + 1);
        l.kind = kind;
        std::copy(std::begin(cell.p), std::end(cell.p), l.p);
        out_.push_back(l);
    }

    const Locator &loc_;
    double limit_;
    std::vector<Leaf> &out_;
    std::unordered_map<uint64_t, Pos> memo_;
    long navigations_ = 0;
};

// The rows of an interpolated leaf as the kernel steps along them: the left and right
// ends of row r are linear in r, so they are set up once per leaf.
class LeafRows {
  public:
    explicit LeafRows(const Leaf &l) : r0_(l.r0) {
        const double per_row = l.r1 > l.r0 ? 1.0 / double(l.r1 - l.r0) : 0.0;
        inv_w_ = l.c1 > l.c0 ? 1.0 / double(l.c1 - l.c0) : 1.0;
        left_ = l.p[0];
        right_ = l.p[1];
        dleft_ = Pos{(l.p[2].row - l.p[0].row) * per_row, (l.p[2].col - l.p[0].col) * per_row};
        dright_ = Pos{(l.p[3].row - l.p[1].row) * per_row, (l.p[3].col - l.p[1].col) * per_row};
    }

    // The start of row r's span and the step per pixel, in fixed point. False when the
    // leaf shows nothing on that row.
    bool span(int r, int64_t *row, int64_t *col, int64_t *drow, int64_t *dcol) const {
        const double v = double(r - r0_);
        const double lr = left_.row + v * dleft_.row, lc = left_.col + v * dleft_.col;
        const double rr = right_.row + v * dright_.row, rc = right_.col + v * dright_.col;
        return to_fixed(lr, row) && to_fixed(lc, col) && to_fixed((rr - lr) * inv_w_, drow) &&
               to_fixed((rc - lc) * inv_w_, dcol);
    }

  private:
    int r0_;
    double inv_w_;
    Pos left_, right_, dleft_, dright_;
};

// The corner a pixel of a one-pixel leaf is.
const Pos &corner_of(const Leaf &l, int m, int r) {
    return l.p[(m == l.c0 ? 0 : 1) + (r == l.r0 ? 0 : 2)];
}

} // namespace

size_t Table::bytes() const {
    size_t n = sizeof(Table) + bands.capacity() * sizeof(std::vector<Leaf>);
    for (const auto &b : bands)
        n += b.capacity() * sizeof(Leaf);
    return n;
}

Table build_table(const Locator &loc, int nx, int ny, int step, double bound, int threads) {
    Table t;
    t.nx = nx;
    t.ny = ny;
    if (nx <= 0 || ny <= 0)
        return t;
    step = std::max(step, 1);
    const std::vector<int> cols = nodes(nx, step), rows = nodes(ny, step);
    const size_t nc = cols.size() - 1, nr = rows.size() - 1; // top cells across and down

    // The lattice of half the step: nodes at even indices, middles at odd ones.
    std::vector<int> hx(2 * nc + 1), hy(2 * nr + 1);
    for (size_t j = 0; j <= nc; ++j) {
        hx[2 * j] = cols[j];
        if (j < nc)
            hx[2 * j + 1] = mid(cols[j], cols[j + 1]);
    }
    for (size_t k = 0; k <= nr; ++k) {
        hy[2 * k] = rows[k];
        if (k < nr)
            hy[2 * k + 1] = mid(rows[k], rows[k + 1]);
    }
    std::vector<Pos> lattice(hx.size() * hy.size());
    SAT_parallel_for(threads, int(hy.size()), [&](int k) {
        for (size_t j = 0; j < hx.size(); ++j)
            lattice[size_t(k) * hx.size() + j] = locate(loc, hx[j], hy[size_t(k)]);
    });
    auto at = [&](size_t k, size_t j) -> const Pos & { return lattice[k * hx.size() + j]; };

    t.bands.resize(nr);
    std::vector<long> counts(nr, 0);
    const double limit = bound * kCheckShare;
    SAT_parallel_for(threads, int(nr), [&](int band) {
        const size_t k = size_t(band);
        std::vector<Leaf> &leaves = t.bands[k];
        leaves.reserve(nc);
        BandBuilder b(loc, limit, leaves);
        for (size_t j = 0; j < nc; ++j) {
            Cell cell{cols[j],
                      rows[k],
                      cols[j + 1],
                      rows[k + 1],
                      j + 1 == nc,
                      k + 1 == nr,
                      {at(2 * k, 2 * j), at(2 * k, 2 * j + 2), at(2 * k + 2, 2 * j),
                       at(2 * k + 2, 2 * j + 2)}};
            const Pos checks[5] = {at(2 * k, 2 * j + 1), at(2 * k + 2, 2 * j + 1),
                                   at(2 * k + 1, 2 * j), at(2 * k + 1, 2 * j + 2),
                                   at(2 * k + 1, 2 * j + 1)};
            b.refine(cell, checks);
        }
        counts[k] = b.navigations();
    });
    t.navigations = long(lattice.size());
    for (long c : counts)
        t.navigations += c;
    return t;
}

void sample_band(const Table &t, size_t b, const Sampler &s, uint8_t *out) {
    if (b >= t.bands.size())
        return;
    const size_t stride = size_t(t.nx);
    for (const Leaf &l : t.bands[b]) {
        uint8_t *o = out + size_t(l.r0) * stride;
        switch (l.kind) {
        case Leaf::blank:
            for (int r = l.r0; r < l.r_end; ++r, o += stride)
                std::fill(o + l.c0, o + l.c_end, uint8_t{0});
            break;
        case Leaf::corners:
            for (int r = l.r0; r < l.r_end; ++r, o += stride) {
                for (int m = l.c0; m < l.c_end; ++m) {
                    const Pos &p = corner_of(l, m, r);
                    int64_t fr = 0, fc = 0;
                    o[m] = p.valid() && to_fixed(p.row, &fr) && to_fixed(p.col, &fc) ? s.at(fr, fc)
                                                                                     : uint8_t{0};
                }
            }
            break;
        case Leaf::interpolated: {
            const LeafRows rows(l);
            for (int r = l.r0; r < l.r_end; ++r, o += stride) {
                int64_t row = 0, col = 0, drow = 0, dcol = 0;
                if (rows.span(r, &row, &col, &drow, &dcol))
                    s.span(row, col, drow, dcol, o + l.c0, l.c_end - l.c0);
                else
                    std::fill(o + l.c0, o + l.c_end, uint8_t{0});
            }
            break;
        }
        }
    }
}

TableCheck check_table(const Table &t, const Locator &loc) {
    TableCheck c;
    for (const auto &band : t.bands) {
        for (const Leaf &l : band) {
            const LeafRows rows(l);
            for (int r = l.r0; r < l.r_end; ++r) {
                int64_t row = 0, col = 0, drow = 0, dcol = 0;
                const bool span =
                    l.kind == Leaf::interpolated && rows.span(r, &row, &col, &drow, &dcol);
                for (int m = l.c0; m < l.c_end; ++m) {
                    Pos got;
                    got.row = got.col = kNaN;
                    if (l.kind == Leaf::corners) {
                        got = corner_of(l, m, r);
                    } else if (span) {
                        got.row = double(row + (m - l.c0) * drow) / double(kOne);
                        got.col = double(col + (m - l.c0) * dcol) / double(kOne);
                    }
                    const Pos want = locate(loc, m, r);
                    if (got.valid() != want.valid()) {
                        ++c.disagree;
                    } else if (got.valid()) {
                        ++c.shown;
                        c.max_error = std::max(c.max_error,
                                               std::hypot(got.row - want.row, got.col - want.col));
                    }
                }
            }
        }
    }
    return c;
}

} // namespace remap
