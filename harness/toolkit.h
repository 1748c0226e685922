// What the tests expect of the toolkit that the program is built on, where
// FLTK 1.3 and FLTK 1.4 differ. The build links the one descriptor that
// fits, so test bodies read these values and never ask which toolkit it is.
#ifndef KELVARO_TOOLKIT_H
#define KELVARO_TOOLKIT_H

struct Toolkit {
  const char* name;
  // The Debian package of the shared library the program runs on.
  const char* runtime_package;
  // Shapes are drawn with anti-aliased edges: a pixel that a shape's edge
  // crosses blends the shape's colour with the backdrop's.
  bool antialiased_edges;
  // It draws windows at the scale that FLTK_SCALING_FACTOR gives.
  bool scales;
  // It draws on Wayland too, with libdecor, whose plugin then draws the
  // window's title bar where the compositor does not.
  bool wayland;
};

extern const Toolkit TOOLKIT;

#endif
