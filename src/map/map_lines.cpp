// Latitude-longitude lines: parallels built of 2.5-degree pieces, meridians of pieces one
// latitude spacing long, labels where a line leaves the plot area at its left (parallels)
// or bottom (meridians) edge, labels repeated along the lines, and crosses at the
// intersections.
//
// Traps: on latitude-longitude, Mercator and Lambert conformal maps a piece that jumps
// across the map's seam is drawn twice, once shifted to each side; meridians of polar
// stereographic, Lambert conformal and satellite-view maps stop short of the poles, where
// they would all meet (or fall off the disc).
#include "map/map_lines.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/mess.h"
#include "base/missing.h"
#include "gks/colors.h"
#include "gks/gks.h"
#include "gks/gph.h"
#include "map/maptran.h"

namespace {

constexpr float kMinSpacing = 0.1f; // degrees: closer lines would take too long to draw
constexpr int kMaxGridLines = 1000; // per direction on a graph domain
constexpr float kPieceLon = 2.5f;   // degrees of longitude per piece of a parallel
constexpr float kSeamJump = 50.0f;  // plot units: a longer piece crosses the seam
constexpr float kCrossArm = 0.1f;   // degrees, half the size of a cross
constexpr float kCrossJump = 5.0f;  // plot units: a longer arm crosses the seam

struct Label {
    float x, y;
    std::string text;
};

// Consecutive pieces of one line collected into polylines.
class Path {
  public:
    void piece(float x1, float y1, float x2, float y2) {
        if (pts_.empty() || pts_[pts_.size() - 2] != x1 || pts_.back() != y1) {
            flush();
            add(x1, y1);
        }
        add(x2, y2);
    }
    void flush() {
        if (pts_.size() >= 4)
            gpolyline(static_cast<int>(pts_.size() / 2), pts_.data());
        pts_.clear();
    }

  private:
    void add(float x, float y) {
        pts_.push_back(x);
        pts_.push_back(y);
    }
    std::vector<float> pts_;
};

void draw_labels(const std::vector<Label> &labels, int h, int v) {
    if (labels.empty())
        return;
    GPH_text_align(h, v);
    for (const Label &l : labels) {
        const float pos[2] = {l.x, l.y};
        gtext(pos, l.text.c_str());
    }
}

std::string lat_label(float lat) {
    char buf[32];
    if (lat == 0)
        return "EQ";
    std::snprintf(buf, sizeof buf, lat > 0 ? "%1.0fN" : "%1.0fS", std::fabs(lat));
    return buf;
}

std::string lon_label(float lon) {
    char buf[32];
    if (lon == 0)
        return "PM";
    if (lon == 180)
        return "DL";
    std::snprintf(buf, sizeof buf, lon > 0 ? "%1.0fE" : "%1.0fW", std::fabs(lon));
    return buf;
}

// First position of labels repeated every `extra` degrees along a line: midway between
// two lines `spacing` apart, from the first multiple of extra at or above `from`.
float repeat_start(int extra, int from, float spacing) {
    const int64_t m = extra * static_cast<int64_t>(std::ceil(static_cast<double>(from) / extra));
    return spacing * std::trunc(static_cast<float>(m - extra / 2) / spacing) - spacing / 2;
}

class LineDrawer {
  public:
    LineDrawer(float latint, float lonint, int dot, int extra)
        : proj_(MAP_current()), code_(proj_.domain().proj), latint_(latint), lonint_(lonint),
          dot_(dot), extra_(extra) {
        float lim[4];
        proj_.limits(lim);
        xmin_ = lim[0];
        xmax_ = lim[1];
        ymin_ = lim[2];
        ymax_ = lim[3];
        inset_ = 0.01f * (xmax_ - xmin_);
        period_ = code_ == 2 ? 360.0f : code_ == 3 ? 400.31556f : code_ == 4 ? 1000.0f : 0.0f;
    }

    void parallels() {
        for (int i = 0; static_cast<float>(i) * latint_ < 90.0f; ++i)
            parallel(static_cast<float>(i) * latint_);
        for (int i = 1; - static_cast<float>(i) * latint_ > -90.0f; ++i)
            parallel(-static_cast<float>(i) * latint_);
    }

    void meridians() {
        for (int i = 0; static_cast<float>(i) * lonint_ <= 180.0f; ++i)
            meridian(static_cast<float>(i) * lonint_);
        for (int i = 1; - static_cast<float>(i) * lonint_ > -180.0f; ++i)
            meridian(-static_cast<float>(i) * lonint_);
    }

