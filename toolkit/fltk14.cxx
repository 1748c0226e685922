// FLTK 1.4.
#include "toolkit_version.h"

#include <FL/Fl.H>
#include <FL/Fl_Cairo.H>
#include <FL/Fl_Graphics_Driver.H>
#include <FL/Fl_Image_Surface.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/platform.H>
#include <stdint.h>

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

// The toolkit draws a picture through Cairo, which uploads it to the X
// server at every frame (its pixels and its mask: 13 KiB for the 40x40
// machine). Kept in an X pixmap with
// an alpha channel instead, it is composited by the server, with the same
// nearest-pixel scaling the toolkit uses at whole scales. At a fractional
// scale, and on Wayland, where the client draws every pixel itself, the
// toolkit draws it.
struct Kept_Picture {
  explicit Kept_Picture(const char* const* xpm) : picture(xpm) {}
  Fl_Pixmap picture;
  cairo_surface_t* in_server = nullptr;
};

Kept_Picture* keep_picture(const char* const* xpm) { return new Kept_Picture(xpm); }

// The picture's pixels as Cairo keeps them: alpha first, premultiplied.
static cairo_surface_t* picture_pixels(Fl_Pixmap* picture) {
  Fl_RGB_Image rgba(picture);
  int w = rgba.w(), h = rgba.h(), d = rgba.d();
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  unsigned char* out = cairo_image_surface_get_data(image);
  int stride = cairo_image_surface_get_stride(image);
  const unsigned char* in = (const unsigned char*)rgba.data()[0];
  for (int j = 0; j < h; j++)
    for (int i = 0; i < w; i++) {
      const unsigned char* p = in + (j * w + i) * d;
      uint32_t a = d == 4 ? p[3] : 255;
      *(uint32_t*)(out + j * stride + i * 4) =
          a << 24 | (p[0] * a / 255) << 16 | (p[1] * a / 255) << 8 | p[2] * a / 255;
    }
  cairo_surface_mark_dirty(image);
  return image;
}

void draw_picture(Kept_Picture* kept, int x, int y) {
  float scale = fl_graphics_driver->scale();
  cairo_t* cr = fl_wl_display() || scale != (int)scale
                    ? nullptr : Fl::cairo_make_current(Fl_Window::current());
  if (!cr) {
    kept->picture.draw(x, y);
    return;
  }
  int w = kept->picture.w(), h = kept->picture.h();
  if (!kept->in_server) {
    cairo_surface_t* pixels = picture_pixels(&kept->picture);
    kept->in_server = cairo_surface_create_similar(cairo_get_target(cr),
                                                   CAIRO_CONTENT_COLOR_ALPHA, w, h);
    cairo_t* copy = cairo_create(kept->in_server);
    cairo_set_operator(copy, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(copy, pixels, 0, 0);
    cairo_paint(copy);
    cairo_destroy(copy);
    cairo_surface_destroy(pixels);
  }
  cairo_save(cr);
  cairo_rectangle(cr, x, y, w, h);
  cairo_clip(cr);
  cairo_set_source_surface(cr, kept->in_server, x, y);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_paint(cr);
  cairo_restore(cr);
}

void delete_picture(Kept_Picture* kept) {
  if (kept->in_server) cairo_surface_destroy(kept->in_server);
  delete kept;
}
