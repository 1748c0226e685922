// The toolkit copies the backdrop, and then the finished frame, with its
// X11 GC, which by default has the server answer every copy with an event
// saying that no part of it needs repainting: the copies come from pixmaps,
// which are never obscured. Each answer woke the program once more in every
// frame, for nothing. Nothing here copies from a window, which is the only
// copy whose answer could ask for a repaint.
#include "quiet_copies.h"

#include <FL/x.H>

void quiet_copies() {
  static GC quiet = nullptr;
  if (!fl_gc || fl_gc == quiet) return;
  XSetGraphicsExposures(fl_display, fl_gc, False);
  quiet = fl_gc;
}
