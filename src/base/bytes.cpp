#include "base/bytes.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

ByteCursor::ByteCursor(FILE *stream, size_t buffer_size)
    : f_(stream), own_(std::max<size_t>(buffer_size, 16)), buf_(own_.data()) {
    if (!f_) {
        eof_ = true;
        return;
    }
    if (const off_t at = ftello(f_); at > 0)
        begin_ = static_cast<int64_t>(at);
    struct stat sb {};
    const int fd = fileno(f_);
    if (fd >= 0 && fstat(fd, &sb) == 0 && S_ISREG(sb.st_mode))
        size_ = static_cast<int64_t>(sb.st_size);
}

ByteCursor::ByteCursor(std::span<const uint8_t> bytes)
    : buf_(bytes.data()), len_(bytes.size()), eof_(true),
      size_(static_cast<int64_t>(bytes.size())) {}

bool ByteCursor::refill() {
    if (!f_ || eof_)
        return false;
    begin_ += static_cast<int64_t>(len_);
    at_ = 0;
    len_ = std::fread(own_.data(), 1, own_.size(), f_);
    if (len_ == 0)
        eof_ = true;
    return len_ > 0;
}

size_t ByteCursor::read(std::span<uint8_t> dst) {
    const size_t n = dst.size();
    size_t done = 0;
    while (done < n) {
        if (at_ < len_) {
            const size_t k = std::min(n - done, len_ - at_);
            std::memcpy(dst.data() + done, buf_ + at_, k);
            at_ += k;
            done += k;
        } else if (f_ && n - done >= own_.size()) {
            // Large remainders go straight into the caller's memory.
            const size_t k = eof_ ? 0 : std::fread(dst.data() + done, 1, n - done, f_);
            begin_ += static_cast<int64_t>(len_ + k);
            at_ = len_ = 0;
            done += k;
            if (k == 0) {
                eof_ = true;
                break;
            }
        } else if (!refill()) {
            break;
        }
    }
    return done;
}

bool ByteCursor::seek(int64_t target) {
    if (target < 0)
        return false;
    if (target >= begin_ && target <= begin_ + static_cast<int64_t>(len_)) {
        at_ = static_cast<size_t>(target - begin_);
        return true;
    }
    if (!f_)
        return false;
    if (fseeko(f_, static_cast<off_t>(target), SEEK_SET) == 0) {
        begin_ = target;
        at_ = len_ = 0;
        eof_ = false;
        return size_ < 0 || target <= size_;
    }
    if (target < begin_)
        return false;
    // A stream that cannot seek is read forward to the target.
    while (pos() < target) {
        if (at_ == len_ && !refill())
            return false;
        const int64_t k = std::min<int64_t>(target - pos(), static_cast<int64_t>(len_ - at_));
        at_ += static_cast<size_t>(k);
    }
    return true;
}

std::optional<uint64_t> ByteCursor::get_uint(size_t bytes, std::endian order) {
    uint8_t b[8];
    if (read(b, bytes) != bytes)
        return std::nullopt;
    uint64_t v = 0;
    for (size_t i = 0; i < bytes; ++i) {
        const size_t k = order == std::endian::big ? i : bytes - 1 - i;
        v = v << 8 | b[k];
    }
    return v;
}

std::optional<uint8_t> ByteCursor::u8() {
    const int b = get_byte();
    if (b < 0)
        return std::nullopt;
    return static_cast<uint8_t>(b);
}

std::optional<uint16_t> ByteCursor::u16(std::endian order) {
    const auto v = get_uint(2, order);
    if (!v)
        return std::nullopt;
    return static_cast<uint16_t>(*v);
}

std::optional<uint32_t> ByteCursor::u32(std::endian order) {
    const auto v = get_uint(4, order);
    if (!v)
        return std::nullopt;
    return static_cast<uint32_t>(*v);
}

std::optional<uint64_t> ByteCursor::u64(std::endian order) {
    return get_uint(8, order);
}

std::optional<int16_t> ByteCursor::i16(std::endian order) {
    const auto v = u16(order);
    if (!v)
        return std::nullopt;
    return static_cast<int16_t>(*v);
}

std::optional<int32_t> ByteCursor::i32(std::endian order) {
    const auto v = u32(order);
    if (!v)
        return std::nullopt;
    return static_cast<int32_t>(*v);
}

// ===========================================================================
// Byte-order helpers: the process-wide swap flag
// ===========================================================================

namespace {

bool host_little_endian() {
    const uint32_t probe = 1;
    uint8_t first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

struct SwapState {
    bool swap = true; // byte-order helpers: swap items
};

SwapState &st() {
    static SwapState s;
    return s;
}

} // namespace

void swap_reset_state() {
    st() = SwapState{};
}

// ===========================================================================
// Byte-order helpers
// ===========================================================================

namespace {

template <size_t N> void reverse_bytes(void *p) {
    auto *b = static_cast<uint8_t *>(p);
    std::reverse(b, b + N);
}

} // namespace

int swap_setup(int mode) {
    const bool little = host_little_endian();
    switch (mode) {
    case -1:
        st().swap = false;
        break;
    case 0:
        st().swap = true;
        break;
    case 1:
        st().swap = little;
        break;
    case 2:
        st().swap = !little;
        break;
    default:
        break;
    }
    return 0;
}

bool swap_active() {
    return st().swap;
}

int swap_long(void *p) {
    if (!st().swap)
        return -1;
    reverse_bytes<4>(p);
    return 0;
}

int swap_short(void *p) {
    if (!st().swap)
        return -1;
    reverse_bytes<2>(p);
    return 0;
}

int swap_double(void *p) {
    if (!st().swap)
        return -1;
    reverse_bytes<8>(p);
    return 0;
}

int swap_longs(void *p, int n) {
    if (!st().swap)
        return -1;
    auto *b = static_cast<uint8_t *>(p);
    for (int i = 0; i < n; ++i)
        reverse_bytes<4>(b + 4 * static_cast<size_t>(i));
    return 0;
}

int swap_shorts(void *p, int n) {
    if (!st().swap)
        return -1;
    auto *b = static_cast<uint8_t *>(p);
    for (int i = 0; i < n; ++i)
        reverse_bytes<2>(b + 2 * static_cast<size_t>(i));
    return 0;
}

size_t fread_double_swap(void *p, FILE *stream) {
    size_t n = std::fread(p, 8, 1, stream);
    if (n == 1)
        swap_double(p);
    return n;
}

size_t fread_long_swap(void *p, FILE *stream) {
    size_t n = std::fread(p, 4, 1, stream);
    if (n == 1)
        swap_long(p);
    return n;
}

size_t fread_short_swap(void *p, FILE *stream) {
    size_t n = std::fread(p, 2, 1, stream);
    if (n == 1)
        swap_short(p);
    return n;
}

size_t fwrite_long_swap(void *p, FILE *stream) {
    swap_long(p);
    return std::fwrite(p, 4, 1, stream);
}

size_t fwrite_short_swap(void *p, FILE *stream) {
    swap_short(p);
    return std::fwrite(p, 2, 1, stream);
}

void fswap(float *a, float *b) {
    std::swap(*a, *b);
}
void fswap(double *a, double *b) {
    std::swap(*a, *b);
}
