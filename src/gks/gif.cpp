// GIF89a writer and reader.
//
// File: "GIF89a", the logical screen descriptor (little-endian width and height, a packed
// byte with the global table's size), the global colour table, then blocks: extensions
// (0x21 label, sub-blocks) and images (0x2C descriptor, optional local table, the LZW
// minimum code size and the codes in sub-blocks of at most 255 bytes), and the trailer 0x3B.
//
// LZW traps: the code width grows one code later on the encoding side than a naive reading
// suggests (the encoder checks the next free code after emitting, the decoder after adding
// the entry it lags by one); codes are packed least significant bit first; a dictionary
// of 4096 entries is full, and the writer sends a clear code instead of a 4097th entry.
// Our sub-blocks hold 254 bytes, which every decoder accepts.
#include "gks/gif.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>

#include "base/bytes.h"
#include "base/mess.h"
#include "gks/codec.h"
#include "gks/gks.h"

namespace {

constexpr uint32_t LEVEL_INFO = 0xf0000000u;
constexpr int kMaxCodes = 4096;
constexpr int kMaxBits = 12;
constexpr size_t kBlock = 254;

struct GifState {
    bool use_inter = false;
    bool trans = false;
    int threads = 0;
};
GifState &st() {
    static GifState s;
    return s;
}

void put16(std::vector<uint8_t> &out, int v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

// Rows of a picture of height h in the order they are coded: top to bottom, or the four
// interlace passes (every 8th row from 0, every 8th from 4, every 4th from 2, every 2nd
// from 1).
std::vector<int> row_order(int h, bool interlace) {
    std::vector<int> rows;
    rows.reserve(static_cast<size_t>(h));
    if (!interlace) {
        for (int y = 0; y < h; ++y)
            rows.push_back(y);
        return rows;
    }
    constexpr int start[4] = {0, 4, 2, 1};
    constexpr int step[4] = {8, 8, 4, 2};
    for (int p = 0; p < 4; ++p)
        for (int y = start[p]; y < h; y += step[p])
            rows.push_back(y);
    return rows;
}

void print_size(const IMAGE &im) {
    MESS_print(LEVEL_INFO, "width: %d\n", im.nx);
    MESS_print(LEVEL_INFO, "height: %d\n", im.ny);
    MESS_print(LEVEL_INFO, "depth: %d\n", im.depth);
    MESS_print(LEVEL_INFO, "bytes_per_line: %d\n", im.bytes_per_line);
}

} // namespace

// ===========================================================================
// LZW coder
// ===========================================================================

// The dictionary holds strings as (prefix code, pixel) pairs. An open-addressed table of
// 32768 slots, at most an eighth full (a clear code empties it before 4096 codes are used),
// holds the codes; the pair of each code is kept beside it (pixel << 12 | prefix) to check a
// slot's code. The first slot of a pair is its prefix XOR a scramble of its pixel, and a
// collision steps by an odd stride of the pixel: the pixel is known early, so a look-up
// waits on the one before it only for an XOR and a load. Nothing is allocated while coding.
struct GifWriter::Coder {
    static constexpr uint16_t kEmpty = 0; // codes in the table are above the end code
    static constexpr int kSlotBits = 15;
    static constexpr uint32_t kSlotMask = (1u << kSlotBits) - 1;
    std::array<uint16_t, size_t{1} << kSlotBits> slot{};
    std::array<uint32_t, kMaxCodes> pair{};
    std::array<uint32_t, 256> scramble{}, stride{};

    Coder() {
        uint32_t x = 0x9E3779B9u;
        for (size_t k = 0; k < 256; ++k) {
            x = x * 1664525u + 1013904223u;
            scramble[k] = (x >> 8) & kSlotMask;
            x = x * 1664525u + 1013904223u;
            stride[k] = ((x >> 8) & kSlotMask) | 1u;
        }
    }

    int code_size = 2, clear = 4, end = 5, next = 6, width = 3;
    int prefix = -1;
    uint64_t acc = 0; // bits not yet written, least significant first
    int nbits = 0;
    // Where the packed codes go (room for code_bytes() of the pixels put), and how many
    // bytes are there.
    uint8_t *raw = nullptr;
    size_t used = 0;

