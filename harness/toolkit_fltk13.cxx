#include "toolkit.h"

// Draws through Xlib: every pixel is one shape's colour or another's, and
// every window at its own size; X only.
const Toolkit TOOLKIT = {"FLTK 1.3", "libfltk1.3", false, false, false};
