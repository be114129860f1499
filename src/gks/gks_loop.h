// Frames and looping on the X11 window and the memory workstation: up to 128 frames, each an
// off-screen picture of the window's size, shown one after another with a dwell time per
// frame.
//
// Frame selectors: 0..127 that frame, -1 the last frame, -2 the current frame, -3 the
// window's backing pixmap instead of a frame (gset_loop_delay also takes -4: every frame
// but the last). Every operation does nothing (0) while neither an X11 nor the memory
// workstation is open.
#pragma once

#include <cstddef>

inline constexpr int GLOOP_MAX_FRAMES = 128;
inline constexpr size_t GLOOP_DATA_MAX = 52;
inline constexpr int GFRAME_LAST = -1;
inline constexpr int GFRAME_CURRENT = -2;
inline constexpr int GFRAME_BASE = -3;
inline constexpr int GFRAME_ALL_BUT_LAST = -4;

int ginit_loop();
// Creates (or re-uses) a frame and clears it; a negative selector appends. The frame
// number, or -1 when there is no room.
int gcreate_frame(int sel);
// Makes the frame the drawing target (-3 the backing pixmap); frames are not recorded in
// the redraw store.
int gselect_frame(int sel);
// The frame that is the drawing target, or GFRAME_BASE for the backing picture.
int gget_draw_frame();
int gclear_frame(int sel);
int gcopy_frame(int to, int from);
int gswitch_frame(int a, int b);
int gdisplay_frame(int sel);
int gdelete_frame(int sel);
int gdelete_all_frames();

int gset_looping(int flag); // 1 on, 0 off, anything else toggles
int gget_looping();
int gtoggle_loop(int flag);
int gset_loop_delay(int sel, float seconds);
int ginc_loop_delay(float step);
float gget_loop_delay();
float gget_frame_delay(int sel);
// 0 backwards, 1 forwards, 2 rocking backwards, 3 rocking forwards.
int gset_loop_direct(int mode);
int gget_loop_direct();
// The frame to show after the current one (step 0: the automatic step); -1 without frames.
int ginc_frame(int step);
// Waits out the current frame's dwell, handling events; -1 without a valid current frame.
int gloop_sleep();

int gget_num_images();
int gget_cur_frame();
unsigned long gget_frame_id(int sel);
int gset_frame_id(int sel, unsigned long pixmap);
int gset_image_data(int n, const void *data, int length);
// Copies the frame's data block into out (GLOOP_DATA_MAX bytes of room); its length.
int gget_image_data(int n, void *out);
int gset_loop_title(int flag);
int gprint_frame_ids();

// How frames are kept: 0 server pixmaps; 1 compact, the frames that use at most 256 pixel
// values kept as 8-bit indices in this process and expanded when shown (shared memory
// where the server offers it). Takes effect for frames finished afterwards.
int gset_frame_store(int mode);
int gget_frame_store();
// Bytes held for frames: on the server (pixmaps) and in this process (compact frames).
void gget_frame_bytes(long long *server, long long *client);
// Back to the start-up state without touching the display (tests and fatal errors).
void gloop_reset_state();

// Where the frames live. Frames, the backing picture and the drawing target are surfaces of
// the open workstation, named by non-zero ids: server pixmaps on the X11 window, pictures in
// this process on the memory workstation. A device whose surfaces are not X11 pixmaps
// implements this interface beside GksDevice; the loop and zoom find it on the open device
// and use the X11 server's otherwise. Not for callers above the kernel.
class GFrameHost {
  public:
    virtual ~GFrameHost() = default;
    // A workstation with surfaces is open; it also has a drawing target.
    virtual bool open() const = 0;
    virtual bool ready() const = 0;
    // Zoom works on it (the own window and the memory workstation, not pixmap mode).
    virtual bool zoomable() const = 0;
    virtual unsigned long base() const = 0;
    virtual void set_base(unsigned long id) = 0;
    virtual unsigned long target() const = 0;
    virtual void set_target(unsigned long id) = 0;
    // A new surface of the window's size; 0 when none can be had.
    virtual unsigned long create() = 0;
    virtual void release(unsigned long id) = 0;
    // Fills the window-sized area of a surface with the background.
    virtual void clear(unsigned long id) = 0;
    // Copies the area (x, y, w, h) of one surface to the same place of another.
    virtual void copy(unsigned long from, unsigned long to, int x, int y, int w, int h) = 0;
    // The backing picture becomes the zoomed view of `from`: the part whose top-left pixel is
    // (left, top), each pixel a zoom by zoom block; blocks past its edge in the background.
    virtual bool zoom_into_base(unsigned long from, int left, int top, int zoom) = 0;
    // Bytes a pixel of a surface takes, and whether surfaces are held by the X server.
    virtual int pixel_bytes() const = 0;
    virtual bool on_server() const = 0;
};
// The host of the open workstation.
GFrameHost &gframe_host();