    void reset_dictionary() {
        slot.fill(kEmpty);
        next = clear + 2;
        width = code_size + 1;
    }

    // A segment that follows another starts without a clear code: the one before ended with
    // it.
    void begin(int cs, uint8_t *out, bool lead) {
        code_size = cs;
        clear = 1 << cs;
        end = clear + 1;
        acc = 0;
        nbits = 0;
        prefix = -1;
        raw = out;
        used = 0;
        reset_dictionary();
        if (lead)
            emit(clear);
    }

    // Whole 32-bit words leave the accumulator: codes of at most 12 bits never overflow it.
    void emit(int code) {
        acc |= static_cast<uint64_t>(code) << nbits;
        nbits += width;
        if (nbits >= 32) {
            const uint32_t word = static_cast<uint32_t>(acc);
            raw[used] = static_cast<uint8_t>(word);
            raw[used + 1] = static_cast<uint8_t>(word >> 8);
            raw[used + 2] = static_cast<uint8_t>(word >> 16);
            raw[used + 3] = static_cast<uint8_t>(word >> 24);
            used += 4;
            acc >>= 32;
            nbits -= 32;
        }
        if (next > (1 << width) - 1 && width < kMaxBits)
            ++width;
    }

    void put(const uint8_t *px, size_t n) {
        size_t i = 0;
        if (prefix < 0 && n > 0)
            prefix = px[i++];
        int p = prefix;
        for (; i < n; ++i) {
            const int k = px[i];
            const uint32_t key = static_cast<uint32_t>(k) << 12 | static_cast<uint32_t>(p);
            uint32_t h = static_cast<uint32_t>(p) ^ scramble[static_cast<size_t>(k)];
            uint16_t c;
            while ((c = slot[h]) != kEmpty && pair[c] != key)
                h = (h + stride[static_cast<size_t>(k)]) & kSlotMask;
            if (c != kEmpty) {
                p = c;
                continue;
            }
            emit(p);
            if (next < kMaxCodes) {
                slot[h] = static_cast<uint16_t>(next);
                pair[static_cast<size_t>(next)] = key;
                ++next;
            } else {
                emit(clear);
                reset_dictionary();
            }
            p = k;
        }
        prefix = p;
    }

    // The last string, then `last` (the end code, or a clear code when another segment
    // follows), and the remaining bits padded to a byte. The number of bits coded.
    size_t close(int last) {
        if (prefix >= 0)
            emit(prefix);
        emit(last);
        const size_t bits = used * 8 + static_cast<size_t>(nbits);
        for (; nbits > 0; nbits -= 8) {
            raw[used++] = static_cast<uint8_t>(acc & 0xFF);
            acc >>= 8;
        }
        nbits = 0;
        acc = 0;
        return bits;
    }
};

namespace {

// The coded bits of a picture's segments, joined and cut into sub-blocks of 254 bytes with
// their lengths, written to the file through a small buffer that stays in cache: the codes of
// a picture are never copied whole (touching fresh memory costs more than the copy).
class BlockWriter {
  public:
    explicit BlockWriter(std::FILE *f) : file_(f) {}

    // Appends `bits` bits of src, least significant first.
    void put_bits(const uint8_t *src, size_t bits) {
        const size_t nsrc = (bits + 7) / 8;
        const unsigned shift = pending_bits_;
        const size_t total = shift + bits;
        if (shift == 0) {
            put(src, total / 8);
        } else {
            // Byte j of the joined stream: the bits left over from byte j - 1 and the low
            // bits of byte j.
            std::array<uint8_t, 4096> tmp;
            for (size_t j = 0; j < total / 8;) {
                const size_t m = std::min(tmp.size(), total / 8 - j);
                for (size_t i = 0; i < m; ++i, ++j)
                    tmp[i] = joined(src, nsrc, j, shift);
                put(tmp.data(), m);
            }
        }
        pending_bits_ = static_cast<unsigned>(total % 8);
        if (pending_bits_ != 0)
            pending_ = static_cast<uint8_t>(joined(src, nsrc, total / 8, shift) &
                                            ((1u << pending_bits_) - 1));
    }

