// Bounds-checked reading of binary data for the image readers and codecs: one
// cursor over a stream (read through one buffer) or over bytes in memory, with
// big- and little-endian getters. Every getter fails at the end of the data
// instead of running past it. Positions are byte offsets in the stream (a
// stream opened elsewhere keeps its own offsets) or in the memory block. Also the
// byte-order helpers of the readers and writers that work on whole words in place.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <vector>

class ByteCursor {
  public:
    // Reads the stream from its current position on; the stream stays open.
    explicit ByteCursor(FILE *stream, size_t buffer_size = size_t{1} << 16);
    // Reads bytes that outlive the cursor.
    explicit ByteCursor(std::span<const uint8_t> bytes);
    ByteCursor(const ByteCursor &) = delete;
    ByteCursor &operator=(const ByteCursor &) = delete;
    ByteCursor(ByteCursor &&) = default;
    ByteCursor &operator=(ByteCursor &&) = default;

    // Total size of the data: the memory block's, or a regular file's; -1 when
    // unknown (pipes, memory streams).
    int64_t size() const { return size_; }
    int64_t pos() const { return begin_ + static_cast<int64_t>(at_); }

    // Next byte 0-255, or -1 at the end of the data.
    int get_byte() {
        if (at_ == len_ && !refill())
            return -1;
        return buf_[at_++];
    }
    // The byte at the read position without consuming it, -1 at the end.
    int peek_byte() {
        if (at_ == len_ && !refill())
            return -1;
        return buf_[at_];
    }
    // Copies up to dst.size() bytes; the count copied (short only at the end).
    size_t read(std::span<uint8_t> dst);
    size_t read(uint8_t *dst, size_t n) { return read(std::span<uint8_t>(dst, n)); }
    // Moves the read position. Backwards only within the buffer, in memory or on
    // a seekable stream; false when the position cannot be reached.
    bool seek(int64_t target);
    bool skip(int64_t n) { return n >= 0 && seek(pos() + n); }

    // Integers in the given byte order. Empty when the data end first; the
    // cursor then stands at the end.
    std::optional<uint8_t> u8();
    std::optional<uint16_t> u16(std::endian order);
    std::optional<uint32_t> u32(std::endian order);
    std::optional<uint64_t> u64(std::endian order);
    std::optional<int16_t> i16(std::endian order);
    std::optional<int32_t> i32(std::endian order);

  private:
    bool refill();
    std::optional<uint64_t> get_uint(size_t bytes, std::endian order);

    FILE *f_ = nullptr;        // null for bytes in memory
    std::vector<uint8_t> own_; // the stream's buffer
    const uint8_t *buf_ = nullptr;
    size_t len_ = 0;    // valid bytes at buf_
    size_t at_ = 0;     // read position at buf_
    int64_t begin_ = 0; // offset of buf_[0]
    bool eof_ = false;
    int64_t size_ = -1;
};

// ===========================================================================
// Byte-order helpers
// ===========================================================================
//
// One process-wide swap flag, set by swap_setup from the byte order of the data
// about to be read: -1 never swap; 0 always swap; 1 the data are big-endian
// (swap on a little-endian host); 2 the data are little-endian (swap on a
// big-endian host). The flag starts set. The flag stays in force until the next
// swap_setup, so a reader's setting is seen by later users of the helpers.

int swap_setup(int mode);
// True when the helpers currently swap.
bool swap_active();
// Reverse the 4, 2 or 8 bytes at p in place when the flag is set (result 0);
// -1 and the bytes untouched when it is clear.
int swap_long(void *p);
int swap_short(void *p);
int swap_double(void *p);
// The same for n consecutive items; -1 when the flag is clear, 0 otherwise (also
// for n < 1, when nothing is done).
int swap_longs(void *p, int n);
int swap_shorts(void *p, int n);
// Read one item of 8, 4 or 2 bytes, swap it when one item was read; the item count.
size_t fread_double_swap(void *p, FILE *stream);
size_t fread_long_swap(void *p, FILE *stream);
size_t fread_short_swap(void *p, FILE *stream);
// Swap the item in place and write it: the caller's item stays in file order.
size_t fwrite_long_swap(void *p, FILE *stream);
size_t fwrite_short_swap(void *p, FILE *stream);
// Exchanges two values.
void fswap(float *a, float *b);
void fswap(double *a, double *b);
// Back to the start-up state: the swap flag set.
void swap_reset_state();
