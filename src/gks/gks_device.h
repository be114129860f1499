// Device interface of the graphics kernel.
//
// The kernel owns everything common to all workstations: transformations, clipping,
// attribute state with its validity checks, the redraw store and the stroke fonts. It
// talks to the one open workstation through this interface. Each device (X11 window and
// pixmap, PostScript, text metafile, CGM, HP-GL) implements it in its own file and is
// listed in the device table (gks_devtab.cpp): adding a device adds one row there.
//
// The kernel never asks which type a device is: what differs between devices is in the
// capability record (GksCaps) the device fills when it is made, and in the calls below.
// Services that only an interactive window has (events, cursors, bell, X resources,
// resize, title) are a separate interface (GksInteractive) that the device hands out.
//
// All calls arrive after the kernel has checked and stored the new state, so a device can
// read any current value through the kernel's accessors. Coordinates handed over are
// world coordinates (GPoint) unless a name says device units (DPoint); device units are
// pixels (y down) on a device whose capabilities say so, otherwise points, plotter units
// or metafile units (y up). Default implementations do nothing, so a device writes only
// what it can show. Devices read no resources (RES_get) and look up neither their output
// name nor their geometry: the caller resolves those into GksOpenArgs.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "gks/gks.h"

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

// What a device can do and how the kernel must treat it. A device fills its record when it
// is made (an option of the connection may decide a field, such as colour or grey paper);
// the kernel reads it on every call that depends on it. The defaults describe a plain
// paper device that keeps every value as given.
struct GksCaps {
    // Device units are pixels with y growing downwards (the clip rectangle, markers, text
    // shadows and gget_xviewport use the pixel form); otherwise y grows upwards.
    bool pixels = false;
    // A colour index must have a device pixel (GksDevice::alloc_color) before a primitive
    // may use it, and the print colours 500-508 are drawn in the foreground colour 1.
    bool allocated_colors = false;
    // A zero line, marker or text width means the thinnest line the device draws; when
    // false the kernel stores 1.0 instead.
    bool zero_width_thinnest = true;
    // Calls are written to the output as they are made (a metafile): segment calls and
    // colour representations go to the device instead of the redraw store, and the
    // character up vector is passed on without being normalised.
    bool writes_calls = false;
    // The redraw store records this workstation's calls and its cache flag is on (the own
    // window, whose picture is replayed after a resize or a zoom and can be printed).
    bool keeps_store = false;
    // gclear_ws clears the device's own window (GksDevice::clear) and empties the store.
    bool clears_window = false;
    // '#' font names load server fonts (load_server_font) drawn with server_text.
    bool server_fonts = false;
    // Text and markers get drop shadows (gset_font_drop) through shadow().
    bool shadows = false;
    // Device units per unit of marker size.
    float marker_scale = 10.0f;
    // How colour indices reach the output: GWS_COLOR_INDEXED, GWS_COLOR_RGB or
    // GWS_COLOR_GREY (gks.h); ginq_ws_color tells the callers above the kernel.
    int color = GWS_COLOR_INDEXED;
};

// Drawing surface a device asks for at open, in device units: the kernel's window size and
// offset (gset_win_size, gset_win_offset).
struct GSurface {
    int width = 0, height = 0, x = 0, y = 0;
};

// Arguments of a workstation open. The caller resolves resources and environment
// variables (the plotting layer for a normal open, the store printer for printing); the
// device takes its geometry and output name from these fields only.
struct GksOpenArgs {
    int ws_id = 1;
    int type = 0;           // workstation type asked for
    std::string connection; // connection string of gopen_ws; its fields are the device's own
    // Geometry text ("WxH+X+Y", a panel "P...", or the X11 form): the "geometry" resource,
    // else the device's geometry environment variable (device table). Empty: the default.
    std::string geometry;
    // Output name for when the connection names none: the device's environment variable
    // (device table) or the store printer's file. Empty: the device's default file.
    std::string output;
    // Name under which the device reports a failed open.
    std::string reporter = "gopen_ws";
    // Window devices: the "background" resource (empty when not given) and the "icon"
    // resource (1 iconified, 0 not, -1 not given).
    std::string background;
    int iconic = -1;
};

