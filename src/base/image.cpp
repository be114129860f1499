#include "base/image.h"

#include <algorithm>
#include <new>

int IMG_init(IMAGE *image) {
    *image = IMAGE{};
    return 0;
}

int IMG_free(IMAGE *image) {
    PixelVector<uint8_t>().swap(image->data);
    image->colors.reset();
    image->num_colors = 0;
    return 0;
}

int IMG_copy(IMAGE *to, const IMAGE *from) {
    if (to == from)
        return 1;
    PixelVector<uint8_t> pixels;
    int ok = 1;
    if (!from->data.empty() && from->bytes_per_line > 0 && from->ny > 0) {
        const size_t n = static_cast<size_t>(from->bytes_per_line) * static_cast<size_t>(from->ny);
        try {
            pixels.assign(n, 0);
            std::copy_n(from->data.begin(), std::min(n, from->data.size()), pixels.begin());
        } catch (const std::bad_alloc &) {
            pixels.clear();
            ok = 0;
        }
    }
    to->source = from->source;
    to->type = from->type;
    to->version = from->version;
    to->label = from->label;
    to->date = from->date;
    to->info = from->info;
    to->nx = from->nx;
    to->ny = from->ny;
    to->depth = from->depth;
    to->res_x = from->res_x;
    to->res_y = from->res_y;
    to->off_x = from->off_x;
    to->off_y = from->off_y;
    to->bits_per_pixel = from->bits_per_pixel;
    to->bytes_per_line = from->bytes_per_line;
    to->byte_order = from->byte_order;
    to->color_type = from->color_type;
    to->num_colors = from->num_colors;
    to->red_mask = from->red_mask;
    to->green_mask = from->green_mask;
    to->blue_mask = from->blue_mask;
    to->colors = from->colors;
    to->transparent = from->transparent;
    to->domain = from->domain;
    to->data = std::move(pixels);
    return ok;
}

void IMG_set_label(IMAGE *image, const std::string &text) {
    image->label = text.substr(0, IMG_LABEL_MAX);
}

void IMG_set_info(IMAGE *image, const std::string &text) {
    image->info = text.substr(0, IMG_INFO_MAX);
}
