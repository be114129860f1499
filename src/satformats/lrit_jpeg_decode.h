// The body of the LRIT JPEG decoder, compiled once per libjpeg build: the
// including file first makes that build's jpeglib.h and jerror.h visible, then
// includes this file and calls decode_jpeg. No include guard on purpose.
//
// libjpeg reports a fatal error through error_exit, which must not return. The
// one here jumps back into decode_jpeg with longjmp; between the two there are
// only the library's C frames, and decode_jpeg keeps nothing but plain C data
// in automatic storage, so the jump skips no destructor.
#include <csetjmp>
#include <cstring>

#include "base/mess.h"
#include "satformats/lrit_jpeg.h"

namespace {

constexpr uint32_t kJpegTrace = 0x80000000u;

struct Errors {
    jpeg_error_mgr pub;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void error_exit(j_common_ptr cinfo) {
    auto *err = reinterpret_cast<Errors *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->back, 1);
}

// Warnings (level -1) are shown once per stream, as the library's own handler
// does; trace messages go to the JPEG trace level.
void emit_message(j_common_ptr cinfo, int level) {
    jpeg_error_mgr *err = cinfo->err;
    char text[JMSG_LENGTH_MAX];
    if (level < 0) {
        if (err->num_warnings++ > 0 && err->trace_level < 3)
            return;
        (*err->format_message)(cinfo, text);
        MESS_print(MESS_WARN, "SAT_read_LRIT: JPEG data: %s\n", text);
    } else if (err->trace_level >= level) {
        (*err->format_message)(cinfo, text);
        MESS_print(kJpegTrace, "%s\n", text);
    }
}

// The whole stream is in memory. Its end reads as an end-of-image marker after
// a warning, as with the library's file source, so a cut stream decodes to the
// end with the missing part blank.
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void init_source(j_decompress_ptr) {}
void term_source(j_decompress_ptr) {}

boolean fill_input_buffer(j_decompress_ptr cinfo) {
    cinfo->err->msg_code = JWRN_JPEG_EOF;
    (*cinfo->err->emit_message)(reinterpret_cast<j_common_ptr>(cinfo), -1);
    cinfo->src->next_input_byte = kEndOfImage;
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
}

void skip_input_data(j_decompress_ptr cinfo, long count) {
    jpeg_source_mgr *src = cinfo->src;
    if (count <= 0)
        return;
    if (static_cast<unsigned long>(count) > src->bytes_in_buffer) {
        fill_input_buffer(cinfo);
        return;
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<size_t>(count);
}

int decode_jpeg(std::span<const uint8_t> stream, const LRIT_JPEG_TARGET &t) {
    jpeg_decompress_struct cinfo;
    jpeg_source_mgr source;
    Errors err;
    std::memset(&cinfo, 0, sizeof cinfo);
    std::memset(&source, 0, sizeof source);
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = error_exit;
    err.pub.emit_message = emit_message;
    err.message[0] = '\0';
    if (setjmp(err.back)) {
        jpeg_destroy_decompress(&cinfo);
        MESS_print(MESS_WARN, "SAT_read_LRIT: JPEG data: %s\n", err.message);
        return -1;
    }
    jpeg_create_decompress(&cinfo);
    if (t.trace)
        err.pub.trace_level += 1;
    source.init_source = init_source;
    source.fill_input_buffer = fill_input_buffer;
    source.skip_input_data = skip_input_data;
    source.resync_to_restart = jpeg_resync_to_restart;
    source.term_source = term_source;
    source.next_input_byte = stream.data();
    source.bytes_in_buffer = stream.size();
    cinfo.src = &source;

    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.image_width > static_cast<unsigned>(t.nx) ||
        cinfo.image_height > static_cast<unsigned>(t.ny)) {
        MESS_print(MESS_WARN, "SAT_read_LRIT: JPEG image of %ux%u is larger than the %dx%d image\n",
                   static_cast<unsigned>(cinfo.image_width),
                   static_cast<unsigned>(cinfo.image_height), t.nx, t.ny);
        jpeg_destroy_decompress(&cinfo);
        return -1;
    }
    // Grey images, and the luminance of colour ones.
    if (cinfo.jpeg_color_space == JCS_YCbCr || cinfo.jpeg_color_space == JCS_GRAYSCALE)
        cinfo.out_color_space = JCS_GRAYSCALE;
    jpeg_start_decompress(&cinfo);
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(
        reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
        cinfo.output_width * static_cast<JDIMENSION>(cinfo.output_components), 1);
    MESS_print(kJpegTrace, "COLOR: %d %d %d %d\n", static_cast<int>(cinfo.out_color_space),
               static_cast<int>(cinfo.quantize_colors), cinfo.actual_number_of_colors,
               cinfo.colormap ? 1 : 0);
    const int width = static_cast<int>(cinfo.output_width);
    const int height = static_cast<int>(cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
        const int line = static_cast<int>(cinfo.output_scanline);
        if (jpeg_read_scanlines(&cinfo, row, 1) != 1)
            break;
        lrit_detail::store_line(t, line, height, row[0], width, cinfo.output_components);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return 0;
}

} // namespace
