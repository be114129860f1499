// Frame composition: turns the image the driver has just read into one finished picture
// in the selected frame of the workstation. The image is fitted to the plot domain
// (remap or zoom), optionally saved as a native image file, coloured, drawn between the
// map layers under and over it, followed by the colour bar and the labels; its pixels
// are released at the end.
#pragma once

#include <string>

#include "base/date.h"
#include "base/image.h"
#include "sat/sat_geom.h"

// Everything one frame is made from. The composer changes nothing else of the driver.
struct SAT_FRAME {
    IMAGE *image = nullptr;          // the image read; its pixels are released at the end
    DOMAIN user_domain;              // the domain asked for in this run
    DOMAIN *plot_domain = nullptr;   // out: the domain of the picture as displayed
    SAT_GEOM geom;                   // plot parameters, window size and navigation
    DATE file_date;                  // date of the file, naming the native output file
    std::string *filename = nullptr; // out: the native output file's name, when one is written
};

// Composes one frame. Returns 0.
int SAT_compose_frame(const SAT_FRAME &frame);
// Composes the frame of the driver's current image, domain, file date and parameters,
// with the window size of the open plot and the process-wide navigation. Returns 0.
int SAT_plot_frame();
