#include "toolkit.h"

// Draws through Xlib: every pixel is one shape's colour or another's.
const Toolkit TOOLKIT = {"FLTK 1.3", "libfltk1.3", false};
