#include "toolkit.h"

// Draws through Cairo, which anti-aliases the edges of curved shapes, and
// scales windows by FLTK_SCALING_FACTOR; draws on Wayland too.
const Toolkit TOOLKIT = {"FLTK 1.4", "libfltk1.4", true, true, true};