    void crosses() {
        if (dot_ <= 0)
            return;
        const int64_t lat0 = dot_ * static_cast<int64_t>(std::ceil(-79.0 / dot_));
        const int64_t lon0 = dot_ * static_cast<int64_t>(std::ceil(-179.0 / dot_));
        for (int64_t i = lat0; i < 80; i += dot_) {
            for (int64_t j = lon0; j <= 180; j += dot_) {
                const float lat = static_cast<float>(i), lon = static_cast<float>(j);
                arm(lat, lon - kCrossArm, lat, lon + kCrossArm);
                arm(lat - kCrossArm, lon, lat + kCrossArm, lon);
            }
        }
    }

  private:
    bool tran(float lat, float lon, float *x, float *y) const {
        return proj_.tran(x, y, lat, lon) == 1;
    }

    void segment(float x1, float y1, float x2, float y2) {
        const float pts[4] = {x1, y1, x2, y2};
        gpolyline(2, pts);
    }

    // A label where the piece crosses the left edge.
    void left_label(float x1, float y1, float x2, float y2, const std::string &text,
                    std::vector<Label> &out) const {
        if (x2 == x1)
            return;
        const float t = (xmin_ - x1) / (x2 - x1);
        if (!(t >= 0 && t < 1))
            return;
        const float y = y1 + t * (y2 - y1);
        if (y > ymin_ && y < ymax_)
            out.push_back({xmin_ + inset_, y, text});
    }

    // A label where the piece crosses the bottom edge.
    void bottom_label(float x1, float y1, float x2, float y2, const std::string &text,
                      std::vector<Label> &out) const {
        if (y2 == y1)
            return;
        const float t = (ymin_ - y1) / (y2 - y1);
        if (!(t >= 0 && t < 1))
            return;
        const float x = x1 + t * (x2 - x1);
        if (x > xmin_ && x < xmax_)
            out.push_back({x, ymin_ + inset_, text});
    }

    void parallel(float lat) {
        const std::string text = lat_label(lat);
        std::vector<Label> edge, along;
        Path path;
        constexpr int kPieces = static_cast<int>(360.0f / kPieceLon);
        float x1 = 0, y1 = 0;
        bool ok1 = tran(lat, -180.0f, &x1, &y1);
        for (int k = 0; k < kPieces; ++k) {
            float x2, y2;
            const bool ok2 = tran(lat, -180.0f + static_cast<float>(k + 1) * kPieceLon, &x2, &y2);
            if (!ok1 || !ok2) {
                path.flush();
            } else if (period_ > 0 && std::fabs(x2 - x1) > kSeamJump) {
                path.flush();
                // The end on the left moves right by one period, then both move left.
                float ax = x1, bx = x2;
                (ax < bx ? ax : bx) += period_;
                segment(ax, y1, bx, y2);
                left_label(ax, y1, bx, y2, text, edge);
                segment(ax - period_, y1, bx - period_, y2);
                left_label(ax - period_, y1, bx - period_, y2, text, edge);
            } else {
                path.piece(x1, y1, x2, y2);
                left_label(x1, y1, x2, y2, text, edge);
            }
            x1 = x2;
            y1 = y2;
            ok1 = ok2;
        }
        path.flush();
        if (extra_ > 0) {
            for (float lon = repeat_start(extra_, -179, lonint_); lon <= 180.0f;
                 lon += static_cast<float>(extra_)) {
                float x, y;
                if (tran(lat, lon, &x, &y))
                    along.push_back({x, y, text});
            }
        }
        draw_labels(edge, 1, 3);
        draw_labels(along, 2, 3);
    }

    void meridian(float lon) {
        const std::string text = lon_label(lon);
        std::vector<Label> edge, along;
        Path path;
        float lo = -90.0f, hi = 90.0f;
        if (code_ == 1 || code_ == 4 || code_ == 9) {
            const float k = std::trunc(89.0f / latint_);
            lo = -k * latint_;
            hi = k * latint_;
        }
        float x1 = 0, y1 = 0;
        bool ok1 = tran(lo, lon, &x1, &y1);
        for (int i = 1; lo + static_cast<float>(i - 1) * latint_ < hi; ++i) {
            const float lat = std::min(hi, lo + static_cast<float>(i) * latint_);
            float x2, y2;
            const bool ok2 = tran(lat, lon, &x2, &y2);
            if (!ok1 || !ok2) {
                path.flush();
            } else {
                path.piece(x1, y1, x2, y2);
                bottom_label(x1, y1, x2, y2, text, edge);
            }
            x1 = x2;
            y1 = y2;
            ok1 = ok2;
        }
        path.flush();
        if (extra_ > 0) {
            for (float lat = repeat_start(extra_, -89, latint_); lat < 90.0f;
                 lat += static_cast<float>(extra_)) {
                float x, y;
                if (tran(lat, lon, &x, &y))
                    along.push_back({x, y, text});
            }
        }
        draw_labels(edge, 2, 4);
        draw_labels(along, 2, 3);
    }

