// GIF89a pictures: the writer with its own LZW coder, and the reader.
//
// A window dump grabs an IMAGE and calls GIF_write. An animation is the same coder over
// several frames: open a GifWriter, add the frames one by one with their delays, finish.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/file_io.h"
#include "base/image.h"

// Writes the record as a one-picture GIF; its pixel data are replaced by palette indices.
// 1 on success, 0 on failure.
int GIF_write(const char *name, IMAGE *image);
// Reads the first picture of a GIF file; mode 1 stops after the screen descriptor (size and
// type only). 1 on success, 0 on failure.
int GIF_read(const char *name, IMAGE *image, int mode);
// Interlaced output and the transparent colour (the background's pixel) for the writers;
// both off at start. They return 0.
int GIF_interlace(int on);
int GIF_transparent(int on);
// Threads that code one picture: 0 (the default) for one per processor. A file does not
// depend on it.
void GIF_threads(int n);
// Both switches off, threads back to 0.
void GIF_reset_state();

// Writes frames into one GIF file. The first frame fixes the screen size and the global
// colour table; a later frame whose palette differs brings its own local table.
class GifWriter {
  public:
    struct Options {
        bool interlace = false;
        // Transparent colour: the palette index of transparent_pixel (0 when that value
        // does not occur).
        bool transparent = false;
        int64_t transparent_pixel = -1;
        // Looping extension: 0 loops for ever, n > 0 repeats n times, negative writes none.
        int loops = -1;
        // Always precede a frame with a graphic control extension (animations); otherwise
        // only when a transparent colour is given.
        bool always_control = false;
    };
    GifWriter();
    ~GifWriter();
    GifWriter(const GifWriter &) = delete;
    GifWriter &operator=(const GifWriter &) = delete;

    // Opens the file through FILE_open; false (with a message) when it cannot.
    bool open(const char *name, const Options &options);
    // Codes one frame: its palette indices replace the record's pixels. Delay in hundredths
    // of a second. False on failure (the first write error sticks).
    bool add(IMAGE &image, int delay);
    // Writes the trailer and closes the file; true when everything was written.
    bool finish();

    // Frames written so far.
    int frames() const { return frames_; }

  private:
    struct Coder;
    bool flush();
    FilePtr file_;
    Options opt_;
    std::vector<uint8_t> out_;                   // bytes not yet written
    std::vector<std::unique_ptr<Coder>> coders_; // one per coding thread
    int frames_ = 0;
    int width_ = 0, height_ = 0;
    std::vector<uint8_t> global_; // global colour table, 3 x 2^b bytes
    bool failed_ = false;
};
