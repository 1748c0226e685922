// FLTK 1.3: nothing to set, no scaling, and off-screen buffers that are X
// pixmaps.
#include "toolkit_version.h"

#include <FL/fl_draw.H>
#include <FL/x.H>

void fit_toolkit_version() {}

float drawing_scale() { return 1; }

bool set_screen_scale(float) { return false; }

struct Offscreen_Buffer {
  Fl_Offscreen pixmap;
  int w, h;
};

Offscreen_Buffer* create_buffer(int w, int h, void (*paint)(void*), void* data) {
  Offscreen_Buffer* buffer = new Offscreen_Buffer{fl_create_offscreen(w, h), w, h};
  fl_begin_offscreen(buffer->pixmap);
  paint(data);
  fl_end_offscreen();
  return buffer;
}

void copy_buffer(Offscreen_Buffer* buffer) {
  fl_copy_offscreen(0, 0, buffer->w, buffer->h, buffer->pixmap, 0, 0);
}

void delete_buffer(Offscreen_Buffer* buffer) {
  fl_delete_offscreen(buffer->pixmap);
  delete buffer;
}
