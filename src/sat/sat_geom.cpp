// Image geometry: domain completion, remap, zoom and the displayed domain.
//
// Positions inside an image are (row, column) with (0, 0) the centre of the upper-left
// pixel; a domain's grid point (i, j) is the centre of pixel (row j, column i), and a
// domain of n points has its centre at grid position (n - 1) / 2. The AREA navigation
// numbers pixels from 1 (AREA_line_elem mode 2 gives 1 for the first line and element
// of the image), so its pixel coordinates are shifted by one here; AREA coordinate
// lcor + i * lres is pixel row i, the same mapping the zoom hands back to the navigation.
//
// A remap holds two projections side by side: the output domain's, to untransform
// plot points, and the image's own, to place latitude-longitude points in its grid (or
// the satellite navigation instead of the latter). By default the positions are those
// of the row segments (navigated at every step-th column of each row, linear in
// between) or, with a step of 0, of every pixel, sampled in floating point. With an
// error bound in the context the navigation grid (sat_navgrid.h) makes them instead,
// and the fixed-point kernel (sat_kernel.h) samples them. Either table of positions is
// kept for the next remap of a loop; the rows are shared among the remap's threads.

#include "sat/sat_geom.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <type_traits>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "base/mess.h"
#include "base/missing.h"
#include "base/pixel_buffer.h"
#include "base/resrc.h"
#include "gks/gks.h"
#include "map/maptran.h"
#include "sat/sat_kernel.h"
#include "sat/sat_navgrid.h"
#include "sat/sat_pool.h"
#include "sat/sat_tool.h"
#include "satformats/sat_tran.h"

