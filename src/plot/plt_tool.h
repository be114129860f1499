// Plot control: the thin layer between a plotting program and the graphics kernel.
// It remembers the open workstation and the viewport of the plot in use, which the
// drawing code of the programs reads back.
#pragma once

// Viewport of the plot in use, x1, x2, y1, y2 in normalized device coordinates.
// Returns 0.
int PLT_get_view(float out[4]);
// Workstation type chosen at open (1 window, 3 metafile, 4 PostScript, 5 HP-GL,
// 6 X11 pixmap); 0 before any open.
int PLT_get_work_type();

// Records what opening or resetting the plot gives: the workstation identifier
// and type and the fitted viewport (x1, x2, y1, y2) of the plot panel. Used by the
// open and reset paths and by tests that draw without a full plot set-up.
int PLT_set_open_state(int work_id, int work_type, const float view[4]);

// Back to the start-up state.
void PLT_reset_state();
