// FLTK 1.4.
#include "toolkit_version.h"

#include <FL/Fl.H>
#include <FL/Fl_Graphics_Driver.H>
#include <FL/fl_draw.H>

// FLTK 1.4 zooms every window with Ctrl and +, - or 0, and shows the new
// factor in a window of its own. The scene is drawn at fixed window
// coordinates in a window that keeps its size, so the zoom is turned off;
// the desktop's own scale (the output's on Wayland, FLTK_SCALING_FACTOR or
// Xft.dpi on X11) still applies.
void fit_toolkit_version() { Fl::keyboard_screen_scaling(0); }

// FLTK 1.4 draws each window at its screen's scale.
float drawing_scale() { return fl_graphics_driver->scale(); }

bool set_screen_scale(float scale) {
  for (int n = 0; n < Fl::screen_count(); n++) Fl::screen_scale(n, scale);
  return true;
}
