// Sampling of an 8-bit image at positions given in fixed point: 16 fraction bits, so a
// position is exact to 1/65536 of a pixel, finer than a float holds it anywhere beyond
// pixel 256. The bilinear value is the four neighbours weighted by (1 - fr)(1 - fc),
// (1 - fr) fc, fr (1 - fc) and fr fc and truncated toward zero. With fractions a / 2^16
// and b / 2^16 that value times 2^32 is the integer
//     (2^16 - a) (2^16 - b) p00 + (2^16 - a) b p01 + a (2^16 - b) p10 + a b p11,
// so the kernel forms it in 64-bit integers and shifts: the exact truncation, and the
// same number a double evaluation of the formula gives (each term fits its mantissa).
//
// Off the image (row < 0, row > H - 1, column < 0, column > W - 1) the value is 0. A
// neighbour past the last row or column is the last one; the bilinear kernel reads
// such a neighbour only when its weight is 0. Cut-off classes keep neighbours of
// different classes from being mixed; they need the real neighbours and take the slow
// path.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace remap {

inline constexpr int kFracBits = 16;
inline constexpr int64_t kOne = int64_t{1} << kFracBits;
inline constexpr int64_t kHalf = kOne / 2;
// Positions beyond this many pixels are treated as off the image.
inline constexpr double kMaxPosition = 1e9;

// A position in fixed point; false for NaN, infinities and absurd values.
inline bool to_fixed(double v, int64_t *out) {
    if (!(std::fabs(v) < kMaxPosition))
        return false;
    // Nearest, halves away from zero; inline, where a call to llround is not.
    const double s = v * double(kOne);
    *out = static_cast<int64_t>(s + std::copysign(0.5, s));
    return true;
}

struct Source {
    const uint8_t *data = nullptr;
    int width = 0, height = 0;
    size_t stride = 0;
};

// Cut-off classes: class k is [bound[k], bound[k + 1]); the base value belongs to every
// class. Bounds are kept within +-2^20 counts, far outside 0..255, so that the sums
// stay exact in 64 bits.
struct Cutoffs {
    int base = 0;
    int numcut = 0; // 0: no classes
    int bound[5] = {0, 0, 0, 0, 0};
};

enum class Mode { bilinear, nearest, classes };

// The cut-off rule on four neighbours: when all four lie in one class (the base value
// counting as any), base values take the class's lower bound, which is remembered;
// otherwise, when some lie in a class, the four are mixed and must not be averaged.
template <class T> bool join_class(T (&p)[4], const Cutoffs &cut, T *remembered) {
    bool partial = false;
    for (int k = 0; k <= cut.numcut; ++k) {
        const T lo = cut.bound[k], hi = cut.bound[k + 1];
        int held = 0;
        for (T v : p)
            held += (v == cut.base || (v >= lo && v < hi)) ? 1 : 0;
        if (held == 4) {
            for (T &v : p) {
                if (v == cut.base) {
                    v = lo;
                    *remembered = lo;
                }
            }
            return false;
        }
        if (held > 0)
            partial = true;
    }
    return partial;
}

inline uint8_t to_byte(int64_t v) {
    return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255));
}

// Value times 2^32 of the four neighbours at fractions a, b (each 0..2^16).
inline int64_t weigh(int64_t p00, int64_t p01, int64_t p10, int64_t p11, int64_t a, int64_t b) {
    const int64_t top = (p00 << kFracBits) + (p01 - p00) * b;
    const int64_t bot = (p10 << kFracBits) + (p11 - p10) * b;
    return (top << kFracBits) + (bot - top) * a;
}

class Sampler {
  public:
    Sampler(const Source &src, bool pix_ave, const Cutoffs &cut)
        : s_(src), cut_(cut), mode_(cut.numcut >= 1 ? Mode::classes
                                    : pix_ave       ? Mode::bilinear
                                                    : Mode::nearest),
          pix_ave_(pix_ave) {
        max_row_ = src.height > 0 ? uint64_t(src.height - 1) << kFracBits : 0;
        max_col_ = src.width > 0 ? uint64_t(src.width - 1) << kFracBits : 0;
        empty_ = !src.data || src.width <= 0 || src.height <= 0;
    }