namespace {

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 427;
// Largest remap or zoom output accepted (bytes).
constexpr int64_t kMaxOutPixels = int64_t{1} << 28;

bool is_map_proj(int proj) {
    return proj >= 1 && proj <= 9;
}
bool usable_step(float v) {
    return std::isfinite(v) && v != 0.0f && !is_missing(v);
}

int clamp_side(long v) {
    return static_cast<int>(std::clamp<long>(v, 2, IMG_MAX_SIDE));
}

uint8_t to_byte(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

// Source pixels of an 8-bit image, validated against its buffer.
struct Pixels {
    const uint8_t *data = nullptr;
    int width = 0, height = 0;
    size_t stride = 0;
};

// False (after a message naming caller) when the image's buffer does not hold
// its declared size or the image is not 8 bits deep. An image without pixels is
// valid and reads as empty.
bool source_pixels(const IMAGE &image, const char *caller, Pixels *px) {
    *px = Pixels{};
    if (image.nx <= 0 || image.ny <= 0 || image.data.empty())
        return true;
    if (image.depth != 8) {
        MESS_print(MESS_WARN, "%s: only 8-bit images can be resampled (depth %d)\n", caller,
                   image.depth);
        return false;
    }
    const size_t stride =
        image.bytes_per_line >= image.nx ? size_t(image.bytes_per_line) : size_t(image.nx);
    const size_t need = stride * size_t(image.ny - 1) + size_t(image.nx);
    if (image.data.size() < need) {
        MESS_print(MESS_WARN, "%s: image data too short: %zu bytes for %dx%d\n", caller,
                   image.data.size(), image.nx, image.ny);
        return false;
    }
    px->data = image.data.data();
    px->width = image.nx;
    px->height = image.ny;
    px->stride = stride;
    return true;
}

// Cut-off classes of the plot parameters: neighbours of different classes are not
// averaged.
remap::Cutoffs cut_classes(const SAT_PARAMS &p) {
    constexpr int kLimit = 1 << 20; // far outside 0..255; keeps the kernel's sums exact
    remap::Cutoffs c;
    c.base = std::clamp(p.cutbase, -kLimit, kLimit);
    c.numcut = std::clamp(p.numcut, 0, 3);
    for (int k = 0; k < 5; ++k)
        c.bound[k] = std::clamp(p.cutoff[k], -kLimit, kLimit);
    return c;
}

// The value at (row, col) of an image, from positions as floats: 0 off the image;
// otherwise the four neighbours weighted bilinearly (pix_ave) or the nearest one, never
// mixing neighbours of different cut-off classes. The row-segment and exact modes
// sample here, the navigation grid through the fixed-point kernel. Instantiated with and
// without classes, so that the usual case carries none of their code.
template <bool kClasses>
inline uint8_t sample(const Pixels &px, float row, float col, bool pix_ave,
                      const remap::Cutoffs &cut) {
    // The negated test also rejects NaN positions.
    if (!(row >= 0.0f && col >= 0.0f && row <= float(px.height - 1) && col <= float(px.width - 1)))
        return 0;
    const int i = static_cast<int>(row), j = static_cast<int>(col);
    double fr = row - float(i), fc = col - float(j);
    const int i1 = std::min(i + 1, px.height - 1), j1 = std::min(j + 1, px.width - 1);
    const uint8_t *r0 = px.data + size_t(i) * px.stride;
    const uint8_t *r1 = px.data + size_t(i1) * px.stride;
    int p[4] = {r0[j], r0[j1], r1[j], r1[j1]};
    if (p[0] == p[1] && p[0] == p[2] && p[0] == p[3])
        return static_cast<uint8_t>(p[0]);

    bool mixed = false;
    int remembered = -1;
    if (kClasses && cut.numcut >= 1)
        mixed = remap::join_class(p, cut, &remembered);
    if (!pix_ave || mixed) {
        fr = fr > 0.5 ? 1.0 : 0.0;
        fc = fc > 0.5 ? 1.0 : 0.0;
    }
    const double v =
        (1 - fr) * (1 - fc) * p[0] + (1 - fr) * fc * p[1] + fr * (1 - fc) * p[2] + fr * fc * p[3];
    const uint8_t b = to_byte(static_cast<int>(v));
    if (remembered >= 0 && b == remembered)
        return to_byte(cut.base);
    return b;
}

// Four floats in a vector register (SSE on x86-64); arithmetic on it is the scalar
// arithmetic lane by lane, rounded the same way.
using V4 = float __attribute__((vector_size(16)));
using V4i = int32_t __attribute__((vector_size(16)));
using V4d = double __attribute__((vector_size(32)));
using V4b = uint8_t __attribute__((vector_size(4)));

// n values of the image at positions (rows[k], cols[k]), as sample() gives them. The
// usual case, bilinear without classes with all four neighbours inside the image, is
// the same arithmetic without the clamps at the last row and column and with the test
// for four equal neighbours made a choice rather than a branch.
[[gnu::always_inline]] inline void sample_span_body(const Pixels &px, const float *rows,
                                                    const float *cols, uint8_t *o, size_t n,
                                                    bool pix_ave, const remap::Cutoffs &cut) {
    if (cut.numcut >= 1) {
        for (size_t k = 0; k < n; ++k)
            o[k] = sample<true>(px, rows[k], cols[k], pix_ave, cut);
        return;
    }
    if (!pix_ave) {
        for (size_t k = 0; k < n; ++k)
            o[k] = sample<false>(px, rows[k], cols[k], pix_ave, cut);
        return;
    }
    const float last_row = float(px.height - 1), last_col = float(px.width - 1);
    const uint8_t *data = px.data;
    const size_t stride = px.stride;
    auto one_pixel = [&](size_t k) {
        const float row = rows[k], col = cols[k];
        if (!(row >= 0.0f && col >= 0.0f && row < last_row && col < last_col)) {
            o[k] = sample<false>(px, row, col, true, cut);
            return;
        }
        const int i = static_cast<int>(row), j = static_cast<int>(col);
        const double fr = row - float(i), fc = col - float(j);
        const uint8_t *q = data + size_t(i) * stride + size_t(j);
        const int p0 = q[0], p1 = q[1], p2 = q[stride], p3 = q[stride + 1];
        const double v =
            (1 - fr) * (1 - fc) * p0 + (1 - fr) * fc * p1 + fr * (1 - fc) * p2 + fr * fc * p3;
        const uint8_t b = to_byte(static_cast<int>(v));
        const bool flat = (p0 == p1) & (p0 == p2) & (p0 == p3);
        o[k] = flat ? uint8_t(p0) : b;
    };
    // Four pixels at a time when all four are inside: the same operations in the same
    // order, lane by lane, the weights and the sum in vectors of doubles.
    const V4 zero = {0, 0, 0, 0};
    const V4 lr = {last_row, last_row, last_row, last_row};
    const V4 lc = {last_col, last_col, last_col, last_col};
    const V4d one = {1, 1, 1, 1};
    const V4i byte_max = {255, 255, 255, 255};
    size_t k = 0;
    for (; k + 4 <= n; k += 4) {
        V4 row, col;
        std::memcpy(&row, rows + k, sizeof row);
        std::memcpy(&col, cols + k, sizeof col);
        const V4i in = (row >= zero) & (col >= zero) & (row < lr) & (col < lc);
        if (!(in[0] & in[1] & in[2] & in[3])) {
            for (size_t l = 0; l < 4; ++l)
                one_pixel(k + l);
            continue;
        }
        const V4i i = __builtin_convertvector(row, V4i), j = __builtin_convertvector(col, V4i);
        const V4d fr = __builtin_convertvector(row - __builtin_convertvector(i, V4), V4d);
        const V4d fc = __builtin_convertvector(col - __builtin_convertvector(j, V4), V4d);
        // The neighbours, lane by lane, as doubles (exact).
        const uint8_t *q0 = data + size_t(i[0]) * stride + size_t(j[0]);
        const uint8_t *q1 = data + size_t(i[1]) * stride + size_t(j[1]);
        const uint8_t *q2 = data + size_t(i[2]) * stride + size_t(j[2]);
        const uint8_t *q3 = data + size_t(i[3]) * stride + size_t(j[3]);
        const size_t s1 = stride + 1;
        const V4i n0 = {q0[0], q1[0], q2[0], q3[0]}, n1 = {q0[1], q1[1], q2[1], q3[1]};
        const V4i n2 = {q0[stride], q1[stride], q2[stride], q3[stride]};
        const V4i n3 = {q0[s1], q1[s1], q2[s1], q3[s1]};
        const V4d d0 = __builtin_convertvector(n0, V4d), d1 = __builtin_convertvector(n1, V4d);
        const V4d d2 = __builtin_convertvector(n2, V4d), d3 = __builtin_convertvector(n3, V4d);
        const V4d v = (one - fr) * (one - fc) * d0 + (one - fr) * fc * d1 + fr * (one - fc) * d2 +
                      fr * fc * d3;
        // Truncated, held to 255 (the sum of the weights may round above 1), or the
        // common value of four equal neighbours.
        V4i t = __builtin_convertvector(v, V4i);
        const V4i over = t > byte_max;
        t = (t & ~over) | (byte_max & over);
        const V4i flat = (n0 == n1) & (n0 == n2) & (n0 == n3);
        t = (n0 & flat) | (t & ~flat);
        const V4b bytes = __builtin_convertvector(t, V4b);
        std::memcpy(o + k, &bytes, sizeof bytes);
    }
    for (; k < n; ++k)
        one_pixel(k);
}

void sample_span_plain(const Pixels &px, const float *rows, const float *cols, uint8_t *o, size_t n,
                       bool pix_ave, const remap::Cutoffs &cut) {
    sample_span_body(px, rows, cols, o, n, pix_ave, cut);
}

#if defined(__x86_64__)
// The same code for processors with AVX2: four doubles to a register. Contraction into
// fused multiply-adds stays off (this file is built without it; AVX2 alone has none).
// Called by the AVX-512 code for groups of eight, which GCC would otherwise copy into a
// version for eight and warn about its loops.
#if defined(__clang__)
#define XSAT_NO_IPA gnu::noinline
#else
#define XSAT_NO_IPA gnu::noipa
#endif
[[gnu::target("avx2"), XSAT_NO_IPA]] void sample_span_avx2(const Pixels &px, const float *rows,
                                                           const float *cols, uint8_t *o, size_t n,
                                                           bool pix_ave,
                                                           const remap::Cutoffs &cut) {
    sample_span_body(px, rows, cols, o, n, pix_ave, cut);
}
#endif

#if defined(__x86_64__)
// Eight pixels at a time with AVX-512: the same arithmetic lane by lane, in doubles, on
// the neighbours fetched by two gathers of four bytes (a pair of neighbours in the low
// two). The conversions are the zero-masked forms, whose all-ones mask changes nothing.
// A gather may read two bytes past a pair: groups with a pixel off the image or reads
// that would pass the end of the pixels, images too big for 32-bit offsets and the cases
// with classes or nearest sampling take the AVX2 code.
[[gnu::target("avx512f,avx512vl,avx512bw,avx512dq,avx2")]] void
sample_span_avx512(const Pixels &px, const float *rows, const float *cols, uint8_t *o, size_t n,
                   bool pix_ave, const remap::Cutoffs &cut) {
    const size_t stride = px.stride;
    const size_t end = stride * size_t(px.height - 1) + size_t(px.width); // bytes of pixels
    if (cut.numcut >= 1 || !pix_ave || px.height < 2 || end + stride >= size_t(INT32_MAX)) {
        sample_span_avx2(px, rows, cols, o, n, pix_ave, cut);
        return;
    }
    // Largest offset whose four bytes one row down lie inside the pixels.
    const int32_t last_gather = int32_t(end - stride) - 4;
    const __m256 zero = _mm256_setzero_ps();
    const __m256 lr = _mm256_set1_ps(float(px.height - 1)),
                 lc = _mm256_set1_ps(float(px.width - 1));
    const __m256i vstride = _mm256_set1_epi32(int32_t(stride));
    const __m256i vlast = _mm256_set1_epi32(last_gather);
    const __m256i low = _mm256_set1_epi32(0xff), top_byte = _mm256_set1_epi32(255);
    const __m512d one = _mm512_set1_pd(1.0);
    const int *base = reinterpret_cast<const int *>(px.data);
    const int *below = reinterpret_cast<const int *>(px.data + stride);
    size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        const __m256 row = _mm256_loadu_ps(rows + k), col = _mm256_loadu_ps(cols + k);
        __mmask8 in =
            _mm256_cmp_ps_mask(row, zero, _CMP_GE_OQ) & _mm256_cmp_ps_mask(col, zero, _CMP_GE_OQ) &
            _mm256_cmp_ps_mask(row, lr, _CMP_LT_OQ) & _mm256_cmp_ps_mask(col, lc, _CMP_LT_OQ);
        // Offsets of lanes off the image are garbage, but such groups go the other way.
        const __m256i i = _mm256_cvttps_epi32(row), j = _mm256_cvttps_epi32(col);
        const __m256i at = _mm256_add_epi32(_mm256_mullo_epi32(i, vstride), j);
        in &= _mm256_cmp_epi32_mask(at, vlast, _MM_CMPINT_LE);
        if (in != 0xff) {
            sample_span_avx2(px, rows + k, cols + k, o + k, 8, pix_ave, cut);
            continue;
        }
        const __m512d fr = _mm512_maskz_cvtps_pd(0xff, _mm256_sub_ps(row, _mm256_cvtepi32_ps(i)));
        const __m512d fc = _mm512_maskz_cvtps_pd(0xff, _mm256_sub_ps(col, _mm256_cvtepi32_ps(j)));
        const __m256i top = _mm256_i32gather_epi32(base, at, 1);
        const __m256i bot = _mm256_i32gather_epi32(below, at, 1);
        const __m256i n0 = _mm256_and_si256(top, low);
        const __m256i n1 = _mm256_and_si256(_mm256_srli_epi32(top, 8), low);
        const __m256i n2 = _mm256_and_si256(bot, low);
        const __m256i n3 = _mm256_and_si256(_mm256_srli_epi32(bot, 8), low);
        const __m512d rf = _mm512_sub_pd(one, fr), cf = _mm512_sub_pd(one, fc);
        // ((1 - fr)(1 - fc) p00 + (1 - fr) fc p01) + fr (1 - fc) p10) + fr fc p11, each
        // product and sum rounded on its own as the scalar code does.
        __m512d v = _mm512_mul_pd(_mm512_mul_pd(rf, cf), _mm512_maskz_cvtepi32_pd(0xff, n0));
        v = _mm512_add_pd(v,
                          _mm512_mul_pd(_mm512_mul_pd(rf, fc), _mm512_maskz_cvtepi32_pd(0xff, n1)));
        v = _mm512_add_pd(v,
                          _mm512_mul_pd(_mm512_mul_pd(fr, cf), _mm512_maskz_cvtepi32_pd(0xff, n2)));
        v = _mm512_add_pd(v,
                          _mm512_mul_pd(_mm512_mul_pd(fr, fc), _mm512_maskz_cvtepi32_pd(0xff, n3)));
        __m256i t = _mm256_min_epi32(_mm512_maskz_cvttpd_epi32(0xff, v), top_byte);
        const __mmask8 flat = _mm256_cmpeq_epi32_mask(n0, n1) & _mm256_cmpeq_epi32_mask(n0, n2) &
                              _mm256_cmpeq_epi32_mask(n0, n3);
        t = _mm256_mask_blend_epi32(flat, t, n0);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(o + k), _mm256_maskz_cvtepi32_epi8(0xff, t));
    }
    if (k < n)
        sample_span_avx2(px, rows + k, cols + k, o + k, n - k, pix_ave, cut);
}
#endif