// Services of an interactive window. Only the kernel and the redraw store call them, and
// only through GksDevice::interactive(). Defaults do nothing.
class GksInteractive {
  public:
    virtual ~GksInteractive() = default;
    // Processes pending events; the store calls it while recording and replaying so the
    // window stays responsive, and a handler may start another replay or a print.
    virtual void poll_events() {}
    // Selects cursor n (0 normal ... 8 busy); returns the previous number.
    virtual int set_cursor(int /*n*/) { return 0; }
    virtual void bell(int /*volume*/) {}
    // X11 resource of the program ("font_list", "redraw"); empty when none.
    virtual std::string x_resource(const std::string & /*name*/) { return {}; }
    // Takes the window's real size before a full redraw (gset_win_size).
    virtual void resize_to_window() {}
    // The window title changed (gset_win_title) while the workstation is open.
    virtual void title_changed() {}
};

// The core every device implements.
class GksDevice {
  public:
    virtual ~GksDevice() = default;

    // Identity: workstation type (1 window, 3 metafile, 4 PostScript, 5 HP-GL, 6 X11
    // pixmap) and the device class of ginit_plot (0 X11, 2 PostScript, 3 HP-GL,
    // 4 metafile). The kernel passes both on but decides nothing by them.
    virtual int ws_type() const = 0;
    virtual int device_class() const = 0;
    const GksCaps &caps() const { return caps_; }
    // The surface the device asks for; empty keeps the kernel's window size (devices made
    // by the caller, and devices printed to, which get the printer's size).
    const std::optional<GSurface> &surface() const { return surface_; }
    // The interactive services; null for paper and metafile devices.
    virtual GksInteractive *interactive() { return nullptr; }
    // Bits per pixel of the drawing target.
    virtual int depth() const { return 8; }

    // Begin and end. after_open: the kernel finished its part of the open (fonts,
    // attributes, transforms). init_plot: end of ginit_plot, the kernel has reset
    // attributes and transformations for the class (X11: create or refresh graphics
    // contexts, reset loop and event state). close: ends the output; 0, or -1 when
    // nothing was open or a write failed. clear: gclear_ws on a device with
    // clears_window.
    virtual void after_open() {}
    virtual void init_plot(int /*device_class*/) {}
    virtual int close() { return 0; }
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
    // Segment calls: after the kernel kept them in the redraw store or, on a device with
    // writes_calls, instead of that.
    virtual void segment(GSegOp, int /*n*/) {}
    // An image placed at the current viewport's corner plus (x, y); a negative x or y
    // counts from the right or bottom edge. transparent: colour index drawn as
    // transparent, -1 for none. -1 when the device has no images (the kernel reports it).
    virtual int image(const IMAGE &, int /*x*/, int /*y*/, int /*transparent*/) { return -1; }

    // Marker output: once per gpolymarker call, then one call per stroke (device units);
    // a single point for the dot marker.
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

    // Drop shadows (caps().shadows): shadow(true) switches drawing to the shadow colour,
    // shadow(false) back.
    virtual void shadow(bool /*on*/) {}

    // Server fonts (caps().server_fonts).
    virtual bool load_server_font(const std::string & /*name*/) { return false; }
    virtual int server_text(GPoint /*pos*/, const std::string & /*s*/) { return 0; }

  protected:
    void flush_text_batch();
    GksCaps caps_;
    std::optional<GSurface> surface_;
    std::vector<GPoint> batch_;
};

using GksDeviceFactory = std::unique_ptr<GksDevice> (*)(const GksOpenArgs &);

// One row of the device table. The environment variables are read by the caller of an
// open, never by the device: tried in order (null ends the list) for GksOpenArgs::output
// when the connection names no output, and for GksOpenArgs::geometry when the "geometry"
// resource is not given.
struct GksDeviceEntry {
    int type;
    GksDeviceFactory open;
    std::array<const char *, 2> output_env{};
    std::array<const char *, 2> geometry_env{};
};

// The device table (gks_devtab.cpp); a type without a row cannot be opened.
std::span<const GksDeviceEntry> gks_device_table();
const GksDeviceEntry *gks_find_entry(int type);
GksDeviceFactory gks_find_device(int type);

// Opens a workstation of args.type through its table row and runs gopen_ws_device. 0, or
// -1 (the device or this function reported why).
int gopen_ws_args(const GksOpenArgs &args);
// Opens a workstation on a device already made (the table's factories, tests, tools):
// closes an open one, applies the surface the device asks for, sets the redraw store from
// its capabilities, and runs the common end of gopen_ws. 0, or -1 when the device is null.
int gopen_ws_device(std::unique_ptr<GksDevice> device);
// The open device, or null.
GksDevice *gget_device();
// Swaps the open device without the open/close sequence (store printing); returns the old.
std::unique_ptr<GksDevice> gswap_device(std::unique_ptr<GksDevice> device);