    // The last byte, the last block and the terminator; true when all was written.
    bool finish() {
        if (pending_bits_ != 0)
            put(&pending_, 1);
        if (fill_ > 0)
            buf_[header_] = static_cast<uint8_t>(fill_);
        buf_[n_++] = 0x00; // block terminator
        drain();
        return ok_;
    }

  private:
    uint8_t joined(const uint8_t *src, size_t nsrc, size_t j, unsigned shift) const {
        const unsigned lo = j == 0 ? pending_ : static_cast<unsigned>(src[j - 1] >> (8 - shift));
        const unsigned hi = j < nsrc ? static_cast<unsigned>(src[j]) << shift : 0u;
        return static_cast<uint8_t>(lo | hi);
    }

    void put(const uint8_t *src, size_t len) {
        while (len > 0) {
            if (fill_ == 0) {
                if (n_ + kBlock + 2 > buf_.size())
                    drain();
                header_ = n_++;
            }
            const size_t k = std::min(kBlock - fill_, len);
            std::memcpy(buf_.data() + n_, src, k);
            n_ += k, src += k, len -= k, fill_ += k;
            if (fill_ == kBlock) {
                buf_[header_] = static_cast<uint8_t>(kBlock);
                fill_ = 0;
            }
        }
    }

    void drain() {
        if (ok_ && n_ > 0 && std::fwrite(buf_.data(), 1, n_, file_) != n_)
            ok_ = false;
        n_ = 0;
    }