// The widest code the processor has, at most isa (0 plain, 1 AVX2, 2 AVX-512).
void sample_span(const Pixels &px, const float *rows, const float *cols, uint8_t *o, size_t n,
                 bool pix_ave, const remap::Cutoffs &cut, int isa) {
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    static const bool avx512 =
        avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512dq");
    if (avx512 && isa >= 2) {
        sample_span_avx512(px, rows, cols, o, n, pix_ave, cut);
        return;
    }
    if (avx2 && isa >= 1) {
        sample_span_avx2(px, rows, cols, o, n, pix_ave, cut);
        return;
    }
#endif
    sample_span_plain(px, rows, cols, o, n, pix_ave, cut);
}

bool has_navigation(const AREA_NAVIGATION *nav) {
    return nav && nav->type != AREA_NAV_NONE;
}

// Whether a domain can place latitude-longitude points in its grid.
bool domain_usable(const DOMAIN &d) {
    return is_map_proj(d.proj) && usable_step(d.dx) && usable_step(d.dy) && !is_missing(d.clat) &&
           !is_missing(d.clon) && d.nx > 0 && d.ny > 0;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The navigation of an output grid point: untransformed in the output domain, held to
// the longitude limits, then placed in the image through the satellite navigation or
// the image's own domain. Only const calls on values: several threads share it.
class PointLocator final : public remap::Locator {
  public:
    PointLocator(const DOMAIN &out, const DOMAIN &image_domain, const SAT_PARAMS &p,
                 const AREA_NAVIGATION *nav, bool use_area)
        : out_(out), out_proj_(out), nav_(nav), use_area_(use_area), min_lon_(p.min_lon),
          max_lon_(p.max_lon) {
        img_ok_ = domain_usable(image_domain);
        if (img_ok_)
            img_proj_ = MapProjection(image_domain);
        float lim[4];
        out_proj_.limits(lim);
        xmin_ = lim[0];
        xmax_ = lim[1];
        ymax_ = lim[3];
    }

    void locate(int m, int r, double *row, double *col) const override {
        *row = *col = kNaN;
        // The last column is the domain's edge itself.
        const float x = m == out_.nx - 1 ? xmax_ : xmin_ + float(m) * out_.dx;
        const float y = ymax_ - float(r) * out_.dy;
        float lat = MISSING_F, lon = MISSING_F;
        out_proj_.untran(&lat, &lon, x, y);
        if (is_missing(lat) || is_missing(lon))
            return;
        if (!is_missing(min_lon_) && lon < min_lon_ && out_.clon - lon < 180.0f)
            return;
        if (!is_missing(max_lon_) && lon > max_lon_ && lon - out_.clon < 180.0f)
            return;
        if (use_area_) {
            float line = MISSING_F, elem = MISSING_F;
            if (nav_->tran(2, &lat, &lon, &line, &elem) != 0 || is_missing(line) ||
                is_missing(elem))
                return;
            nav_->line_elem(2, &line, &elem, &line, &elem);
            *row = double(line) - 1.0;
            *col = double(elem) - 1.0;
            return;
        }
        if (!img_ok_)
            return;
        float px = MISSING_F, py = MISSING_F, gx = MISSING_F, gy = MISSING_F;
        img_proj_.tran(&px, &py, lat, lon);
        if (is_missing(px))
            return;
        img_proj_.grid_untran(&gx, &gy, px, py);
        if (is_missing(gx))
            return;
        *row = gy;
        *col = gx;
    }

  private:
    DOMAIN out_;
    MapProjection out_proj_, img_proj_;
    const AREA_NAVIGATION *nav_;
    bool use_area_, img_ok_ = false;
    float min_lon_, max_lon_;
    float xmin_ = 0, xmax_ = 0, ymax_ = 0;
};

// A pixel of a segment with an invalid end, navigated on its own.
struct OwnPixel {
    int m = 0;
    float row = 0, col = 0;
};

// The segment ends of a row of nx pixels: columns 0, step, 2 step ... and nx - 1, the
// same for every row; kept per thread for the last (nx, step) asked.
const std::vector<int> &segment_nodes(int nx, int step) {
    thread_local std::vector<int> cols;
    thread_local int for_nx = -1, for_step = -1;
    if (nx != for_nx || step != for_step) {
        // Any positive step is valid: counted so that a step near INT_MAX cannot overflow.
        const int segments = nx / step + (nx % step != 0 ? 1 : 0);
        cols.clear();
        for (int k = 0; k <= segments; ++k)
            cols.push_back(int(std::min<long>(long(k) * step, nx - 1)));
        for_nx = nx;
        for_step = step;
    }
    return cols;
}

// out[k] = a + (k / len) (b - a) for k < n, each term rounded to float as written; the
// quotients k / len come from t when given (as computed here). Four at a time in vector
// registers: the same operations, lane by lane.
void interpolate(float a, float b, int len, int n, const float *t, float *out) {
    const float d = b - a, l = float(len);
    int k = 0;
    if (t) {
        for (; k + 4 <= n; k += 4) {
            V4 tk;
            std::memcpy(&tk, t + k, sizeof tk);
            const V4 v = a + tk * d;
            std::memcpy(out + k, &v, sizeof v);
        }
    } else {
        for (; k + 4 <= n; k += 4) {
            const V4 kk = {float(k), float(k + 1), float(k + 2), float(k + 3)};
            const V4 v = a + (kk / l) * d;
            std::memcpy(out + k, &v, sizeof v);
        }
    }
    for (; k < n; ++k)
        out[k] = a + (float(k) / l) * d;
}

// k / step for k < step, as interpolate computes it; kept per thread for the last step.
const float *step_fractions(int step) {
    thread_local std::vector<float> t;
    thread_local int for_step = -1;
    if (step != for_step) {
        t.resize(size_t(step));
        for (int k = 0; k < step; ++k)
            t[size_t(k)] = float(k) / float(step);
        for_step = step;
    }
    return t.data();
}

// The positions of a row of segments from its nodes: linear within the segments with
// both ends valid, the pixels navigated on their own in the others.
void fill_segments(int nx, int step, const float *nrow, const float *ncol, const uint8_t *nok,
                   const std::vector<OwnPixel> &own, float *prow, float *pcol) {
    const std::vector<int> &node_col = segment_nodes(nx, step);
    const int segments = int(node_col.size()) - 1;
    // Segments but the last are step pixels long; a huge step makes a single segment.
    const float *t = segments > 1 ? step_fractions(step) : nullptr;
    for (int s = 0; s < segments; ++s) {
        if (!(nok[s] && nok[s + 1]))
            continue;
        const int m0 = node_col[s];
        const int m1 = static_cast<int>(std::min<long>(long(m0) + step, nx));
        const int len = node_col[s + 1] - m0;
        if (len > 0) {
            const float *tl = len == step ? t : nullptr;
            interpolate(nrow[s], nrow[s + 1], len, m1 - m0, tl, prow + m0);
            interpolate(ncol[s], ncol[s + 1], len, m1 - m0, tl, pcol + m0);
        } else {
            // A segment of one pixel: t = 0.
            std::fill(prow + m0, prow + m1, nrow[s] + 0.0f * (nrow[s + 1] - nrow[s]));
            std::fill(pcol + m0, pcol + m1, ncol[s] + 0.0f * (ncol[s + 1] - ncol[s]));
        }
    }
    for (const OwnPixel &o : own) {
        prow[o.m] = o.row;
        pcol[o.m] = o.col;
    }
}

// The kept table of the row segments: every row's nodes and its pixels navigated on
// their own, from which the positions of every pixel are made again as they were.
struct SegmentTable {
    int ny = 0, nodes = 0;
    std::vector<float> row, col; // ny x nodes
    std::vector<uint8_t> ok;
    std::vector<std::vector<OwnPixel>> own; // per row
    size_t bytes() const {
        size_t b = row.size() * 2 * sizeof(float) + ok.size();
        for (const auto &o : own)
            b += o.size() * sizeof(OwnPixel);
        return b;
    }
};

// The row-segment and exact modes: the image position of every pixel of an output
// row, as floats. Holds buffers for one row: one per thread.
class RowNavigator {
  public:
    RowNavigator(const DOMAIN &out, const DOMAIN &image_domain, const SAT_PARAMS &p,
                 const AREA_NAVIGATION *nav, bool use_area)
        : out_(out), min_lon_(p.min_lon), max_lon_(p.max_lon), out_proj_(out), nav_(nav),
          use_area_(use_area) {
        img_ok_ = domain_usable(image_domain);
        if (img_ok_)
            img_proj_ = MapProjection(image_domain);
        float lim[4];
        out_proj_.limits(lim);
        xmin_ = lim[0];
        xmax_ = lim[1];
        ymax_ = lim[3];
        // One more than the row for the last segment end of a step of 1.
        const size_t n = size_t(out_.nx) + 1;
        lat_.resize(n);
        lon_.resize(n);
        xs_.resize(n);
        rows_.resize(n);
        cols_.resize(n);
        own_.resize(n);
    }

    // Exact mode: every pixel through the image's own domain.
    void exact_row(int r, float *prow, float *pcol) {
        const float y = ymax_ - float(r) * out_.dy;
        const int nx = out_.nx;
        for (int m = 0; m < nx; ++m)
            xs_[m] = xmin_ + float(m) * out_.dx;
        untransform(nx, y);
        place_in_domain(nx);
        std::copy_n(rows_.begin(), nx, prow);
        std::copy_n(cols_.begin(), nx, pcol);
    }

    // Interpolated mode: exact navigation at the segment ends 0, step, 2 step ...
    // and at xmax, linear in between; pixels of segments with an invalid end are
    // navigated one by one.
    void interpolated_row(int r, int step, float *prow, float *pcol) {
        const size_t nodes = segment_nodes(out_.nx, step).size();
        node_row_.resize(nodes);
        node_cl_.resize(nodes);
        node_ok_.resize(nodes);
        navigate_nodes(r, step, node_row_.data(), node_cl_.data(), node_ok_.data(), own_list_);
        fill_segments(out_.nx, step, node_row_.data(), node_cl_.data(), node_ok_.data(), own_list_,
                      prow, pcol);
    }

    // The nodes of row r (positions and whether each is valid, as many as
    // segment_nodes gives) and the pixels of segments with an invalid end.
    void navigate_nodes(int r, int step, float *nrow, float *ncol, uint8_t *nok,
                        std::vector<OwnPixel> &own) {
        const float y = ymax_ - float(r) * out_.dy;
        const int nx = out_.nx;
        const std::vector<int> &node_col = segment_nodes(nx, step);
        const int nodes = int(node_col.size());
        for (int k = 0; k < nodes; ++k)
            xs_[k] = node_col[k] == nx - 1 ? xmax_ : xmin_ + float(node_col[k]) * out_.dx;
        navigate(nodes, y);
        for (int k = 0; k < nodes; ++k) {
            nrow[k] = rows_[k];
            ncol[k] = cols_[k];
            nok[k] = !is_missing(lat_[k]) && std::isfinite(nrow[k]) && std::isfinite(ncol[k]) &&
                     nrow[k] >= 0 && ncol[k] >= 0;
        }
        own.clear();
        int count = 0;
        for (int s = 0; s + 1 < nodes; ++s) {
            if (nok[s] && nok[s + 1])
                continue;
            const int m1 = static_cast<int>(std::min<long>(long(node_col[s]) + step, nx));
            for (int m = node_col[s]; m < m1; ++m)
                own_[count++] = m;
        }
        if (count == 0)
            return;
        for (int k = 0; k < count; ++k)
            xs_[k] = xmin_ + float(own_[k]) * out_.dx;
        navigate(count, y);
        own.reserve(size_t(count));
        for (int k = 0; k < count; ++k)
            own.push_back(OwnPixel{own_[k], rows_[k], cols_[k]});
    }

  private:
    // lat_/lon_ of the points (xs_[k], y), k < n, in the output domain, with the
    // longitude limits applied (a point outside them gets a missing latitude).
    void untransform(int n, float y) {
        for (int k = 0; k < n; ++k) {
            float lat = MISSING_F, lon = MISSING_F;
            out_proj_.untran(&lat, &lon, xs_[k], y);
            if (!is_missing(lat) && !is_missing(lon)) {
                if (!is_missing(min_lon_) && lon < min_lon_ && out_.clon - lon < 180.0f)
                    lat = MISSING_F;
                else if (!is_missing(max_lon_) && lon > max_lon_ && lon - out_.clon < 180.0f)
                    lat = MISSING_F;
            }
            lat_[k] = lat;
            lon_[k] = lon;
        }
    }

    // rows_/cols_ of lat_/lon_ in the image's own domain (grid positions).
    void place_in_domain(int n) {
        if (!img_ok_) {
            std::fill_n(rows_.begin(), n, MISSING_F);
            std::fill_n(cols_.begin(), n, MISSING_F);
            return;
        }
        for (int k = 0; k < n; ++k) {
            float x = MISSING_F, y = MISSING_F, gx = MISSING_F, gy = MISSING_F;
            if (!is_missing(lat_[k])) {
                img_proj_.tran(&x, &y, lat_[k], lon_[k]);
                if (!is_missing(x))
                    img_proj_.grid_untran(&gx, &gy, x, y);
            }
            rows_[k] = gy;
            cols_[k] = gx;
        }
    }

    // rows_/cols_ of lat_/lon_ through the satellite navigation.
    void place_by_navigation(int n) {
        nav_->to_image_n(size_t(n), lat_.data(), lon_.data(), rows_.data(), cols_.data());
        for (int k = 0; k < n; ++k) {
            float line = rows_[k], elem = cols_[k];
            rows_[k] = cols_[k] = MISSING_F;
            if (is_missing(line) || is_missing(elem))
                continue;
            nav_->line_elem(2, &line, &elem, &line, &elem);
            rows_[k] = line - 1.0f;
            cols_[k] = elem - 1.0f;
        }
    }

    void navigate(int n, float y) {
        untransform(n, y);
        if (use_area_)
            place_by_navigation(n);
        else
            place_in_domain(n);
    }

    DOMAIN out_;
    float min_lon_, max_lon_;
    MapProjection out_proj_, img_proj_;
    const AREA_NAVIGATION *nav_;
    bool use_area_ = false, img_ok_ = false;
    float xmin_ = 0, xmax_ = 0, ymax_ = 0;
    std::vector<float> lat_, lon_, xs_, rows_, cols_;
    std::vector<int> own_;
    std::vector<float> node_row_, node_cl_;
    std::vector<uint8_t> node_ok_;
    std::vector<OwnPixel> own_list_;
};

bool output_size_ok(long nx, long ny, const char *caller) {
    if (nx <= 0 || ny <= 0 || nx > IMG_MAX_SIDE || ny > IMG_MAX_SIDE ||
        int64_t(nx) * int64_t(ny) > kMaxOutPixels) {
        MESS_print(MESS_WARN, "%s: unusable output size %ldx%ld\n", caller, nx, ny);
        return false;
    }
    return true;
}

// AREA coordinates of an image position and back (see the top of the file).
void position_to_area(const AREA_NAVIGATION &nav, float row, float col, float *line, float *elem) {
    *line = nav.lcor + row * nav.lres;
    *elem = nav.ecor + col * nav.eres;
}

bool area_to_position(const AREA_NAVIGATION &nav, float lat, float lon, float *row, float *col) {
    float line = MISSING_F, elem = MISSING_F;
    if (nav.tran(2, &lat, &lon, &line, &elem) != 0 || is_missing(line) || is_missing(elem))
        return false;
    nav.line_elem(2, &line, &elem, &line, &elem);
    *row = line - 1.0f;
    *col = elem - 1.0f;
    return std::isfinite(*row) && std::isfinite(*col);
}

// Largest error bound the "remap_error" resource gives (source pixels).
constexpr float kMaxRemapError = 16.0f;

// Rows of the row-segment and exact modes handed to a thread at a time.
constexpr int kExactRows = 8;

// What a remap table depends on besides the code: compared field by field (domains)
// or byte by byte (the navigation, a plain value; bytes that differ only ever cost a
// new table).
struct TableKey {
    DOMAIN out;
    bool use_area = false;
    AREA_NAVIGATION nav;
    DOMAIN image;
    int step = 0;
    float min_lon = 0, max_lon = 0, bound = 0;
};
static_assert(std::is_trivially_copyable_v<AREA_NAVIGATION>);

bool same_domain(const DOMAIN &a, const DOMAIN &b) {
    return a.proj == b.proj && std::equal(a.param, a.param + 7, b.param) && a.clat == b.clat &&
           a.clon == b.clon && a.dx == b.dx && a.dy == b.dy && a.nx == b.nx && a.ny == b.ny &&
           a.ellipsoid == b.ellipsoid;
}

bool same_key(const TableKey &a, const TableKey &b) {
    if (!same_domain(a.out, b.out) || a.use_area != b.use_area || a.step != b.step ||
        a.bound != b.bound)
        return false;
    // Missing limits are one value; anything else compares as numbers.
    if (std::memcmp(&a.min_lon, &b.min_lon, sizeof a.min_lon) != 0 ||
        std::memcmp(&a.max_lon, &b.max_lon, sizeof a.max_lon) != 0)
        return false;
    if (a.use_area)
        return std::memcmp(&a.nav, &b.nav, sizeof a.nav) == 0;
    return same_domain(a.image, b.image);
}

} // namespace

