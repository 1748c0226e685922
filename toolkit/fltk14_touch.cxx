// Touch on Wayland, which FLTK 1.4 does not read: a compositor sends a
// finger's events only to clients that ask for the seat's touch, and turns
// none of them into pointer events. The program asks for it itself, on the
// toolkit's own connection, whose events the toolkit's loop dispatches with
// its own, and hands each finger's events to the windows as the toolkit's
// own pointer events. On X11 the server already turns touch into pointer
// events, and nothing here runs.
//
// FLTK's own touch is to come with FLTK 1.5. This file is compiled against
// FLTK 1.4 only (the build takes FLTK 1.3 or 1.4, and a 1.4 build runs on
// libfltk 1.4 only, whose library name carries its minor version), and the
// guard below leaves it out of any build whose toolkit might read touch
// itself, so that no finger's events reach a window twice.
#include "toolkit_version.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/platform.H>

#if FL_API_VERSION < 10500
#include <string.h>
#include <wayland-client.h>

#include <algorithm>
#include <vector>

namespace {

// The seat version whose events are listened for: its capabilities and
// name, and a touch's down, up, motion, frame and cancel.
const uint32_t SEAT_VERSION = 5;

struct Touch_Reader {
  wl_seat* seat = nullptr;
  wl_touch* touch = nullptr;
  std::vector<int32_t> down;      // the fingers down now, in any surface
  int32_t pointer = -1;           // the finger that is the pointer, or -1
  wl_surface* surface = nullptr;  // the one it went down on
  wl_fixed_t x = 0, y = 0;        // where it is on that surface
  void (*cancel)(void*) = nullptr;
  void* cancel_data = nullptr;
};
Touch_Reader reader;

// The shown window drawn on surface, or null: a finger on any other surface
// (a title bar that the decoration library draws, say) is not a window's.
Fl_Window* window_of(wl_surface* surface) {
  for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w))
    if (fl_wl_surface(fl_wl_xid(w)) == surface) return w;
  return nullptr;
}

// The pointer finger's event, for its window, with the left button held
// while the finger is down. Its position is the toolkit's for the pointer:
// surface coordinates, in the compositor's logical pixels, divided by the
// toolkit's scale of the window's screen.
void send(int event, bool held) {
  Fl_Window* w = window_of(reader.surface);
  if (!w) return;
  float scale = Fl::screen_scale(w->screen_num());
  Fl::e_x = int(wl_fixed_to_int(reader.x) / scale);
  Fl::e_y = int(wl_fixed_to_int(reader.y) / scale);
  Fl::e_x_root = Fl::e_x + w->x();
  Fl::e_y_root = Fl::e_y + w->y();
  Fl::e_keysym = FL_Button + FL_LEFT_MOUSE;
  Fl::e_state = held ? Fl::e_state | FL_BUTTON1 : Fl::e_state & ~FL_BUTTON1;
  Fl::e_is_click = 0;
  Fl::e_clicks = 0;
  Fl::handle(event, w);
}

void forget(int32_t id) {
  reader.down.erase(std::remove(reader.down.begin(), reader.down.end(), id),
                    reader.down.end());
}

// A finger is the pointer when it goes down on a window while no other
// finger is down; any other finger is ignored until it lifts.
void touch_down(void*, wl_touch*, uint32_t, uint32_t, wl_surface* surface,
                int32_t id, wl_fixed_t x, wl_fixed_t y) {
  bool alone = reader.down.empty();
  reader.down.push_back(id);
  if (!alone || !window_of(surface)) return;
  reader.pointer = id;
  reader.surface = surface;
  reader.x = x, reader.y = y;
  send(FL_PUSH, true);
}

void touch_motion(void*, wl_touch*, uint32_t, int32_t id, wl_fixed_t x, wl_fixed_t y) {
  if (id != reader.pointer) return;
  reader.x = x, reader.y = y;
  send(FL_DRAG, true);
}

void touch_up(void*, wl_touch*, uint32_t, uint32_t, int32_t id) {
  forget(id);
  if (id != reader.pointer) return;
  reader.pointer = -1;
  send(FL_RELEASE, false);
}

// The compositor has taken every finger for a gesture of its own, or the
// touch device is gone: the pointer finger's press is withdrawn, with no
// release, and the program told.
void touch_cancel(void*, wl_touch*) {
  reader.down.clear();
  if (reader.pointer < 0) return;
  reader.pointer = -1;
  Fl::e_state &= ~FL_BUTTON1;
  Fl::pushed(nullptr);
  if (reader.cancel) reader.cancel(reader.cancel_data);
}

void touch_frame(void*, wl_touch*) {}
void touch_shape(void*, wl_touch*, int32_t, wl_fixed_t, wl_fixed_t) {}
void touch_orientation(void*, wl_touch*, int32_t, wl_fixed_t) {}

const wl_touch_listener TOUCH_LISTENER = {touch_down,   touch_up,    touch_motion,
                                          touch_frame,  touch_cancel, touch_shape,
                                          touch_orientation};

// A seat offers touch only while it has a touch device.
void seat_capabilities(void*, wl_seat* seat, uint32_t capabilities) {
  bool has_touch = capabilities & WL_SEAT_CAPABILITY_TOUCH;
  if (has_touch && !reader.touch) {
    reader.touch = wl_seat_get_touch(seat);
    wl_touch_add_listener(reader.touch, &TOUCH_LISTENER, nullptr);
  } else if (!has_touch && reader.touch) {
    touch_cancel(nullptr, reader.touch);
    if (wl_touch_get_version(reader.touch) >= WL_TOUCH_RELEASE_SINCE_VERSION)
      wl_touch_release(reader.touch);
    else
      wl_touch_destroy(reader.touch);
    reader.touch = nullptr;
  }
}

void seat_name(void*, wl_seat*, const char*) {}

const wl_seat_listener SEAT_LISTENER = {seat_capabilities, seat_name};

// The first seat, as the toolkit takes the first.
void global(void*, wl_registry* registry, uint32_t name, const char* interface,
            uint32_t version) {
  if (reader.seat || strcmp(interface, wl_seat_interface.name) != 0) return;
  reader.seat = (wl_seat*)wl_registry_bind(registry, name, &wl_seat_interface,
                                           std::min(version, SEAT_VERSION));
  wl_seat_add_listener(reader.seat, &SEAT_LISTENER, nullptr);
}

void global_remove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener REGISTRY_LISTENER = {global, global_remove};

}  // namespace

void read_touch(void (*cancel)(void*), void* data) {
  static bool asked = false;
  reader.cancel = cancel;
  reader.cancel_data = data;
  fl_open_display();
  wl_display* display = fl_wl_display();
  if (!display || asked) return;
  asked = true;
  wl_registry_add_listener(wl_display_get_registry(display), &REGISTRY_LISTENER, nullptr);
}

#else
void read_touch(void (*)(void*), void*) {}
#endif
