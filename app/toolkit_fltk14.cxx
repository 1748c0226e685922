// What FLTK 1.4 needs beyond what both toolkits do.
#include "toolkit_fit.h"

#include <FL/Fl.H>

// FLTK 1.4 zooms every window with Ctrl and +, - or 0, and shows the new
// factor in a window of its own. The scene is drawn at fixed window
// coordinates in a window that keeps its size, so the zoom is turned off;
// the desktop's own scale (the output's on Wayland, FLTK_SCALING_FACTOR or
// Xft.dpi on X11) still applies.
void fit_toolkit_version() { Fl::keyboard_screen_scaling(0); }