    void arm(float lat1, float lon1, float lat2, float lon2) {
        float x1, y1, x2, y2;
        if (tran(lat1, lon1, &x1, &y1) && tran(lat2, lon2, &x2, &y2) &&
            std::fabs(x2 - x1) < kCrossJump)
            segment(x1, y1, x2, y2);
    }

    const MapProjection &proj_;
    int code_;
    float latint_, lonint_;
    int dot_, extra_;
    float xmin_ = 0, xmax_ = 0, ymin_ = 0, ymax_ = 0, inset_ = 0;
    float period_ = 0;
};

// Grid lines of a graph domain: constant second coordinate every latint, constant first
// coordinate every lonint, in data units, with numeric labels at the left and bottom.
void graph_lines(float latint, float lonint) {
    const MapProjection &proj = MAP_current();
    float lim[4];
    proj.limits(lim);
    float a0, b0, a1, b1;
    if (!proj.untran(&a0, &b0, lim[0], lim[2]) || !proj.untran(&a1, &b1, lim[1], lim[3]))
        return;
    if (a0 > a1)
        std::swap(a0, a1);
    if (b0 > b1)
        std::swap(b0, b1);
    const float inset = 0.01f * (lim[1] - lim[0]);
    std::vector<Label> left, bottom;
    char buf[32];
    auto line = [&](float a_from, float b_from, float a_to, float b_to) {
        float x1, y1, x2, y2;
        if (!proj.tran(&x1, &y1, a_from, b_from) || !proj.tran(&x2, &y2, a_to, b_to))
            return false;
        const float pts[4] = {x1, y1, x2, y2};
        gpolyline(2, pts);
        return true;
    };
    const double nb0 = std::ceil(b0 / latint), nb1 = std::floor(b1 / latint);
    if (std::fabs(nb0) < 1e9 && std::fabs(nb1) < 1e9 && nb1 - nb0 < kMaxGridLines) {
        for (double k = nb0; k <= nb1; ++k) {
            const float b = static_cast<float>(k * latint);
            float x, y;
            if (line(a0, b, a1, b) && proj.tran(&x, &y, a0, b)) {
                std::snprintf(buf, sizeof buf, "%g", b);
                left.push_back({lim[0] + inset, y, buf});
            }
        }
    }
    const double na0 = std::ceil(a0 / lonint), na1 = std::floor(a1 / lonint);
    if (std::fabs(na0) < 1e9 && std::fabs(na1) < 1e9 && na1 - na0 < kMaxGridLines) {
        for (double k = na0; k <= na1; ++k) {
            const float a = static_cast<float>(k * lonint);
            float x, y;
            if (line(a, b0, a, b1) && proj.tran(&x, &y, a, b0)) {
                std::snprintf(buf, sizeof buf, "%g", a);
                bottom.push_back({x, lim[2] + inset, buf});
            }
        }
    }
    draw_labels(left, 1, 3);
    draw_labels(bottom, 2, 4);
}

} // namespace

namespace map_detail {

int draw_lat_lon_lines(float latint, float lonint, int dot, int extra) {
    if (is_missing(latint) || is_missing(lonint) || !(latint > 0) || !(lonint > 0) ||
        !std::isfinite(latint) || !std::isfinite(lonint))
        return -1;
    const int code = MAP_get_proj();
    if (code >= 1 && code <= 9) {
        if (latint < kMinSpacing || lonint < kMinSpacing) {
            MESS_print(MESS_WARN, "MAP_lines: spacing %g,%g below %g degrees: no lines\n", latint,
                       lonint, kMinSpacing);
            return -1;
        }
        LineDrawer d(latint, lonint, dot, extra);
        d.parallels();
        d.meridians();
        d.crosses();
    } else {
        graph_lines(latint, lonint);
    }
    GPH_line_attr(nullptr);
    GPH_text_attr(nullptr, 0);
    return 0;
}

} // namespace map_detail
