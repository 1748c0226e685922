// The X11 side of the harness: a private Xvfb, pixels read with XGetImage,
// input sent with XTest, frames watched through the DAMAGE extension.
#include <X11/Xlib.h>
#include "x11.h"
#include "toolkit.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

// Reading a window that is gone or off screen is a protocol error, not a
// reason to end the test program.
static int ignore_x_error(Display*, XErrorEvent*) { return 0; }

// Room for the window at twice its size, and more.
const char* const SCREEN = "2560x1600x24";

Xvfb::Xvfb(unsigned long memory_limit) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe");
  pid = fork();
  if (pid == 0) {
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    close(fds[0]);
    std::string fd = std::to_string(fds[1]);
    if (memory_limit) {
      struct rlimit limit = {memory_limit, memory_limit};
      setrlimit(RLIMIT_AS, &limit);
    }
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0",
           SCREEN, "-nolisten", "tcp", "-noreset", (char*)nullptr);
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  poll_until(20, [&] {
    struct pollfd p = {fds[0], POLLIN, 0};
    if (poll(&p, 1, 10) <= 0) return false;
    char c;
    if (read(fds[0], &c, 1) != 1) return true;
    if (c == '\n') return true;
    number += c;
    return false;
  });
  close(fds[0]);
  if (number.empty()) throw std::runtime_error("Xvfb did not start");
  display_name = ":" + number;
  XSetErrorHandler(ignore_x_error);
  dpy = XOpenDisplay(display_name.c_str());
  if (!dpy) throw std::runtime_error("cannot open " + display_name);
  XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
}

bool Xvfb::set_resources(const std::string& text) {
  XChangeProperty(dpy, DefaultRootWindow(dpy), XA_RESOURCE_MANAGER, XA_STRING,
                  8, PropModeReplace, (const unsigned char*)text.data(),
                  (int)text.size());
  XSync(dpy, False);
  return true;
}

int Xvfb::maps() {
  XSync(dpy, False);
  int n = 0;
  while (XPending(dpy)) {
    XEvent ev;
    XNextEvent(dpy, &ev);
    n += ev.type == MapNotify;
  }
  return n;
}

Xvfb::~Xvfb() { kill_server(); }

Xvfb* x11(Display_Server& server) { return dynamic_cast<Xvfb*>(&server); }

bool display_answers(const std::string& name) {
  Display* dpy = XOpenDisplay(name.c_str());
  if (dpy) XCloseDisplay(dpy);
  return dpy != nullptr;
}

void Xvfb::kill_server() {
  if (dpy) XCloseDisplay(dpy);
  dpy = nullptr;
  if (pid > 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  pid = -1;
}

void Xvfb::enter() const {
  setenv("DISPLAY", display_name.c_str(), 1);
  // FLTK 1.4 would open a Wayland desktop's compositor before any X server.
  unsetenv("WAYLAND_DISPLAY");
}

// The toolkit draws the window at the scale it is given, where it scales.
double Xvfb::take_scale(std::vector<std::string>* env) {
  double scale = 1;
  for (const std::string& e : *env)
    if (TOOLKIT.scales && e.rfind(SCALE_VARIABLE, 0) == 0)
      scale = std::stod(e.substr(strlen(SCALE_VARIABLE)));
  return scale;
}

bool Xvfb::scales_to(double s) const { return s == 1 || TOOLKIT.scales; }

// The process that made a window, as the toolkit records it; 0 if unknown.
static pid_t window_pid(Display* dpy, Window w) {
  Atom type;
  int format;
  unsigned long n = 0, left;
  unsigned char* data = nullptr;
  pid_t pid = 0;
  if (XGetWindowProperty(dpy, w, XInternAtom(dpy, "_NET_WM_PID", False), 0, 1,
                         False, XA_CARDINAL, &type, &format, &n, &left,
                         &data) == Success && data && n == 1)
    pid = (pid_t) * (const long*)data;
  if (data) XFree(data);
  return pid;
}

// The first top-level window that is shown, other than the test's own: the
// program's, and only its, since nothing else runs on the server. A window
// that the program's toolkit has not yet marked with its process counts too.
Window Xvfb::top_level(pid_t) {
  Window root, parent, *kids = nullptr, found = 0;
  unsigned n = 0;
  if (!XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &kids, &n))
    return 0;
  for (unsigned i = 0; i < n && !found; i++) {
    XWindowAttributes a;
    if (XGetWindowAttributes(dpy, kids[i], &a) && a.map_state == IsViewable &&
        window_pid(dpy, kids[i]) != getpid())
      found = kids[i];
  }
  if (kids) XFree(kids);
  return found;
}

bool sun_shown(Display* dpy, Window win, double scale) {
  int centre = to_screen(SUN_CX, scale);
  return shot_window(dpy, win, centre, centre, 1, 1).px[0] == YELLOW;
}

Shot shot_window(Display* dpy, Window win, int x, int y, int w, int h) {
  Shot s(x, y, w, h);
  XImage* img =
      win ? XGetImage(dpy, win, x, y, w, h, AllPlanes, ZPixmap) : nullptr;
  if (!img) return s;
  s.read = true;
  bool direct = img->bits_per_pixel == 32 && img->byte_order == LSBFirst;
  for (int j = 0; j < h; j++) {
    const uint32_t* row = (const uint32_t*)(img->data + j * img->bytes_per_line);
    for (int i = 0; i < w; i++)
      s.px[j * w + i] = (direct ? row[i] : XGetPixel(img, i, j)) & 0xffffff;
  }
  XDestroyImage(img);
  return s;
}