struct SAT_REMAP_CACHE {
    bool valid = false;
    TableKey key;
    // The row-segment table is kept from the second remap of the same key on: a single
    // picture does not pay for it.
    bool seen = false;
    TableKey seen_key;
    remap::Table table;            // navigation grid
    SegmentTable segments;         // row segments: their nodes
    std::vector<float> rows, cols; // exact mode: every pixel
    SAT_REMAP_STATS stats;
};

namespace {

struct GeomState {
    SAT_REMAP_CACHE cache;
    int isa_limit = 2; // SAT_remap_isa_limit
};

GeomState &st() {
    static GeomState s;
    return s;
}

// Cut-off classes as the float sampler takes them: unclamped.
remap::Cutoffs raw_classes(const SAT_PARAMS &p) {
    remap::Cutoffs c;
    c.base = p.cutbase;
    c.numcut = std::clamp(p.numcut, 0, 3);
    for (int k = 0; k < 5; ++k)
        c.bound[k] = p.cutoff[k];
    return c;
}

TableKey table_key(const SAT_GEOM &g, const IMAGE &image, const DOMAIN &out, bool use_area) {
    const SAT_PARAMS &p = *g.params;
    TableKey key;
    key.out = out;
    key.use_area = use_area;
    if (use_area)
        std::memcpy(static_cast<void *>(&key.nav), g.nav, sizeof key.nav);
    else
        key.image = image.domain;
    key.step = std::max(p.remap_inc, 0);
    key.min_lon = p.min_lon;
    key.max_lon = p.max_lon;
    key.bound = p.remap_inc > 0 ? std::max(g.max_error, 0.0f) : 0.0f;
    return key;
}

// Drops the kept table (before a new one is made, so that two are never held).
void drop_table(SAT_REMAP_CACHE *cache) {
    cache->valid = false;
    cache->table = remap::Table{};
    cache->segments = SegmentTable{};
    cache->rows = std::vector<float>{};
    cache->cols = std::vector<float>{};
    cache->stats.bytes = 0;
}

// Row-segment and exact modes: positions of every pixel as floats, navigated row by
// row, sampled by the float sampler. Kept when the table fits the cache: the nodes of
// the row segments, every pixel's position in the exact mode.
void remap_by_rows(const SAT_GEOM &g, const IMAGE &image, const Pixels &px, const DOMAIN &out,
                   bool use_area, const TableKey &key, uint8_t *data) {
    const SAT_PARAMS &p = *g.params;
    const int threads = std::clamp(g.threads, 1, SAT_MAX_THREADS);
    const bool pix_ave = p.pix_ave != 0;
    const remap::Cutoffs cut = raw_classes(p);
    const int step = std::max(p.remap_inc, 0);
    const size_t nx = size_t(out.nx), n = nx * size_t(out.ny);
    const int pieces = (out.ny + kExactRows - 1) / kExactRows;
    SAT_REMAP_CACHE *cache = g.cache;
    const int isa = st().isa_limit;
    auto sample_row = [&](const float *rows, const float *cols, int r) {
        sample_span(px, rows, cols, data + size_t(r) * nx, nx, pix_ave, cut, isa);
    };
    // Each thread takes pieces of rows, first from its own run of neighbouring pieces
    // (SAT_RUNS), until none is left, with buffers of its own made once (made and
    // freed per piece they cost more than the sampling).
    // row(r, positions of one row, navigator or null) does one row.
    auto each_row = [&](bool navigator, auto row) {
        SAT_parallel_runs(threads, pieces, [&](SAT_RUNS &runs, int home) {
            std::optional<RowNavigator> nav;
            if (navigator)
                nav.emplace(out, image.domain, p, g.nav, use_area);
            std::vector<float> rows(nx), cols(nx);
            for (int piece = runs.next(home); piece >= 0; piece = runs.next(home)) {
                const int r1 = std::min(out.ny, (piece + 1) * kExactRows);
                for (int r = piece * kExactRows; r < r1; ++r)
                    row(r, rows.data(), cols.data(), nav ? &*nav : nullptr);
            }
        });
    };
    if (cache && cache->valid && same_key(cache->key, key)) {
        const SegmentTable &t = cache->segments;
        if (step > 0 && t.ny == out.ny && t.nodes > 0) {
            ++cache->stats.reused;
            each_row(false, [&](int r, float *rows, float *cols, RowNavigator *) {
                const size_t at = size_t(r) * size_t(t.nodes);
                fill_segments(out.nx, step, t.row.data() + at, t.col.data() + at, t.ok.data() + at,
                              t.own[size_t(r)], rows, cols);
                sample_row(rows, cols, r);
            });
            return;
        }
        if (step == 0 && cache->rows.size() == n) {
            ++cache->stats.reused;
            each_row(false, [&](int r, float *, float *, RowNavigator *) {
                const size_t at = size_t(r) * nx;
                sample_row(cache->rows.data() + at, cache->cols.data() + at, r);
            });
            return;
        }
    }
    const size_t nodes = step > 0 ? segment_nodes(out.nx, step).size() : 0;
    const size_t table_bytes =
        step > 0 ? size_t(out.ny) * nodes * (2 * sizeof(float) + 1) : n * 2 * sizeof(float);
    bool keep = false;
    if (cache) {
        drop_table(cache);
        keep = cache->seen && same_key(cache->seen_key, key) && table_bytes <= SAT_REMAP_CACHE_MAX;
        cache->seen = true;
        cache->seen_key = key;
    }
    SegmentTable seg;
    std::vector<float> all_rows, all_cols;
    if (keep && step > 0) {
        seg.ny = out.ny;
        seg.nodes = int(nodes);
        seg.row.resize(size_t(out.ny) * nodes);
        seg.col.resize(size_t(out.ny) * nodes);
        seg.ok.resize(size_t(out.ny) * nodes);
        seg.own.resize(size_t(out.ny));
    } else if (keep) {
        all_rows.resize(n);
        all_cols.resize(n);
    }
    each_row(true, [&](int r, float *rows, float *cols, RowNavigator *nav) {
        if (step > 0 && keep) {
            const size_t at = size_t(r) * nodes;
            std::vector<OwnPixel> &own = seg.own[size_t(r)];
            nav->navigate_nodes(r, step, seg.row.data() + at, seg.col.data() + at,
                                seg.ok.data() + at, own);
            fill_segments(out.nx, step, seg.row.data() + at, seg.col.data() + at,
                          seg.ok.data() + at, own, rows, cols);
        } else if (step > 0) {
            nav->interpolated_row(r, step, rows, cols);
        } else {
            if (keep) {
                rows = all_rows.data() + size_t(r) * nx;
                cols = all_cols.data() + size_t(r) * nx;
            }
            nav->exact_row(r, rows, cols);
        }
        sample_row(rows, cols, r);
    });
    // Pixels navigated on their own may have made the nodes' table larger than asked.
    if (keep && (step == 0 || seg.bytes() <= SAT_REMAP_CACHE_MAX)) {
        ++cache->stats.made;
        cache->stats.navigations = 0;
        cache->key = key;
        cache->segments = std::move(seg);
        cache->rows = std::move(all_rows);
        cache->cols = std::move(all_cols);
        cache->valid = true;
        cache->stats.bytes =
            step > 0 ? cache->segments.bytes() : cache->rows.size() * 2 * sizeof(float);
    }
}

// Navigation grid: source positions interpolated within the context's error bound,
// sampled by the fixed-point kernel.
void remap_by_grid(const SAT_GEOM &g, const IMAGE &image, const Pixels &px, const DOMAIN &out,
                   bool use_area, const TableKey &key, uint8_t *data) {
    const SAT_PARAMS &p = *g.params;
    const PointLocator loc(out, image.domain, p, g.nav, use_area);
    const remap::Sampler sampler(remap::Source{px.data, px.width, px.height, px.stride},
                                 p.pix_ave != 0, cut_classes(p));
    const int threads = std::clamp(g.threads, 1, SAT_MAX_THREADS);
    SAT_REMAP_CACHE *cache = g.cache;
    remap::Table made;
    const remap::Table *table = nullptr;
    if (cache && cache->valid && same_key(cache->key, key) && !cache->table.bands.empty()) {
        table = &cache->table;
        ++cache->stats.reused;
    } else {
        if (cache)
            drop_table(cache);
        made = remap::build_table(loc, out.nx, out.ny, p.remap_inc, double(g.max_error), threads);
        table = &made;
    }
    SAT_parallel_runs(threads, int(table->bands.size()), [&](SAT_RUNS &runs, int home) {
        for (int b = runs.next(home); b >= 0; b = runs.next(home))
            remap::sample_band(*table, size_t(b), sampler, data);
    });
    if (cache && table == &made && made.bytes() <= SAT_REMAP_CACHE_MAX) {
        ++cache->stats.made;
        cache->stats.navigations = made.navigations;
        cache->key = key;
        cache->table = std::move(made);
        cache->valid = true;
        cache->stats.bytes = cache->table.bytes();
    }
}

// The remap proper: every output pixel of out (nx x ny bytes at data).
void remap_pixels(const SAT_GEOM &g, const IMAGE &image, const Pixels &px, const DOMAIN &out,
                  bool use_area, uint8_t *data) {
    const TableKey key = table_key(g, image, out, use_area);
    if (g.params->remap_inc > 0 && g.max_error > 0.0f)
        remap_by_grid(g, image, px, out, use_area, key, data);
    else
        remap_by_rows(g, image, px, out, use_area, key, data);
}

} // namespace

