// The X11 side of the harness: a private Xvfb, pixels read with XGetImage,
// input sent with XTest, frames watched through the DAMAGE extension; and
// what only X11 has to ask of a window.
#ifndef KELVARO_X11_H
#define KELVARO_X11_H

#include "harness.h"

// Xlib's own header defines macros (None, Bool, Status) that clash with test
// frameworks, so only its display handle is named here.
typedef struct _XDisplay Display;

class Xvfb : public Display_Server {
public:
  // Given a memory limit in bytes, a server short of memory.
  explicit Xvfb(unsigned long memory_limit = 0);
  ~Xvfb() override;
  const std::string& name() const { return display_name; }
  Display* display() const { return dpy; }

  const char* system() const override { return "X11"; }
  void enter() const override;
  double take_scale(std::vector<std::string>* env) override;
  bool scales_to(double s) const override;
  void kill_server() override;
  bool set_resources(const std::string& text) override;
  int maps() override;
  bool sees_every_frame() const override { return true; }
  const char* lost_message() const override { return "X I/O error"; }
  Window top_level(pid_t pid) override;
  Shot shot(Window w, int x, int y, int width, int height) override;
  void size(Window w, int* width, int* height) override;
  std::string title(Window w) override;
  std::string app_id(Window w, std::string* res_class = nullptr) override;
  std::unique_ptr<Frame_Watch> watch(Window w) override;
  void move(Window w, int x, int y, double scale) override;
  void button(bool down) override;
  void key(Window w, const char* keysym_name, const char* modifier = nullptr) override;
  void close_request(Window w) override;

  // The window asks the window manager to keep it at exactly w by h.
  bool fixed_size(Window w, int width, int height);
  // Widths of the icons the window carries for taskbars (_NET_WM_ICON).
  std::vector<int> icon_sizes(Window w);
  // The window asks the window manager to start it iconified.
  bool iconic_hint(Window w);

private:
  pid_t pid = -1;
  std::string display_name;
  Display* dpy = nullptr;
};

// The X server a test runs on, or null when it runs on another system.
Xvfb* x11(Display_Server& server);

// Some X server answers on the display of that name.
bool display_answers(const std::string& name);

// Reads a rectangle of any window on an X server.
Shot shot_window(Display* dpy, Window win, int x, int y, int w, int h);

// The sun is on screen in a window drawn at scale.
bool sun_shown(Display* dpy, Window win, double scale = 1);

#endif