    Mode mode() const { return mode_; }

    // n pixels from (row, col), stepping by (drow, dcol).
    void span(int64_t row, int64_t col, int64_t drow, int64_t dcol, uint8_t *out, int n) const {
        if (empty_) {
            std::fill_n(out, n, uint8_t{0});
            return;
        }
        switch (mode_) {
        case Mode::bilinear:
            run<Mode::bilinear>(row, col, drow, dcol, out, n);
            break;
        case Mode::nearest:
            run<Mode::nearest>(row, col, drow, dcol, out, n);
            break;
        case Mode::classes:
            run<Mode::classes>(row, col, drow, dcol, out, n);
            break;
        }
    }

    uint8_t at(int64_t row, int64_t col) const {
        uint8_t v = 0;
        span(row, col, 0, 0, &v, 1);
        return v;
    }

  private:
    template <Mode M>
    void run(int64_t row, int64_t col, int64_t drow, int64_t dcol, uint8_t *out, int n) const {
        for (int k = 0; k < n; ++k, row += drow, col += dcol) {
            // Unsigned: a negative position is a huge one.
            const uint64_t r = uint64_t(row), c = uint64_t(col);
            if (r > max_row_ || c > max_col_) {
                out[k] = 0;
                continue;
            }
            if constexpr (M == Mode::bilinear)
                out[k] = bilinear(r, c);
            else if constexpr (M == Mode::nearest)
                out[k] = nearest(r, c);
            else
                out[k] = classes(r, c);
        }
    }

    uint8_t bilinear(uint64_t r, uint64_t c) const {
        const int64_t a = int64_t(r & (kOne - 1)), b = int64_t(c & (kOne - 1));
        const uint8_t *p = s_.data + size_t(r >> kFracBits) * s_.stride + size_t(c >> kFracBits);
        // A fraction of 0 gives its far neighbour no weight: read the near one instead,
        // which also keeps the last row and column inside the buffer.
        const size_t down = a ? s_.stride : 0, right = b ? 1 : 0;
        return uint8_t(weigh(p[0], p[right], p[down], p[down + right], a, b) >> 32);
    }

    // A fraction above one half goes to the far neighbour.
    uint8_t nearest(uint64_t r, uint64_t c) const {
        const size_t i = size_t((r + kHalf - 1) >> kFracBits);
        const size_t j = size_t((c + kHalf - 1) >> kFracBits);
        return s_.data[i * s_.stride + j];
    }

    uint8_t classes(uint64_t r, uint64_t c) const {
        const int i = int(r >> kFracBits), j = int(c >> kFracBits);
        int64_t a = int64_t(r & (kOne - 1)), b = int64_t(c & (kOne - 1));
        const int i1 = std::min(i + 1, s_.height - 1), j1 = std::min(j + 1, s_.width - 1);
        const uint8_t *r0 = s_.data + size_t(i) * s_.stride;
        const uint8_t *r1 = s_.data + size_t(i1) * s_.stride;
        int64_t p[4] = {r0[j], r0[j1], r1[j], r1[j1]};
        if (p[0] == p[1] && p[0] == p[2] && p[0] == p[3])
            return uint8_t(p[0]);
        int64_t remembered = -1;
        const bool mixed = join_class(p, cut_, &remembered);
        if (!pix_ave_ || mixed) {
            a = a > kHalf ? kOne : 0;
            b = b > kHalf ? kOne : 0;
        }
        // Floor and truncation agree once clamped to a byte.
        const uint8_t v = to_byte(weigh(p[0], p[1], p[2], p[3], a, b) >> 32);
        if (remembered >= 0 && v == remembered)
            return to_byte(cut_.base);
        return v;
    }

    Source s_;
    Cutoffs cut_;
    Mode mode_;
    bool pix_ave_;
    bool empty_ = true;
    uint64_t max_row_ = 0, max_col_ = 0;
};

} // namespace remap
