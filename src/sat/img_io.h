// Image files for the graphics kernel. The kernel's window loads and saves pictures only
// through the reader and writer registered with gset_image_io, because the generic reader
// (IMG_read) lives in this layer. The program's start-up calls IMG_register_io once, and
// tests that load or save pictures through the kernel call it too.
#pragma once

// Registers IMG_read and the kernel's GIF / PNG / XWD writer (gwrite_image_file).
void IMG_register_io();
