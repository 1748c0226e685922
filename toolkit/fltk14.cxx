// FLTK 1.4; its touch on Wayland is in fltk14_touch.cxx.
#include "toolkit_version.h"

#include <FL/Fl.H>
#include <FL/Fl_Graphics_Driver.H>
#include <FL/Fl_Image_Surface.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/platform.H>
#include <cairo-xlib.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

// On Wayland the toolkit builds the locale's compose table when it connects
// (the sequences of dead and compose keys, for text entry, which this
// program has none of): a tenth of start-up's work. xkbcommon reads the
// file that XCOMPOSEFILE names first; one with no sequences gives an empty
// table at once. It is kept in memory, not written anywhere, and named by
// the path of its descriptor. Keys still come as key events, Escape among
// them; only a dead key no longer starts a sequence. Where it cannot be
// made, the toolkit builds the locale's table as before.
const char NO_COMPOSE_SEQUENCES[] = "# kelvaro has no text entry\n";

static void spare_compose_table() {
  int fd = memfd_create("kelvaro-compose", MFD_CLOEXEC);
  if (fd < 0) return;
  if (write(fd, NO_COMPOSE_SEQUENCES, sizeof NO_COMPOSE_SEQUENCES - 1) !=
      (ssize_t)sizeof NO_COMPOSE_SEQUENCES - 1) {
    close(fd);
    return;
  }
  char path[32];
  snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  setenv("XCOMPOSEFILE", path, 1);
}

// FLTK 1.4 zooms every window with Ctrl and +, - or 0, and shows the new
// factor in a window of its own. The scene is drawn at fixed window
// coordinates in a window that keeps its size, so the zoom is turned off;
// the desktop's own scale (the output's on Wayland, FLTK_SCALING_FACTOR or
// Xft.dpi on X11) still applies.
void fit_toolkit_version() {
  Fl::keyboard_screen_scaling(0);
  spare_compose_table();
}

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

// Painted into an image surface made at the drawing's full resolution
// (high_res), which on Wayland includes the output's scale. On X11 that is
// an X pixmap, which the toolkit copies into each frame. On Wayland it is an
// image in memory; the toolkit's own copy (FLTK 1.4.3) puts it one pixel
// right of and below its place, so its pixels are converted once to the
// window's pixel format and then painted into each frame here, pixel for
// pixel: a plain copy of rows.
struct Offscreen_Buffer {
  int w, h;
  Fl_Image_Surface* surface;  // X11
  cairo_surface_t* pixels;    // Wayland
};

