#include "sat/img_io.h"

#include "gks/gks_dump.h"
#include "gks/gks_x11.h"
#include "sat/img_tool.h"

void IMG_register_io() {
    gset_image_io(IMG_read, gwrite_image_file);
}