Shot Xvfb::shot(Window w, int x, int y, int width, int height) {
  return shot_window(dpy, w, x, y, width, height);
}

void Xvfb::size(Window w, int* width, int* height) {
  XWindowAttributes a = {};
  XGetWindowAttributes(dpy, w, &a);
  *width = a.width;
  *height = a.height;
}

bool Xvfb::fixed_size(Window w, int width, int height) {
  XSizeHints hints = {};
  long supplied = 0;
  if (!XGetWMNormalHints(dpy, w, &hints, &supplied)) return false;
  return (hints.flags & PMinSize) && (hints.flags & PMaxSize) &&
         hints.min_width == width && hints.max_width == width &&
         hints.min_height == height && hints.max_height == height;
}

std::string Xvfb::app_id(Window w, std::string* res_class) {
  XClassHint hint = {};
  if (!XGetClassHint(dpy, w, &hint)) return "";
  std::string name = hint.res_name ? hint.res_name : "";
  if (res_class) *res_class = hint.res_class ? hint.res_class : "";
  XFree(hint.res_name);
  XFree(hint.res_class);
  return name;
}

std::vector<int> Xvfb::icon_sizes(Window w) {
  Atom type;
  int format;
  unsigned long n = 0, left;
  unsigned char* data = nullptr;
  std::vector<int> sizes;
  if (XGetWindowProperty(dpy, w, XInternAtom(dpy, "_NET_WM_ICON", False), 0,
                         1 << 20, False, XA_CARDINAL, &type, &format, &n, &left,
                         &data) != Success || !data)
    return sizes;
  // Each icon: width, height, then width * height pixels.
  const long* v = (const long*)data;
  for (unsigned long i = 0; i + 2 <= n; i += 2 + v[i] * v[i + 1])
    sizes.push_back((int)v[i]);
  XFree(data);
  return sizes;
}

std::string Xvfb::title(Window w) {
  char* name = nullptr;
  if (!XFetchName(dpy, w, &name) || !name) return "";
  std::string t = name;
  XFree(name);
  return t;
}

bool Xvfb::iconic_hint(Window w) {
  XWMHints* hints = XGetWMHints(dpy, w);
  bool iconic = hints && (hints->flags & StateHint) &&
                hints->initial_state == IconicState;
  if (hints) XFree(hints);
  return iconic;
}

void Xvfb::move(Window w, int x, int y, double scale) {
  int rx, ry;
  Window unused;
  XTranslateCoordinates(dpy, w, DefaultRootWindow(dpy), to_screen(x, scale),
                        to_screen(y, scale), &rx, &ry, &unused);
  XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rx, ry, CurrentTime);
  XSync(dpy, False);
}

void Xvfb::button(bool down) {
  XTestFakeButtonEvent(dpy, 1, down, CurrentTime);
  XSync(dpy, False);
}

void Xvfb::key(Window w, const char* keysym_name, const char* modifier) {
  XSetInputFocus(dpy, w, RevertToPointerRoot, CurrentTime);
  KeyCode code = XKeysymToKeycode(dpy, XStringToKeysym(keysym_name));
  KeyCode held = modifier ? XKeysymToKeycode(dpy, XStringToKeysym(modifier)) : 0;
  if (held) XTestFakeKeyEvent(dpy, held, True, CurrentTime);
  XTestFakeKeyEvent(dpy, code, True, CurrentTime);
  XTestFakeKeyEvent(dpy, code, False, CurrentTime);
  if (held) XTestFakeKeyEvent(dpy, held, False, CurrentTime);
  XSync(dpy, False);
}

void Xvfb::close_request(Window w) {
  XEvent ev = {};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = w;
  ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, w, False, NoEventMask, &ev);
  XSync(dpy, False);
}

// Frames are watched on a connection of their own whose only events are the
// window's damage: the watcher sleeps until the program presents a frame.
namespace {
class Damage_Watch : public Frame_Watch {
public:
  Damage_Watch(const std::string& name, Window w) : win(w) {
    dpy = XOpenDisplay(name.c_str());
    int error;
    if (dpy && XDamageQueryExtension(dpy, &damage_event, &error))
      damage = XDamageCreate(dpy, win, XDamageReportNonEmpty);
  }
  ~Damage_Watch() override {
    if (damage) XDamageDestroy(dpy, damage);
    if (dpy) XCloseDisplay(dpy);
  }
  Shot shot(int x, int y, int w, int h) override {
    // Cleared before the read: a frame that comes during it is reported.
    if (damage) XDamageSubtract(dpy, damage, None, None);
    return dpy ? shot_window(dpy, win, x, y, w, h) : Shot();
  }
  bool next_frame(std::chrono::steady_clock::time_point deadline) override {
    if (!damage) return false;
    for (;;) {
      while (XPending(dpy)) {
        XEvent ev;
        XNextEvent(dpy, &ev);
        if (ev.type == damage_event + XDamageNotify) return true;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
      poll(&p, 1, (int)std::min<long>(left.count(), 100));
    }
  }

private:
  Display* dpy = nullptr;
  Window win;
  Damage damage = 0;
  int damage_event = 0;
};
}  // namespace

std::unique_ptr<Frame_Watch> Xvfb::watch(Window w) {
  return std::unique_ptr<Frame_Watch>(new Damage_Watch(display_name, w));
}