void SAT_window_size(int *width, int *height) {
    long w = kDefaultWidth, h = kDefaultHeight;
    if (gchk_graphics()) {
        // The viewport of transformation 2 in device units, read without selecting it
        // (a selection would be recorded on metafiles and in the redraw store).
        int err = 0;
        float t[8] = {0, 1, 0, 1, 0, 1, 0, 1};
        ginq_norm_tran(2, &err, t);
        if (ginq_ws_pixels()) {
            // Pixel positions of both edges belong to the viewport.
            w = std::lround(xNDC_p(t[5]) - xNDC_p(t[4])) + 1;
            h = std::lround(yNDC_p(t[6]) - yNDC_p(t[7])) + 1;
        } else {
            w = std::lround(xNDC_ps(t[5]) - xNDC_ps(t[4]));
            h = std::lround(yNDC_ps(t[7]) - yNDC_ps(t[6]));
        }
    } else if (const char *g = RES_get("geometry")) {
        int gw = 0, gh = 0;
        if (std::sscanf(g, "%dx%d", &gw, &gh) == 2 && gw > 1 && gh > 1) {
            w = gw;
            h = gh;
        }
    }
    if (width)
        *width = clamp_side(w);
    if (height)
        *height = clamp_side(h);
}

SAT_GEOM SAT_geom_context() {
    SAT_GEOM g;
    g.params = &SAT_params();
    SAT_window_size(&g.width, &g.height);
    g.nav = &AREA_navigation();
    g.threads = SAT_thread_count();
    g.max_error = SAT_remap_error();
    g.cache = &st().cache;
    return g;
}

