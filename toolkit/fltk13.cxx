// FLTK 1.3: nothing to set, touch left to X, no scaling, off-screen buffers
// that are X pixmaps, and pictures that the toolkit keeps in the X server
// itself.
#include "toolkit_version.h"

#include <FL/Fl_Pixmap.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

void fit_toolkit_version() {}

// FLTK 1.3 draws on X11 only, whose server turns touch into pointer events.
void read_touch(void (*)(void*), void*) {}

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

struct Kept_Picture {
  explicit Kept_Picture(const char* const* xpm) : picture(xpm) {}
  Fl_Pixmap picture;
};

Kept_Picture* keep_picture(const char* const* xpm) { return new Kept_Picture(xpm); }

void draw_picture(Kept_Picture* kept, int x, int y) { kept->picture.draw(x, y); }

void delete_picture(Kept_Picture* kept) { delete kept; }
