// Pixel storage, colours and palettes of image records for the picture-file codecs.
//
// Traps: 32-bit pixels hold a 24-bit value in three of their four bytes (bytes 1-3 when the
// most significant byte comes first, bytes 2, 1, 0 otherwise); a row may be longer than the
// picture (X11 pads rows), and its surplus pixels take part in palette building as value 0,
// so a padded image has black in its palette even when the picture has none.
#include "gks/codec.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <new>

#include "base/bytes.h"
#include "base/mess.h"

namespace {

struct CodecState {
    int64_t max_pixels = CODEC_MAX_PIXELS;
};
CodecState &st() {
    static CodecState s;
    return s;
}

constexpr uint32_t LEVEL_MASKS = 0x40000000u;

int storage_bits(const IMAGE &im) {
    if (im.bits_per_pixel == 32)
        return 32;
    switch (im.depth) {
    case 24:
        return 24;
    case 15:
    case 16:
        return 16;
    case 8:
        return 8;
    case 4:
        return 4;
    case 1:
        return 1;
    default:
        return 0;
    }
}

uint8_t to_byte(float c) {
    if (!(c > 0.0f))
        return 0;
    if (c >= 1.0f)
        return 255;
    return static_cast<uint8_t>(c * 255.0f);
}

// Palette lookup: a direct table for values below 256, an open-addressed table for wider
// ones. Values met once the palette is full map to 0 and are not remembered.
class PaletteIndex {
  public:
    explicit PaletteIndex(bool narrow) : narrow_(narrow) {
        if (narrow_)
            lut_.fill(-1);
        else
            keys_.assign(kSlots, kEmpty);
    }
    // Index of v, appended to the palette while there is room.
    int get(uint32_t v, CodecPalette &pal, const CodecColours &col) {
        if (narrow_) {
            int16_t &e = lut_[v & 0xFFu];
            if (e < 0)
                e = static_cast<int16_t>(add(v, pal, col));
            return e;
        }
        if (v == last_value_ && last_index_ >= 0)
            return last_index_;
        size_t h = (v * 2654435761u) >> (32 - kBits);
        while (keys_[h] != kEmpty) {
            if (keys_[h] == v) {
                last_value_ = v;
                return last_index_ = idx_[h];
            }
            h = (h + 1) & (kSlots - 1);
        }
        int i = add(v, pal, col);
        if (pal.count <= 256 && i == pal.count - 1 && pal.value[static_cast<size_t>(i)] == v) {
            keys_[h] = v;
            idx_[h] = static_cast<int16_t>(i);
        }
        last_value_ = v;
        return last_index_ = i;
    }

  private:
    static int add(uint32_t v, CodecPalette &pal, const CodecColours &col) {
        if (pal.count >= 256)
            return 0;
        const auto i = static_cast<size_t>(pal.count++);
        pal.value[i] = v;
        pal.rgb[i] = col.rgb(v);
        return static_cast<int>(i);
    }
    static constexpr int kBits = 10; // 1024 slots for at most 256 values
    static constexpr size_t kSlots = size_t{1} << kBits;
    static constexpr uint64_t kEmpty = ~uint64_t{0};
    bool narrow_;
    std::array<int16_t, 256> lut_{};
    std::vector<uint64_t> keys_;
    std::array<int16_t, kSlots> idx_{};
    uint32_t last_value_ = 0;
    int last_index_ = -1;
};

void put_index(const CodecLayout &l, uint8_t *row, int x, uint8_t i) {
    switch (l.bits) {
    case 32:
        std::fill_n(row + 4 * x, 4, uint8_t{0});
        row[4 * x] = i;
        break;
    case 24:
        std::fill_n(row + 3 * x, 3, uint8_t{0});
        row[3 * x] = i;
        break;
    case 16:
        row[2 * x] = i;
        row[2 * x + 1] = 0;
        break;
    case 8:
        row[x] = i;
        break;
    case 4: {
        uint8_t &b = row[x / 2];
        b = (x & 1) ? static_cast<uint8_t>((b & 0xF0u) | (i & 0x0Fu))
                    : static_cast<uint8_t>((b & 0x0Fu) | (i << 4));
        break;
    }
    default: {
        uint8_t &b = row[x / 8];
        const auto bit = static_cast<uint8_t>(1u << (x % 8));
        b = (i & 1) ? static_cast<uint8_t>(b | bit) : static_cast<uint8_t>(b & ~bit);
        break;
    }
    }
}

bool build(const IMAGE &im, uint8_t *write_back, CodecPalette &pal, std::vector<uint8_t> *index,
           const char *who) {
    const std::optional<CodecLayout> lay = CODEC_layout(im, who);
    if (!lay)
        return false;
    const CodecLayout &l = *lay;
    const size_t nx = static_cast<size_t>(im.nx);
    if (index && !CODEC_alloc(*index, nx * static_cast<size_t>(im.ny))) {
        MESS_print(MESS_WARN, "%s: Unable to allocate index buffer.\n", who);
        return false;
    }
    pal = CodecPalette{};
    const CodecColours col(im);
    PaletteIndex lookup(l.bits <= 8);
    std::vector<uint8_t> row_index(index ? 0 : nx);
    for (int y = 0; y < im.ny; ++y) {
        const size_t off = static_cast<size_t>(y) * static_cast<size_t>(im.bytes_per_line);
        const uint8_t *row = im.data.data() + off;
        uint8_t *out = index ? index->data() + static_cast<size_t>(y) * nx : row_index.data();
        if (l.bits == 8) {
            // One byte per pixel: the common case of indexed pictures, kept tight.
            uint8_t *dst = write_back ? write_back + off : out;
            for (size_t x = 0; x < nx; ++x)
                dst[x] = static_cast<uint8_t>(lookup.get(row[x], pal, col));
            if (write_back && index)
                std::copy_n(dst, nx, out);
        } else {
            for (int x = 0; x < im.nx; ++x)
                out[x] = static_cast<uint8_t>(lookup.get(CODEC_pixel(l, row, x), pal, col));
            if (write_back)
                for (int x = 0; x < im.nx; ++x)
                    put_index(l, write_back + off, x, out[x]);
        }
        if (l.per_row > im.nx) {
            const auto zero = static_cast<uint8_t>(lookup.get(0, pal, col));
            if (write_back)
                for (int x = im.nx; x < l.per_row; ++x)
                    put_index(l, write_back + off, x, zero);
        }
    }
    return true;
}

} // namespace