Offscreen_Buffer* create_buffer(int w, int h, void (*paint)(void*), void* data) {
  Offscreen_Buffer* buffer = new Offscreen_Buffer{w, h, new Fl_Image_Surface(w, h, 1), nullptr};
  Fl_Surface_Device::push_current(buffer->surface);
  paint(data);
  Fl_Surface_Device::pop_current();
  if (!fl_wl_display()) return buffer;
  cairo_surface_t* painted = cairo_get_target((cairo_t*)buffer->surface->offscreen());
  cairo_surface_flush(painted);
  buffer->pixels = cairo_image_surface_create(
      cairo_image_surface_get_format(cairo_get_target(fl_wl_gc())),
      cairo_image_surface_get_width(painted), cairo_image_surface_get_height(painted));
  cairo_t* convert = cairo_create(buffer->pixels);
  cairo_set_operator(convert, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(convert, painted, 0, 0);
  cairo_paint(convert);
  cairo_destroy(convert);
  delete buffer->surface;
  buffer->surface = nullptr;
  return buffer;
}

// On X11 the toolkit copies the backdrop, and then the finished frame, with
// its GC, which by default has the server answer every copy with an event
// saying that no part of it needs repainting: the copies come from pixmaps,
// which are never obscured, and nothing here copies from a window. Each
// answer woke the program once more in every frame, for nothing (FLTK 1.4
// then spent twice the CPU a frame, and its ticks came later); the GC is
// told not to ask for them.
static void quiet_copies() {
  static GC quiet = nullptr;
  if (!fl_gc || fl_gc == quiet) return;
  XSetGraphicsExposures(fl_display, fl_gc, False);
  quiet = fl_gc;
}

void copy_buffer(Offscreen_Buffer* buffer) {
  if (buffer->surface) {
    quiet_copies();
    fl_copy_offscreen(0, 0, buffer->w, buffer->h, buffer->surface->offscreen(), 0, 0);
    return;
  }
  cairo_t* window = fl_wl_gc();
  cairo_save(window);
  cairo_identity_matrix(window);
  cairo_set_operator(window, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(window, buffer->pixels, 0, 0);
  cairo_paint(window);
  cairo_restore(window);
}

void delete_buffer(Offscreen_Buffer* buffer) {
  if (buffer->pixels) cairo_surface_destroy(buffer->pixels);
  delete buffer->surface;
  delete buffer;
}

// The toolkit draws a picture through Cairo, which uploads it to the X
// server at every frame (its pixels and its mask: 13 KiB for the 40x40
// machine) and runs much of Cairo's code to do so. On X11 at a whole scale
// the picture is instead kept in the server, once per scale, as FLTK 1.3
// keeps it: its pixels enlarged to the scale (each pixel a square block, as
// the toolkit scales pictures) and a one-bit mask of its opaque pixels.
// A frame then copies it through the mask into the surface being drawn, one
// request with no Cairo in the way. An XPM picture's pixels are opaque or
// "None", which the mask carries exactly. At a fractional scale, and on
// Wayland, where the client draws every pixel itself, the toolkit draws it.
struct Kept_Picture {
  explicit Kept_Picture(const char* const* xpm) : picture(xpm) {}
  Fl_Pixmap picture;
  int scale = 0;                       // the scale it is kept at, 0 if none
  Pixmap pixmap = 0;                   // its pixels
  Pixmap mask = 0;
  GC gc = nullptr;                     // clips to the mask
};

Kept_Picture* keep_picture(const char* const* xpm) { return new Kept_Picture(xpm); }

static void forget_server_copy(Kept_Picture* kept) {
  if (kept->gc) XFreeGC(fl_display, kept->gc);
  if (kept->mask) XFreePixmap(fl_display, kept->mask);
  if (kept->pixmap) XFreePixmap(fl_display, kept->pixmap);
  kept->scale = 0;
  kept->pixmap = 0;
  kept->mask = 0;
  kept->gc = nullptr;
}

// Makes the server's copy at a whole scale.
static void keep_in_server(Kept_Picture* kept, int scale) {
  Fl_RGB_Image rgba(&kept->picture);
  int w = rgba.w(), h = rgba.h(), d = rgba.d();
  int sw = w * scale, sh = h * scale;
  const unsigned char* in = (const unsigned char*)rgba.data()[0];
  cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, sw, sh);
  unsigned char* out = cairo_image_surface_get_data(image);
  int stride = cairo_image_surface_get_stride(image);
  int mask_stride = (sw + 7) / 8;  // bitmap rows, least significant bit first
  char* bits = new char[mask_stride * sh]();
  for (int j = 0; j < sh; j++)
    for (int i = 0; i < sw; i++) {
      const unsigned char* p = in + ((j / scale) * w + i / scale) * d;
      if (d != 4 || p[3]) bits[j * mask_stride + i / 8] |= 1 << (i % 8);
      *(uint32_t*)(out + j * stride + i * 4) = p[0] << 16 | p[1] << 8 | p[2];
    }
  cairo_surface_mark_dirty(image);
  forget_server_copy(kept);
  Pixmap pixmap = XCreatePixmap(fl_display, fl_window, sw, sh, fl_visual->depth);
  cairo_surface_t* pixels =
      cairo_xlib_surface_create(fl_display, pixmap, fl_visual->visual, sw, sh);
  cairo_t* copy = cairo_create(pixels);
  cairo_set_operator(copy, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(copy, image, 0, 0);
  cairo_paint(copy);
  cairo_destroy(copy);
  cairo_surface_destroy(pixels);  // sends what it holds; the pixmap stays
  cairo_surface_destroy(image);
  kept->pixmap = pixmap;
  kept->mask = XCreateBitmapFromData(fl_display, pixmap, bits, sw, sh);
  delete[] bits;
  XGCValues values;
  values.graphics_exposures = False;  // the source is a pixmap: nothing to expose
  values.clip_mask = kept->mask;
  kept->gc = XCreateGC(fl_display, pixmap, GCGraphicsExposures | GCClipMask, &values);
  kept->scale = scale;
}

// The toolkit draws a double-buffered window's frame into its back buffer,
// an X pixmap that fl_window names while the frame is drawn.
void draw_picture(Kept_Picture* kept, int x, int y) {
  float scale = fl_graphics_driver->scale();
  if (fl_wl_display() || scale != (int)scale) {
    kept->picture.draw(x, y);
    return;
  }
  if (kept->scale != (int)scale) keep_in_server(kept, (int)scale);
  int s = kept->scale, w = kept->picture.w() * s, h = kept->picture.h() * s;
  XSetClipOrigin(fl_display, kept->gc, x * s, y * s);
  XCopyArea(fl_display, kept->pixmap, fl_window, kept->gc, 0, 0, w, h, x * s, y * s);
}

void delete_picture(Kept_Picture* kept) {
  forget_server_copy(kept);
  delete kept;
}