float SAT_remap_error() {
    const char *v = RES_get("remap_error");
    if (!v || !*v)
        return 0.0f;
    char *end = nullptr;
    const float e = std::strtof(v, &end);
    return end != v && std::isfinite(e) && e > 0.0f ? std::min(e, kMaxRemapError) : 0.0f;
}

SAT_REMAP_CACHE *SAT_remap_cache() {
    return &st().cache;
}

SAT_REMAP_STATS SAT_remap_cache_stats(const SAT_REMAP_CACHE *cache) {
    return cache ? cache->stats : SAT_REMAP_STATS{};
}

void SAT_remap_isa_limit(int level) {
    st().isa_limit = std::clamp(level, 0, 2);
}

void SAT_geom_reset_state() {
    st() = GeomState{};
    SAT_pool_reset_state();
}

int SAT_domain_image(DOMAIN *domain) {
    return SAT_domain_image(SAT_geom_context(), domain);
}
int SAT_remap_image(IMAGE *image, const DOMAIN *domain) {
    return SAT_remap_image(SAT_geom_context(), image, domain);
}
int SAT_zoom_image(IMAGE *image, float clat, float clon, float f) {
    return SAT_zoom_image(SAT_geom_context(), image, clat, clon, f);
}
int SAT_image_setup(IMAGE *image, DOMAIN *plot_domain) {
    return SAT_image_setup(SAT_geom_context(), image, plot_domain);
}