    std::FILE *file_;
    std::array<uint8_t, 64 * (kBlock + 1)> buf_;
    size_t n_ = 0;      // bytes in buf_
    size_t header_ = 0; // where the open block's length goes
    size_t fill_ = 0;   // bytes in the open block
    uint8_t pending_ = 0;
    unsigned pending_bits_ = 0;
    bool ok_ = true;
};

// Room for the codes of n pixels: a code per pixel at most, of 12 bits at most on average
// between two clear codes (clear codes included: the early codes of a dictionary are
// narrower), and the last codes with their padding.
constexpr size_t code_bytes(size_t n) {
    return n + n / 2 + 64;
}

// Large pictures are coded in segments of whole rows, shared among the processors: each but
// the last ends with a clear code and the next starts from an empty dictionary, so segments
// are coded at once and their bits joined. The count depends on the picture alone, never on
// the machine or the thread count, so a file is the same wherever it is made; a picture of
// under half a million pixels is one segment. Several segments per processor even out
// pictures whose parts compress unequally.
constexpr size_t kSegmentPixels = 250000;
constexpr size_t kMaxSegments = 16;

// Coding threads for a thread count of 0 (one per processor) or more.
size_t threads_for(int n) {
    if (n > 0)
        return static_cast<size_t>(n);
    return std::max(1u, std::thread::hardware_concurrency());
}

} // namespace

// ===========================================================================
// Writer
// ===========================================================================

GifWriter::GifWriter() = default;
GifWriter::~GifWriter() = default;

bool GifWriter::open(const char *name, const Options &options) {
    opt_ = options;
    frames_ = 0;
    failed_ = false;
    out_.clear();
    global_.clear();
    file_ = FILE_open(name, "wb");
    if (!file_) {
        MESS_print(MESS_WARN, "Unable to open GIF file\n");
        return false;
    }
    return true;
}

bool GifWriter::flush() {
    if (failed_ || !file_)
        return false;
    if (!out_.empty() && std::fwrite(out_.data(), 1, out_.size(), file_.get()) != out_.size()) {
        MESS_print(MESS_WARN, "Unable to write GIF file\n");
        failed_ = true;
    }
    out_.clear();
    return !failed_;
}

bool GifWriter::add(IMAGE &image, int delay) {
    if (failed_ || !file_)
        return false;
    if (image.nx > 65535 || image.ny > 65535) {
        MESS_print(MESS_WARN, "GIF_write: image %dx%d too large for GIF\n", image.nx, image.ny);
        return false;
    }
    if (frames_ > 0 && (image.nx > width_ || image.ny > height_)) {
        MESS_print(MESS_WARN, "GIF_write: frame %dx%d larger than the first %dx%d\n", image.nx,
                   image.ny, width_, height_);
        return false;
    }
    const std::optional<CodecLayout> layout = CODEC_layout(image, "GIF_write");
    if (!layout)
        return false;
    // One-byte pixels become their own indices; wider ones get a separate buffer.
    const bool in_place = layout->bits == 8;
    CodecPalette pal;
    std::vector<uint8_t> index;
    CodecColours(image).print_masks();
    if (!CODEC_build_palette(image, pal, in_place ? nullptr : &index, "GIF_write"))
        return false;
    MESS_print(LEVEL_INFO, "num_color: %d\n", pal.count);

    int b = 1;
    while ((1 << b) < pal.count)
        ++b;
    const int table_size = 1 << b;
    const int code_size = std::max(b, 2);
    MESS_print(LEVEL_INFO, "num_color+: %d\n", table_size);
    MESS_print(LEVEL_INFO, "code_size: %d\n", code_size);

    std::vector<uint8_t> table(static_cast<size_t>(3 * table_size), 0); // black beyond colours
    for (int i = 0; i < pal.count; ++i)
        std::copy_n(pal.rgb[static_cast<size_t>(i)].begin(), 3, table.begin() + 3 * i);

    bool local = false;
    if (frames_ == 0) {
        width_ = image.nx;
        height_ = image.ny;
        global_ = table;
        const uint8_t head[6] = {'G', 'I', 'F', '8', '9', 'a'};
        out_.insert(out_.end(), head, head + 6);
        put16(out_, width_);
        put16(out_, height_);
        out_.push_back(static_cast<uint8_t>(0x80 | (b - 1) << 4 | (b - 1)));
        out_.push_back(0); // background index
        out_.push_back(0); // aspect ratio
        out_.insert(out_.end(), table.begin(), table.end());
        if (opt_.loops >= 0) {
            const char app[] = "NETSCAPE2.0";
            out_.push_back(0x21);
            out_.push_back(0xFF);
            out_.push_back(11);
            out_.insert(out_.end(), app, app + 11);
            out_.push_back(3);
            out_.push_back(1);
            put16(out_, opt_.loops);
            out_.push_back(0);
        }
    } else {
        local = table != global_;
    }

    if (opt_.transparent || opt_.always_control) {
        int tindex = 0;
        if (opt_.transparent && opt_.transparent_pixel >= 0 && opt_.transparent_pixel <= UINT32_MAX)
            tindex = std::max(pal.find(static_cast<uint32_t>(opt_.transparent_pixel)), 0);
        out_.push_back(0x21);
        out_.push_back(0xF9);
        out_.push_back(0x04);
        out_.push_back(opt_.transparent ? 0x01 : 0x00);
        put16(out_, std::clamp(delay, 0, 65535));
        out_.push_back(static_cast<uint8_t>(tindex));
        out_.push_back(0x00);
    }

    out_.push_back(0x2C);
    put16(out_, 0);
    put16(out_, 0);
    put16(out_, image.nx);
    put16(out_, image.ny);
    out_.push_back(
        static_cast<uint8_t>((opt_.interlace ? 0x40 : 0) | (local ? 0x80 | (b - 1) : 0)));
    if (local)
        out_.insert(out_.end(), table.begin(), table.end());
    out_.push_back(static_cast<uint8_t>(code_size));

    const auto nx = static_cast<size_t>(image.nx);
    const uint8_t *rows = in_place ? image.data.data() : index.data();
    const size_t stride = in_place ? static_cast<size_t>(image.bytes_per_line) : nx;
    const std::vector<int> order = row_order(image.ny, opt_.interlace);
    const size_t pixels = nx * order.size();
    const size_t segments =
        std::clamp<size_t>(pixels / kSegmentPixels, 1, std::min(kMaxSegments, order.size()));
    // Segment s codes rows [first(s), first(s + 1)) of the order into codes at offset(s).
    auto first = [&](size_t s) { return order.size() * s / segments; };
    std::vector<size_t> offset(segments + 1, 0), bits(segments, 0);
    for (size_t s = 0; s < segments; ++s)
        offset[s + 1] = offset[s] + code_bytes(nx * (first(s + 1) - first(s)));
    std::unique_ptr<uint8_t[]> codes;
    try {
        codes = std::make_unique_for_overwrite<uint8_t[]>(offset[segments]);
        while (coders_.size() < std::min(segments, threads_for(st().threads)))
            coders_.push_back(std::make_unique<Coder>());
    } catch (const std::bad_alloc &) {
        MESS_print(MESS_WARN, "GIF_write: no memory for a %dx%d picture\n", image.nx, image.ny);
        return false;
    }
    std::atomic<size_t> next_segment{0};
    auto work = [&](Coder &c) {
        for (size_t s; (s = next_segment++) < segments;) {
            c.begin(code_size, codes.get() + offset[s], s == 0);
            for (size_t r = first(s); r < first(s + 1); ++r)
                c.put(rows + static_cast<size_t>(order[r]) * stride, nx);
            bits[s] = c.close(s + 1 < segments ? c.clear : c.end);
        }
    };
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < coders_.size(); ++t) {
        try {
            helpers.emplace_back(work, std::ref(*coders_[t]));
        } catch (const std::system_error &) {
            break; // no more threads to be had: the others share the work
        }
    }
    work(*coders_[0]);
    for (std::thread &t : helpers)
        t.join();

