// FLTK 1.4.
#include "toolkit_version.h"

#include <FL/Fl.H>
#include <FL/Fl_Graphics_Driver.H>
#include <FL/Fl_Image_Surface.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/platform.H>

// FLTK 1.4 zooms every window with Ctrl and +, - or 0, and shows the new
// factor in a window of its own. The scene is drawn at fixed window
// coordinates in a window that keeps its size, so the zoom is turned off;
// the desktop's own scale (the output's on Wayland, FLTK_SCALING_FACTOR or
// Xft.dpi on X11) still applies.
void fit_toolkit_version() { Fl::keyboard_screen_scaling(0); }

// The toolkit's own scale, and on Wayland the output's, by which the
// compositor has the window drawn at whole multiples.
float drawing_scale() {
  Fl_Window* window = Fl_Window::current();
  int output = fl_wl_display() && window ? fl_wl_buffer_scale(window) : 1;
  return fl_graphics_driver->scale() * output;
}

bool set_screen_scale(float scale) {
  for (int n = 0; n < Fl::screen_count(); n++) Fl::screen_scale(n, scale);
  return true;
}

// An image surface made at the drawing's full resolution (high_res), which
// on Wayland includes the output's scale. FLTK 1.4.3 copies such a surface
// to a Wayland window one pixel right of and below its place, where it copies
// it exactly on X11; on Wayland the buffer therefore keeps no pixels and
// paints into the window at every copy instead.
struct Offscreen_Buffer {
  int w, h;
  void (*paint)(void*);
  void* data;
  Fl_Image_Surface* surface;
};

Offscreen_Buffer* create_buffer(int w, int h, void (*paint)(void*), void* data) {
  Offscreen_Buffer* buffer = new Offscreen_Buffer{w, h, paint, data, nullptr};
  if (fl_wl_display()) return buffer;
  buffer->surface = new Fl_Image_Surface(w, h, 1);
  Fl_Surface_Device::push_current(buffer->surface);
  paint(data);
  Fl_Surface_Device::pop_current();
  return buffer;
}

void copy_buffer(Offscreen_Buffer* buffer) {
  if (buffer->surface)
    fl_copy_offscreen(0, 0, buffer->w, buffer->h, buffer->surface->offscreen(), 0, 0);
  else
    buffer->paint(buffer->data);
}

void delete_buffer(Offscreen_Buffer* buffer) {
  delete buffer->surface;
  delete buffer;
}