int SAT_domain_image(const SAT_GEOM &g, DOMAIN *domain) {
    if (!domain || !is_map_proj(domain->proj))
        return 0;
    if (domain->nx <= 1 || domain->ny <= 1 || !usable_step(domain->dx) ||
        !usable_step(domain->dy) || is_missing(domain->clat) || is_missing(domain->clon)) {
        MESS_print(MESS_WARN, "SAT_domain_image: the domain has no grid to complete\n");
        return 0;
    }
    const int w = clamp_side(g.width), h = clamp_side(g.height);
    MAP_domain(domain);
    float lim[4];
    MAP_get_limits(lim);
    domain->dx = (lim[1] - lim[0]) / float(w - 1);
    domain->dy = (lim[3] - lim[2]) / float(h - 1);
    domain->nx = w;
    domain->ny = h;
    return 0;
}

int SAT_remap_image(const SAT_GEOM &g, IMAGE *image, const DOMAIN *domain) {
    if (!image || !domain || !g.params)
        return 0;
    MESS_print(MESS_MESS, "Remapping image...\n");
    MESS_print(MESS_OUT2, "New domain: ");
    DOM_print(MESS_OUT1, domain);
    if (domain->proj == MISSING)
        return 0;
    if (!is_map_proj(domain->proj) || !usable_step(domain->dx) || !usable_step(domain->dy) ||
        is_missing(domain->clat) || is_missing(domain->clon)) {
        MESS_print(MESS_WARN, "SAT_remap_image: the domain cannot be remapped onto\n");
        return 0;
    }
    if (!output_size_ok(domain->nx, domain->ny, "SAT_remap_image"))
        return 0;
    Pixels px;
    if (!source_pixels(*image, "SAT_remap_image", &px))
        return 0;

    DOMAIN out = *domain;
    if (is_missing(out.param[1]))
        out.param[1] = out.clon;
    const SAT_PARAMS &p = *g.params;
    PixelVector<uint8_t> data;
    try {
        data.resize(size_t(out.nx) * size_t(out.ny), 0);
        // Without the navigation and without a usable domain of its own, the image
        // cannot be placed: the output stays black.
        const bool use_area = p.tran_sat != 0 && p.remap_inc > 0 && has_navigation(g.nav);
        if (use_area || domain_usable(image->domain))
            remap_pixels(g, *image, px, out, use_area, data.data());
    } catch (const std::bad_alloc &) {
        MESS_print(MESS_WARN, "SAT_remap_image: no memory for a %dx%d remap\n", out.nx, out.ny);
        return 0;
    }
    // The output domain stays current, as after a plain MAP_domain of it.
    MAP_domain(&out);

    image->source = SAT_IN_IMG;
    image->nx = out.nx;
    image->ny = out.ny;
    image->depth = 8;
    image->bytes_per_line = out.nx;
    image->domain = out;
    image->data = std::move(data);
    return 1;
}