    if (!flush()) // the header first
        return false;
    auto blocks = std::make_unique<BlockWriter>(file_.get());
    for (size_t s = 0; s < segments; ++s)
        blocks->put_bits(codes.get() + offset[s], bits[s]);
    if (!blocks->finish()) {
        MESS_print(MESS_WARN, "Unable to write GIF file\n");
        failed_ = true;
        return false;
    }
    ++frames_;
    return true;
}

bool GifWriter::finish() {
    if (!file_)
        return false;
    if (!failed_ && frames_ > 0) {
        out_.push_back(0x3B);
        flush();
    }
    FILE *f = file_.get();
    if (!failed_ && (std::fflush(f) != 0 || std::ferror(f))) {
        MESS_print(MESS_WARN, "Unable to write GIF file\n");
        failed_ = true;
    }
    file_.reset();
    return !failed_ && frames_ > 0;
}

int GIF_interlace(int on) {
    st().use_inter = on != 0;
    return 0;
}

int GIF_transparent(int on) {
    st().trans = on != 0;
    return 0;
}

void GIF_threads(int n) {
    st().threads = std::max(n, 0);
}

void GIF_reset_state() {
    st() = GifState{};
}

int GIF_write(const char *name, IMAGE *image) {
    print_size(*image);
    GifWriter::Options opt;
    opt.interlace = st().use_inter;
    opt.transparent = st().trans;
    opt.transparent_pixel = gget_color_ind(-1);
    GifWriter w;
    if (!w.open(name, opt))
        return 0;
    const bool ok = w.add(*image, 10);
    return w.finish() && ok ? 1 : 0;
}

// ===========================================================================
// Reader
// ===========================================================================

namespace {

// Codes from the sub-blocks of one image, least significant bit first. The data end at an
// empty sub-block or at the end of the file.
class CodeReader {
  public:
    explicit CodeReader(ByteCursor &in) : in_(in) {}
    // Next code of the given width, or -1 at the end of the data.
    int get(int width) {
        while (nbits_ < width) {
            if (left_ == 0) {
                const int len = in_.get_byte();
                if (len <= 0)
                    return -1;
                left_ = len;
            }
            const int b = in_.get_byte();
            if (b < 0)
                return -1;
            --left_;
            acc_ |= static_cast<uint32_t>(b) << nbits_;
            nbits_ += 8;
        }
        const int code = static_cast<int>(acc_ & ((1u << width) - 1));
        acc_ >>= width;
        nbits_ -= width;
        return code;
    }