std::optional<CodecLayout> CODEC_layout(const IMAGE &im, const char *who) {
    CodecLayout l;
    l.bits = storage_bits(im);
    if (l.bits == 0) {
        MESS_print(MESS_WARN, "%s: unsupported pixel storage (depth %d, %d bits per pixel)\n", who,
                   im.depth, im.bits_per_pixel);
        return std::nullopt;
    }
    l.msb = im.byte_order != 0;
    if (im.nx < 1 || im.ny < 1 || im.bytes_per_line < 1) {
        MESS_print(MESS_WARN, "%s: empty image %dx%d\n", who, im.nx, im.ny);
        return std::nullopt;
    }
    l.per_row = static_cast<int>(int64_t{im.bytes_per_line} * 8 / l.bits);
    l.bytes = int64_t{im.bytes_per_line} * im.ny;
    if (l.per_row < im.nx || static_cast<int64_t>(im.data.size()) < l.bytes) {
        MESS_print(MESS_WARN, "%s: image buffer too small for %dx%d pixels\n", who, im.nx, im.ny);
        return std::nullopt;
    }
    return l;
}

CodecColours::CodecColours(const IMAGE &image) : image_(image), indexed_(image.color_type == 1) {
    const int dbits = std::clamp(image.depth, 1, 32);
    const uint32_t within = dbits == 32 ? ~0u : (1u << dbits) - 1u;
    const uint32_t masks[3] = {image.red_mask, image.green_mask, image.blue_mask};
    for (int i = 0; i < 3; ++i) {
        Channel &c = ch_[i];
        c.mask = masks[i] & within;
        c.shift = c.mask ? std::countr_zero(c.mask) : dbits;
        c.width = std::popcount(c.mask);
    }
}

std::array<uint8_t, 3> CodecColours::rgb(uint32_t v) const {
    std::array<uint8_t, 3> out{};
    if (indexed_) {
        const std::vector<float> *t = image_.colors.get();
        const size_t i = v;
        if (t && i < static_cast<size_t>(std::max(image_.num_colors, 0)) && 3 * i + 2 < t->size())
            for (size_t k = 0; k < 3; ++k)
                out[k] = to_byte((*t)[3 * i + k]);
        return out;
    }
    for (int k = 0; k < 3; ++k) {
        const Channel &c = ch_[k];
        if (c.width == 0)
            continue;
        uint32_t f = (v & c.mask) >> c.shift;
        f = c.width <= 8 ? f << (8 - c.width) : f >> (c.width - 8);
        out[static_cast<size_t>(k)] = static_cast<uint8_t>(std::min<uint32_t>(f, 255));
    }
    return out;
}

void CodecColours::print_masks() const {
    MESS_print(LEVEL_MASKS, "mask: %d-%d %d-%d %d-%d\n", ch_[0].shift, 8 - ch_[0].width,
               ch_[1].shift, 8 - ch_[1].width, ch_[2].shift, 8 - ch_[2].width);
}

int CodecPalette::find(uint32_t v) const {
    for (int i = 0; i < count; ++i)
        if (value[static_cast<size_t>(i)] == v)
            return i;
    return -1;
}

bool CODEC_build_palette(IMAGE &image, CodecPalette &palette, std::vector<uint8_t> *index,
                         const char *who) {
    return build(image, image.data.data(), palette, index, who);
}

bool CODEC_build_palette(const IMAGE &image, CodecPalette &palette, std::vector<uint8_t> &index,
                         const char *who) {
    return build(image, nullptr, palette, &index, who);
}

void CODEC_set_max_pixels(int64_t n) {
    st().max_pixels = n > 0 ? n : CODEC_MAX_PIXELS;
}
int64_t CODEC_max_pixels() {
    return st().max_pixels;
}
void CODEC_reset_state() {
    st() = CodecState{};
}

void CODEC_skip_star_line(ByteCursor &in) {
    const int64_t start = in.pos();
    uint8_t head[3] = {0, 0, 0};
    if (in.read(head, 3) == 3 && head[0] == '*' && head[1] == '*' && head[2] == ' ') {
        int c;
        while ((c = in.get_byte()) >= 0 && c != '\n') {
        }
        return;
    }
    in.seek(start);
}