int SAT_zoom_image(const SAT_GEOM &g, IMAGE *image, float clat, float clon, float f) {
    if (!image || !g.params)
        return 0;
    MESS_print(MESS_OUT2, "Zooming image: %2.1fx...\n", double(f));
    if (!std::isfinite(f) || !(f > 0.0f)) {
        MESS_print(MESS_WARN, "SAT_zoom_image: invalid zoom factor %g\n", double(f));
        return 0;
    }
    Pixels px;
    if (!source_pixels(*image, "SAT_zoom_image", &px))
        return 0;
    const int w = clamp_side(g.width), h = clamp_side(g.height);
    const double inv = 1.0 / double(f);
    const int old_nx = std::max(image->nx, 0), old_ny = std::max(image->ny, 0);
    const int nw = static_cast<int>(std::min<double>(w, std::floor(double(old_nx) * f)));
    const int nh = static_cast<int>(std::min<double>(h, std::floor(double(old_ny) * f)));
    MESS_print(MESS_OUT4, "Old image size: %dx%d\n", image->nx, image->ny);
    MESS_print(MESS_OUT4, "New image size: %dx%d\n", nw, nh);

    // Output pixel (r, m) shows source position (row0 + r / f, col0 + m / f); the
    // centre of the output grid is at ((nh - 1) / 2, (nw - 1) / 2).
    const double half_w = (nw - 1) * 0.5 * inv, half_h = (nh - 1) * 0.5 * inv;
    double row0 = 0, col0 = 0;
    DOMAIN dom = image->domain;
    const bool centred = !is_missing(clat);
    const SAT_PARAMS &p = *g.params;
    if (image->source == SAT_IN_AREA && dom.proj == 9 && p.tran_sat && g.nav) {
        AREA_NAVIGATION &nav = *g.nav;
        float row = 0, col = 0;
        if (centred && area_to_position(nav, clat, clon, &row, &col)) {
            col0 = col - half_w;
            row0 = row - half_h;
            dom.clat = clat;
            dom.clon = clon;
        } else {
            if (centred)
                MESS_print(MESS_WARN, "SAT_zoom_image: the centre is not on the image\n");
            float line = 0, elem = 0, lat = MISSING_F, lon = MISSING_F;
            position_to_area(nav, float(half_h), float(half_w), &line, &elem);
            if (nav.tran(1, &lat, &lon, &line, &elem) == 0 && !is_missing(lat)) {
                dom.clat = lat;
                dom.clon = lon;
            }
        }
        const float lcor = float(row0) * image->res_y + image->off_y;
        const float ecor = float(col0) * image->res_x + image->off_x;
        nav.lcor = lcor;
        nav.ecor = ecor;
        nav.lres = image->res_y / f;
        nav.eres = image->res_x / f;
        // The image keeps describing its place in the scan for a later zoom.
        image->off_y = lcor;
        image->off_x = ecor;
        image->res_y /= f;
        image->res_x /= f;
    } else if (is_map_proj(dom.proj)) {
        // Like the remap, the zoom leaves a domain current: the image's, as it
        // was before the zoom.
        MAP_domain(&dom);
        const MapProjection proj(dom);
        float x = MISSING_F, y = MISSING_F, gx = MISSING_F, gy = MISSING_F;
        if (centred) {
            proj.tran(&x, &y, clat, clon);
            if (!is_missing(x))
                proj.grid_untran(&gx, &gy, x, y);
        }
        if (centred && !is_missing(gx) && std::isfinite(gx) && std::isfinite(gy)) {
            col0 = gx - half_w;
            row0 = gy - half_h;
            dom.clat = clat;
            dom.clon = clon;
        } else {
            if (centred)
                MESS_print(MESS_WARN, "SAT_zoom_image: the centre is not on the image\n");
            float lat = MISSING_F, lon = MISSING_F;
            proj.grid_tran(&x, &y, float(half_w), float(half_h));
            if (!is_missing(x))
                proj.untran(&lat, &lon, x, y);
            if (!is_missing(lat)) {
                dom.clat = lat;
                dom.clon = lon;
            }
        }
    }
    dom.nx = nw;
    dom.ny = nh;
    if (!is_missing(dom.dx))
        dom.dx /= f;
    if (!is_missing(dom.dy))
        dom.dy /= f;
    MESS_print(MESS_OUT3, "Zoomed image domain: ");
    DOM_print(MESS_OUT3, &dom);

    PixelVector<uint8_t> data(size_t(nw) * size_t(nh), 0);
    const bool pix_ave = p.pix_ave != 0;
    for (int r = 0; r < nh && px.data; ++r) {
        const double sr = row0 + r * inv;
        if (!(sr >= 0.0 && sr < double(px.height)))
            continue;
        const int i = static_cast<int>(sr);
        const int i1 = std::min(i + 1, px.height - 1);
        double fr = sr - i;
        if (!pix_ave)
            fr = fr > 0.5 ? 1.0 : 0.0;
        const uint8_t *s0 = px.data + size_t(i) * px.stride;
        const uint8_t *s1 = px.data + size_t(i1) * px.stride;
        uint8_t *out = data.data() + size_t(r) * size_t(nw);
        for (int m = 0; m < nw; ++m) {
            const double sc = col0 + m * inv;
            if (!(sc >= 0.0 && sc < double(px.width)))
                continue;
            const int j = static_cast<int>(sc);
            const int j1 = std::min(j + 1, px.width - 1);
            double fc = sc - j;
            if (!pix_ave)
                fc = fc > 0.5 ? 1.0 : 0.0;
            const double v = (1 - fr) * (1 - fc) * s0[j] + (1 - fr) * fc * s0[j1] +
                             fr * (1 - fc) * s1[j] + fr * fc * s1[j1];
            out[m] = to_byte(static_cast<int>(v));
        }
    }
    image->nx = nw;
    image->ny = nh;
    image->depth = 8;
    image->bytes_per_line = nw;
    image->domain = dom;
    image->data = std::move(data);
    return 0;
}

int SAT_image_setup(const SAT_GEOM &g, IMAGE *image, DOMAIN *plot_domain) {
    if (!image || !plot_domain || !g.params)
        return 0;
    const int w = clamp_side(g.width), h = clamp_side(g.height);
    const DOMAIN &id = image->domain;
    DOMAIN d;
    DOM_init(&d);
    d.proj = id.proj;
    d.dx = id.dx;
    d.dy = id.dy;
    if (is_map_proj(id.proj)) {
        // The image's domain is left current: the map layers under the data are
        // drawn in it.
        MAP_domain(&id);
        const MapProjection proj(id);
        float x = MISSING_F, y = MISSING_F, lat = MISSING_F, lon = MISSING_F;
        proj.grid_tran(&x, &y, (w - 1) * 0.5f, (h - 1) * 0.5f);
        if (!is_missing(x))
            proj.untran(&lat, &lon, x, y);
        d.clat = lat;
        d.clon = lon;
    }
    d.nx = w;
    d.ny = h;

    const SAT_PARAMS &p = *g.params;
    auto copy_params = [&](int n, bool ellipsoid) {
        for (int i = 0; i < n; ++i)
            d.param[i] = id.param[i];
        if (ellipsoid)
            d.ellipsoid = id.ellipsoid;
    };
    const int src = image->source;
    bool print = true;
    if ((src != SAT_IN_AREA && src != SAT_IN_RASTER && id.proj != 9) ||
        (src == SAT_IN_AREA && id.proj == 9 && p.tran_sat)) {
        copy_params(5, true);
    } else {
        switch (id.proj) {
        case 1: // polar stereographic
        case 2: // latitude-longitude
            copy_params(3, false);
            break;
        case 3: // Mercator
        case 4: // Lambert conformal
            copy_params(4, false);
            break;
        case 7: // Mollweide
            copy_params(2, false);
            break;
        case 9: // satellite view
            copy_params(4, true);
            break;
        default:
            print = false;
            break;
        }
    }
    if (print) {
        MESS_print(MESS_OUT2, "Plot domain: ");
        DOM_print(MESS_OUT1, &d);
    }
    *plot_domain = d;

    if (p.pix_off != 0) {
        const int off = std::clamp(p.pix_off, -255, 255);
        const size_t n = std::min(image->data.size(), size_t(std::max(image->bytes_per_line, 0)) *
                                                          size_t(std::max(image->ny, 0)));
        for (size_t k = 0; k < n; ++k)
            image->data[k] = to_byte(int(image->data[k]) + off);
    }
    return 0;
}
