// Device interface of the graphics kernel.
//
// The kernel owns everything common to all workstations: transformations, clipping,
// attribute state with its validity checks, the redraw store and the stroke fonts. It
// talks to the one open workstation through this interface. Each device (X11 window and
// pixmap, PostScript, text metafile, CGM, HP-GL) implements it in its own file and is
// listed in the device table (gks_devtab.cpp): adding a device adds one row there.
//
// All calls arrive after the kernel has checked and stored the new state, so a device can
// read any current value through the kernel's accessors. Coordinates handed over are
// world coordinates (GPoint) unless a name says device units (DPoint); device units are
// X11 pixels (y down) for workstation types 1 and 6, and points, plotter units or metafile
// units (y up) for the others. Default implementations do nothing, so a device writes only
// what it can show.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

struct IMAGE;

struct GPoint {
    float x = 0, y = 0;
};

// A point in device units.
struct DPoint {
    float x = 0, y = 0;
};

// Attribute that has just changed; its value is in the kernel (gget_... / ginq_...).
enum class GAttr {
    LineColr,
    LineWidth,
    LineType,
    LinePrintBold,
    LineGcFunc,
    MarkColr,
    MarkSize,
    MarkWidth,
    MarkType,
    FillColr,
    FillInt,
    FillStyle,
    FillPrintSolid,
    TextColr,
    CharHt,
    Expan,
    TextWidth,
    Space,
    CharSpace,
    CharUp,
    TextAlign,
    FontPrec,
};

// The current viewport in device units, for clipping. Pixel devices use x, y, width,
// height (y down, already rounded); paper and metafile devices the corners.
struct GClip {
    int x = 0, y = 0, width = 0, height = 0;
    float xmin = 0, ymin = 0, xmax = 0, ymax = 0;
};

enum class GSegOp { Create, Close, Delete };

// Arguments of a workstation open.
struct GksOpenArgs {
    int ws_id = 1;
    int type = 0;           // workstation type asked for
    std::string connection; // connection string of gopen_ws (may be empty)
    // Set when the redraw store is printed: the device writes to `file` and must not
    // consult geometry resources or environment variables for its name.
    bool for_print = false;
    std::string file;
};

class GksDevice {
  public:
    virtual ~GksDevice() = default;

    // Workstation type (1 window, 3 metafile, 4 PostScript, 5 HP-GL, 6 X11 pixmap) and the
    // device class of ginit_plot (0 X11, 2 PostScript, 3 HP-GL, 4 metafile).
    virtual int ws_type() const = 0;
    virtual int device_class() const = 0;

    // Called after the kernel finished its part of the open (fonts, attributes, transforms).
    virtual void after_open() {}
    // End of ginit_plot: the kernel has reset attributes and transformations for the class
    // (X11: create or refresh graphics contexts, reset loop and event state).
    virtual void init_plot(int /*device_class*/) {}
    // Ends the output; 0, or -1 when nothing was open or a write failed.
    virtual int close() { return 0; }
    // gclear_ws on an own window.
    virtual void clear() {}

    // State changes.
    virtual void attribute(GAttr) {}
    virtual void color_rep(int /*ws*/, int /*index*/, const float * /*rgb*/) {}
    // Pixel value for a colour index (-1 background, 0..256); the kernel has already
    // stored the intensities. Devices without pixels return -2 ("defined").
    virtual int alloc_color(int /*index*/, const float * /*rgb*/) { return -2; }
    // Transformation records; r = {xmin, xmax, ymin, ymax}.
    virtual void ws_window(int /*ws*/, const float * /*r*/) {}
    virtual void ws_viewport(int /*ws*/, const float * /*r*/) {}
    virtual void window(int /*n*/, const float * /*r*/) {}
    virtual void viewport(int /*n*/, const float * /*r*/) {}
    virtual void select_tran(int /*n*/) {}
    virtual void clip(const GClip &) {}

    // Primitives in world coordinates.
    virtual int polyline(std::span<const GPoint> /*pts*/) { return 0; }
    virtual int fill_area(std::span<const GPoint> /*pts*/) { return 0; }
    // Default: the kernel's marker shapes drawn through marker_begin / marker_stroke.
    virtual int polymarker(std::span<const GPoint> pts);
    // Default: the kernel's stroke-font rendering through the text_* calls below.
    virtual int text(GPoint pos, const std::string &s);
    virtual int clear_region(const float * /*r*/) { return 0; }
    virtual void message(int /*ws*/, const std::string & /*s*/) {}
    virtual void segment(GSegOp, int /*n*/) {}
    virtual int image(const IMAGE &, int /*x*/, int /*y*/, int /*transparent*/) { return -1; }

    // Marker output: once per gpolymarker call, then one call per stroke (device units);
    // a single point for the dot marker.
    virtual float marker_scale() const { return 10.0f; }
    virtual void marker_begin(int /*n*/) {}
    virtual void marker_stroke(std::span<const DPoint> /*pts*/) {}

    // Stroke text output, world coordinates. text_begin once per drawn string (and per
    // drop-shadow copy), glyph_begin / glyph_end around each glyph, text_move starts a
    // stroke, text_draw continues it. The default collects the points of a stroke and
    // hands them to text_polyline in batches of at most 30 points (the last point of a
    // full batch starts the next one).
    virtual void text_begin(GPoint /*pos*/, const std::string & /*s*/) {}
    virtual void glyph_begin() {}
    virtual void text_move(float x, float y);
    virtual void text_draw(float x, float y);
    virtual void glyph_end();
    virtual void text_polyline(std::span<const GPoint> /*pts*/) {}

    // Drop shadows (devices whose shadow_capable() is true): shadow(true) switches drawing
    // to the shadow colour, shadow(false) back.
    virtual bool shadow_capable() const { return false; }
    virtual void shadow(bool /*on*/) {}

    // Server fonts ('#' font names); only X11 devices have them.
    virtual bool load_server_font(const std::string & /*name*/) { return false; }
    virtual int server_text(GPoint /*pos*/, const std::string & /*s*/) { return 0; }

    // X11 resource of the program ("font_list", "redraw"); empty when none or no display.
    virtual std::string x_resource(const std::string & /*name*/) { return {}; }
    // The window title changed (gset_win_title) while the workstation is open.
    virtual void title_changed() {}

    // Services of an interactive window used by the redraw store.
    virtual void poll_events() {}
    virtual int set_cursor(int /*n*/) { return 0; }
    virtual void bell(int /*volume*/) {}
    virtual void resize_to_window() {}
    virtual int depth() const { return 8; }

  protected:
    void flush_text_batch();
    std::vector<GPoint> batch_;
};

using GksDeviceFactory = std::unique_ptr<GksDevice> (*)(const GksOpenArgs &);

struct GksDeviceEntry {
    int type;
    GksDeviceFactory open;
};

// The device table (gks_devtab.cpp); a type without a row cannot be opened.
std::span<const GksDeviceEntry> gks_device_table();
GksDeviceFactory gks_find_device(int type);

// Opens a workstation on a device made by the caller (tests, the store printer) and runs
// the common end of gopen_ws. 0, or -1 when the device is null.
int gopen_ws_device(std::unique_ptr<GksDevice> device);
// The open device, or null.
GksDevice *gget_device();
// Swaps the open device without the open/close sequence (store printing); returns the old.
std::unique_ptr<GksDevice> gswap_device(std::unique_ptr<GksDevice> device);