  private:
    ByteCursor &in_;
    uint32_t acc_ = 0;
    int nbits_ = 0;
    int left_ = 0; // bytes left in the current sub-block
};

enum class Lzw { Done, Short, Bad };

// Decodes codes into frame (its size is the pixel count wanted); decoded tells how many.
Lzw lzw_decode(ByteCursor &in, int code_size, PixelVector<uint8_t> &frame, size_t &decoded,
               const char *name) {
    std::array<uint16_t, kMaxCodes> prefix{};
    std::array<uint8_t, kMaxCodes> suffix{};
    std::array<uint8_t, kMaxCodes> first{};
    std::array<uint16_t, kMaxCodes> length{};
    const int clear = 1 << code_size;
    const int end = clear + 1;
    for (int i = 0; i < clear; ++i) {
        suffix[static_cast<size_t>(i)] = first[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
        length[static_cast<size_t>(i)] = 1;
    }
    int next = clear + 2, width = code_size + 1, prev = -1;
    CodeReader codes(in);
    const size_t want = frame.size();
    decoded = 0;
    while (decoded < want) {
        const int code = codes.get(width);
        if (code < 0)
            return Lzw::Short;
        if (code == clear) {
            next = clear + 2;
            width = code_size + 1;
            prev = -1;
            continue;
        }
        if (code == end)
            return Lzw::Done;
        if (prev < 0) {
            if (code > clear) {
                MESS_print(MESS_WARN, "GIF_read: %s: LZW code %d before any string\n", name, code);
                return Lzw::Bad;
            }
        } else {
            if (code > next) {
                MESS_print(MESS_WARN, "GIF_read: %s: LZW code %d beyond the table (%d)\n", name,
                           code, next);
                return Lzw::Bad;
            }
            if (next >= kMaxCodes) {
                MESS_print(MESS_WARN, "GIF_read: %s: LZW table full without a clear code\n", name);
                return Lzw::Bad;
            }
            // A code not yet in the table is the previous string plus its own first pixel.
            const auto n = static_cast<size_t>(next);
            const auto p = static_cast<size_t>(prev);
            prefix[n] = static_cast<uint16_t>(prev);
            suffix[n] = code == next ? first[p] : first[static_cast<size_t>(code)];
            first[n] = first[p];
            length[n] = static_cast<uint16_t>(length[p] + 1);
            if (next == (1 << width) - 1 && width < kMaxBits)
                ++width;
            ++next;
        }
        prev = code;
        // The string, written backwards from its last pixel; cut at the frame's end.
        auto c = static_cast<size_t>(code);
        const size_t len = length[c];
        size_t k = len;
        while (k > 0 && decoded + k > want) {
            c = prefix[c];
            --k;
        }
        uint8_t *dst = frame.data() + decoded;
        for (size_t i = k; i > 0; --i) {
            dst[i - 1] = suffix[c];
            c = prefix[c];
        }
        decoded += k;
    }
    return Lzw::Done;
}

void skip_sub_blocks(ByteCursor &in) {
    for (;;) {
        const int len = in.get_byte();
        if (len <= 0 || !in.skip(len))
            return;
    }
}

// The fixed block of an extension: its size byte and up to 255 bytes.
int read_block(ByteCursor &in, std::array<uint8_t, 256> &buf) {
    buf.fill(0);
    const int len = in.get_byte();
    if (len <= 0)
        return len;
    in.read(buf.data(), static_cast<size_t>(len));
    return len;
}

void read_extension(ByteCursor &in) {
    const int label = in.get_byte();
    MESS_print(LEVEL_INFO, "Graphics Control Extension\n");
    MESS_print(LEVEL_INFO, "Extension Label: %2X\n", label < 0 ? 0 : label);
    std::array<uint8_t, 256> b;
    if (label == 0xF9) {
        MESS_print(LEVEL_INFO, "Control Extension\n");
        const int size = read_block(in, b);
        MESS_print(LEVEL_INFO, "Block size: %d\n", size);
        static const char *const disposal[4] = {
            "No disposal specified\n", "Do not dispose. graphic left in tact\n",
            "Restore to background color\n", "Restore to previous image\n"};
        const int d = (b[0] >> 2) & 7;
        if (d < 4)
            MESS_print(LEVEL_INFO, "%s", disposal[d]);
        MESS_print(LEVEL_INFO, (b[0] & 2) ? "User input expected\n" : "User input not expected\n");
        MESS_print(LEVEL_INFO,
                   (b[0] & 1) ? "Transparent index given\n" : "Transparent index not given\n");
        const int delay = b[1] | b[2] << 8;
        MESS_print(LEVEL_INFO, "Delay time: %d %.2f\n", delay, delay / 100.0);
        MESS_print(LEVEL_INFO, "Transparent color index: %d\n", b[3]);
        if (size > 0)
            skip_sub_blocks(in);
    } else if (label == 0xFF) {
        MESS_print(LEVEL_INFO, "Application Extension\n");
        const int size = read_block(in, b);
        MESS_print(LEVEL_INFO, "Block size: %d\n", size);
        MESS_print(LEVEL_INFO, "Application identifier: %8.8s\n",
                   std::string(reinterpret_cast<const char *>(b.data()), 8).c_str());
        MESS_print(LEVEL_INFO, "Application authentication: %3.3s\n",
                   std::string(reinterpret_cast<const char *>(b.data() + 8), 3).c_str());
        if (size > 0)
            skip_sub_blocks(in);
    } else if (label == 0xFE) {
        MESS_print(LEVEL_INFO, "Comment Data\n");
        const int size = in.get_byte();
        MESS_print(LEVEL_INFO, "Block size: %d\n", size);
        if (size > 0 && in.skip(size))
            skip_sub_blocks(in);
    } else if (label >= 0) {
        skip_sub_blocks(in);
    }
}

bool read_table(ByteCursor &in, int entries, std::vector<float> &rgb) {
    std::vector<uint8_t> raw(static_cast<size_t>(3 * entries));
    if (in.read(raw.data(), raw.size()) != raw.size())
        return false;
    rgb.resize(raw.size());
    for (size_t i = 0; i < raw.size(); ++i)
        rgb[i] = raw[i] / 255.0f;
    return true;
}

// The first image: descriptor, tables, codes, rows into place.
int read_image(ByteCursor &in, IMAGE &im, bool have_global, const char *name) {
    uint8_t d[9];
    if (in.read(d, 9) != 9) {
        MESS_print(MESS_WARN, "GIF_read: %s: file ends in the image descriptor\n", name);
        return 0;
    }
    const int left = d[0] | d[1] << 8, top = d[2] | d[3] << 8;
    const int w = d[4] | d[5] << 8, h = d[6] | d[7] << 8;
    const int packed = d[8];
    MESS_print(LEVEL_INFO, "X: %3d Y: %3d W: %3d H: %3d\n", left, top, w, h);
    if (packed & 0x80) {
        // A local table stands in only for a missing global one.
        const int entries = 1 << ((packed & 7) + 1);
        auto local = std::make_shared<std::vector<float>>();
        if (!read_table(in, entries, *local)) {
            MESS_print(MESS_WARN, "GIF_read: %s: file ends in the local colour table\n", name);
            return 0;
        }
        if (!have_global) {
            im.colors = std::move(local);
            im.num_colors = entries;
        }
    }
    const int code_size = in.get_byte();
    if (code_size < 1 || code_size > 8) {
        MESS_print(MESS_WARN, "GIF_read: %s: bad LZW code size %d\n", name, code_size);
        return 0;
    }
    if (int64_t{w} * h > CODEC_max_pixels()) {
        MESS_print(MESS_WARN, "GIF_read: %s: image size %dx%d refused\n", name, w, h);
        return 0;
    }
    PixelVector<uint8_t> frame;
    if (!CODEC_alloc(frame, static_cast<size_t>(w) * static_cast<size_t>(h))) {
        MESS_print(MESS_WARN, "Unable to allocate data buffer.\n");
        return 0;
    }
    size_t decoded = 0;
    const Lzw r = lzw_decode(in, code_size, frame, decoded, name);
    if (r == Lzw::Bad)
        return 0;
    if (decoded < frame.size())
        MESS_print(MESS_WARN, "GIF_read: %s: image data end after %zu of %zu pixels\n", name,
                   decoded, frame.size());

    // Rows into the screen, clipped to it.
    const std::vector<int> rows = row_order(h, (packed & 0x40) != 0);
    const int x0 = std::min(left, im.nx);
    const int cols = std::max(0, std::min(w, im.nx - left));
    for (int i = 0; i < h; ++i) {
        const int y = top + rows[static_cast<size_t>(i)];
        if (y >= im.ny || cols == 0)
            continue;
        std::copy_n(frame.begin() + static_cast<long>(i) * w, cols,
                    im.data.begin() + static_cast<long>(y) * im.bytes_per_line + x0);
    }
    return 1;
}

} // namespace

int GIF_read(const char *name, IMAGE *image, int mode) {
    FilePtr fp = FILE_open(name, "rb");
    if (!fp) {
        MESS_print(MESS_WARN, "GIF_read: Unable to open file\n");
        return 0;
    }
    ByteCursor in(fp.get());
    CODEC_skip_star_line(in);
    uint8_t sig[6];
    if (in.read(sig, 3) != 3 || std::memcmp(sig, "GIF", 3) != 0) {
        MESS_print(MESS_WARN, "GIF_read: Not a GIF file\n");
        return 0;
    }
    IMG_init(image);
    IMAGE &im = *image;
    uint8_t lsd[7];
    if (in.read(sig + 3, 3) != 3 || in.read(lsd, 7) != 7) {
        MESS_print(MESS_WARN, "GIF_read: %s: file ends in the screen descriptor\n", name);
        return 0;
    }
    im.nx = lsd[0] | lsd[1] << 8;
    im.ny = lsd[2] | lsd[3] << 8;
    im.depth = 8;
    im.bits_per_pixel = 8;
    im.bytes_per_line = im.nx;
    im.byte_order = 1;
    im.color_type = 1;
    im.num_colors = 1 << ((lsd[4] & 7) + 1);
    im.info = "GIF";
    MESS_print(LEVEL_INFO, "type: %s\n", im.info.c_str());
    MESS_print(LEVEL_INFO, "width: %d\n", im.nx);
    MESS_print(LEVEL_INFO, "height: %d\n", im.ny);
    MESS_print(LEVEL_INFO, "depth: %d\n", im.depth);
    MESS_print(LEVEL_INFO, "bytes_per_line: %d\n", im.bytes_per_line);
    if (mode == 1)
        return 1;

    if (im.nx < 1 || im.ny < 1 || int64_t{im.nx} * im.ny > CODEC_max_pixels()) {
        MESS_print(MESS_WARN, "GIF_read: %s: image size %dx%d refused\n", name, im.nx, im.ny);
        IMG_free(image);
        return 0;
    }
    const bool have_global = (lsd[4] & 0x80) != 0;
    if (have_global) {
        MESS_print(LEVEL_INFO, "color table size: %d\n", im.num_colors);
        auto table = std::make_shared<std::vector<float>>();
        if (!read_table(in, im.num_colors, *table)) {
            MESS_print(MESS_WARN, "GIF_read: %s: file ends in the colour table\n", name);
            IMG_free(image);
            return 0;
        }
        im.colors = std::move(table);
    }
    if (!CODEC_alloc(im.data,
                     static_cast<size_t>(im.bytes_per_line) * static_cast<size_t>(im.ny))) {
        MESS_print(MESS_WARN, "Unable to allocate data buffer.\n");
        IMG_free(image);
        return 0;
    }

    for (;;) {
        const int b = in.get_byte();
        if (b < 0 || b == 0x3B) {
            MESS_print(MESS_WARN, "GIF_read: %s: no image in the file\n", name);
            break;
        }
        if (b == 0x21) {
            read_extension(in);
        } else if (b == 0x2C) {
            if (read_image(in, im, have_global, name) == 1) {
                if (!im.colors) {
                    // Neither table: grey levels keep the record usable.
                    auto grey = std::make_shared<std::vector<float>>();
                    for (int i = 0; i < im.num_colors; ++i)
                        grey->insert(grey->end(), 3, static_cast<float>(i) / (im.num_colors - 1));
                    im.colors = std::move(grey);
                }
                return 1;
            }
            break;
        }
        // Other bytes between blocks are passed over.
    }
    IMG_free(image);
    return 0;
}
