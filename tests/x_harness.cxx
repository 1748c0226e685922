#include <X11/Xlib.h>
#include "x_harness.h"
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
#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#ifndef KELVARO_BIN
#error "KELVARO_BIN must name the program under test"
#endif

bool poll_until(double seconds, const std::function<bool()>& cond) {
  auto deadline = std::chrono::steady_clock::now() +
                  std::chrono::duration<double>(seconds);
  for (;;) {
    if (cond()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

int exit_code(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

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

void Xvfb::set_resources(const std::string& text) {
  XChangeProperty(dpy, DefaultRootWindow(dpy), XA_RESOURCE_MANAGER, XA_STRING,
                  8, PropModeReplace, (const unsigned char*)text.data(),
                  (int)text.size());
  XSync(dpy, False);
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

Xvfb& shared_server() {
  static Xvfb server;
  return server;
}

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

Kelvaro::Kelvaro(const Xvfb& server, const std::vector<std::string>& args,
                 const std::vector<std::string>& env,
                 const std::string& binary)
  : server(server) {
  // The toolkit draws the window at the scale it is given, where it scales.
  for (const std::string& e : env)
    if (TOOLKIT.scales && e.rfind(SCALE_VARIABLE, 0) == 0)
      scale_ = std::stod(e.substr(strlen(SCALE_VARIABLE)));
  std::string path = binary.empty() ? KELVARO_BIN : binary;
  int fds[2], outs[2];
  if (pipe(fds) != 0 || pipe(outs) != 0) throw std::runtime_error("pipe");
  child = fork();
  if (child == 0) {
    dup2(fds[1], 2);
    dup2(outs[1], 1);
    close(fds[0]);
    close(fds[1]);
    close(outs[0]);
    close(outs[1]);
    setenv("DISPLAY", server.name().c_str(), 1);
    for (const std::string& e : env) putenv(strdup(e.c_str()));
    std::vector<char*> argv;
    argv.push_back((char*)path.c_str());
    for (const std::string& a : args) argv.push_back((char*)a.c_str());
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    _exit(127);
  }
  close(fds[1]);
  close(outs[1]);
  err_fd = fds[0];
  out_fd = outs[0];
  fcntl(err_fd, F_SETFL, O_NONBLOCK);
  fcntl(out_fd, F_SETFL, O_NONBLOCK);
}

Kelvaro::~Kelvaro() {
  if (!reaped) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
  }
  close(err_fd);
  close(out_fd);
}

void Kelvaro::drain_err() {
  char buf[4096];
  ssize_t n;
  while ((n = read(err_fd, buf, sizeof buf)) > 0) err_text.append(buf, n);
  while ((n = read(out_fd, buf, sizeof buf)) > 0) out_text.append(buf, n);
}

std::string Kelvaro::out() {
  drain_err();
  return out_text;
}

std::string Kelvaro::err() {
  drain_err();
  return err_text;
}

bool Kelvaro::wait_exit(double seconds, int* status) {
  if (reaped) return true;
  reaped = poll_until(seconds, [&] {
    drain_err();
    return waitpid(child, status, WNOHANG) == child;
  });
  drain_err();
  return reaped;
}

int Kelvaro::ended(double seconds) {
  int status;
  return wait_exit(seconds, &status) ? exit_code(status) : NOT_ENDED;
}

int Kelvaro::quit() {
  key("Escape");
  return ended();
}

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

// The first top-level window that is shown, other than the test's own.
static Window viewable_top_level(Display* dpy) {
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

Window Kelvaro::wait_mapped(double seconds) {
  poll_until(seconds, [&] { return (win = viewable_top_level(server.display())); });
  return win;
}

Window Kelvaro::wait_window(double seconds) {
  poll_until(seconds, [&] {
    return wait_mapped(0) && sun_shown(server.display(), win, scale_);
  });
  return win;
}

bool sun_shown(Display* dpy, Window win, double scale) {
  int centre = to_screen(30, scale);
  return shot_window(dpy, win, centre, centre, 1, 1).px[0] == YELLOW;
}

Shot shot_window(Display* dpy, Window win, int x, int y, int w, int h) {
  Shot s;
  s.x0 = x;
  s.y0 = y;
  s.w = w;
  s.h = h;
  s.px.assign((size_t)w * h, BLACK);
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

Shot Kelvaro::shot(int x, int y, int w, int h) const {
  return shot_window(server.display(), win, x, y, w, h);
}

void Kelvaro::size(int* w, int* h) const {
  XWindowAttributes a = {};
  XGetWindowAttributes(server.display(), win, &a);
  *w = a.width;
  *h = a.height;
}

bool Kelvaro::fixed_size(int w, int h) const {
  XSizeHints hints = {};
  long supplied = 0;
  if (!XGetWMNormalHints(server.display(), win, &hints, &supplied)) return false;
  return (hints.flags & PMinSize) && (hints.flags & PMaxSize) &&
         hints.min_width == w && hints.max_width == w &&
         hints.min_height == h && hints.max_height == h;
}

std::string Kelvaro::wm_class(std::string* res_class) const {
  XClassHint hint = {};
  if (!XGetClassHint(server.display(), win, &hint)) return "";
  std::string name = hint.res_name ? hint.res_name : "";
  if (res_class) *res_class = hint.res_class ? hint.res_class : "";
  XFree(hint.res_name);
  XFree(hint.res_class);
  return name;
}

std::vector<int> Kelvaro::icon_sizes() const {
  Display* dpy = server.display();
  Atom type;
  int format;
  unsigned long n = 0, left;
  unsigned char* data = nullptr;
  std::vector<int> sizes;
  if (XGetWindowProperty(dpy, win, XInternAtom(dpy, "_NET_WM_ICON", False), 0,
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

std::string Kelvaro::title() const {
  char* name = nullptr;
  if (!XFetchName(server.display(), win, &name) || !name) return "";
  std::string t = name;
  XFree(name);
  return t;
}

bool Kelvaro::iconic_hint() const {
  XWMHints* hints = XGetWMHints(server.display(), win);
  bool iconic = hints && (hints->flags & StateHint) &&
                hints->initial_state == IconicState;
  if (hints) XFree(hints);
  return iconic;
}

void Kelvaro::move(int x, int y) const {
  Display* dpy = server.display();
  int rx, ry;
  Window unused;
  XTranslateCoordinates(dpy, win, DefaultRootWindow(dpy), to_screen(x), to_screen(y), &rx, &ry,
                        &unused);
  XTestFakeMotionEvent(dpy, DefaultScreen(dpy), rx, ry, CurrentTime);
  XSync(dpy, False);
}

void Kelvaro::button(bool down) const {
  XTestFakeButtonEvent(server.display(), 1, down, CurrentTime);
  XSync(server.display(), False);
}

void Kelvaro::click(int x, int y) const {
  move(x, y);
  button(true);
  button(false);
}

void Kelvaro::key(const char* keysym_name, const char* modifier) const {
  Display* dpy = server.display();
  XSetInputFocus(dpy, win, RevertToPointerRoot, CurrentTime);
  KeyCode code = XKeysymToKeycode(dpy, XStringToKeysym(keysym_name));
  KeyCode held = modifier ? XKeysymToKeycode(dpy, XStringToKeysym(modifier)) : 0;
  if (held) XTestFakeKeyEvent(dpy, held, True, CurrentTime);
  XTestFakeKeyEvent(dpy, code, True, CurrentTime);
  XTestFakeKeyEvent(dpy, code, False, CurrentTime);
  if (held) XTestFakeKeyEvent(dpy, held, False, CurrentTime);
  XSync(dpy, False);
}

void Kelvaro::close_request() const {
  Display* dpy = server.display();
  XEvent ev = {};
  ev.xclient.type = ClientMessage;
  ev.xclient.window = win;
  ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
  ev.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, win, False, NoEventMask, &ev);
  XSync(dpy, False);
}

bool machine_corner(const Shot& s, int* x, int* y, double scale) {
  int rx = -1, ry = -1;
  for (int j = 0; j < s.h; j++)
    for (int i = 0; i < s.w; i++)
      if (s.px[j * s.w + i] == RED) {
        if (rx < 0 || s.x0 + i < rx) rx = s.x0 + i;
        if (ry < 0) ry = s.y0 + j;
      }
  if (rx < 0) return false;
  *x = (int)std::lround(rx / scale) - 13;
  *y = (int)std::lround(ry / scale) - 27;
  return true;
}

// The whole area the machine can be seen in during a flight from the deck.
Shot Kelvaro::flight_area(Display* dpy) const {
  return scene_shot(dpy, 0, 180, 600, 220);
}

// The part of it a flight from rest passes through, from the machine's
// visible rows on the deck (x 350 to 384, y 186 to 198) to the landing at
// (197, 315): a fifth as many pixels to read for each frame.
Shot Kelvaro::rest_flight_area(Display* dpy) const {
  return scene_shot(dpy, 190, 180, 200, 180);
}

Shot Kelvaro::scene_shot(Display* dpy, int x, int y, int w, int h) const {
  return shot_window(dpy, win, to_screen(x), to_screen(y), to_screen(w), to_screen(h));
}

int to_screen(int v, double scale) { return (int)std::ceil(v * scale - 1e-9); }

int Kelvaro::to_screen(int scene) const { return ::to_screen(scene, scale_); }

bool Kelvaro::machine_seen_at(int x, int y) const {
  int mx, my;
  return machine_corner(flight_area(server.display()), &mx, &my, scale_) &&
         mx == x && my == y;
}

// The watcher sleeps until the program presents a frame, on a connection of
// its own whose only events are the window's damage, and then reads the
// machine's area. A watcher that polled instead would compete with the
// program for the CPU all the time, and fall behind when every core is busy.
std::vector<Sighting> Kelvaro::watch_flight(int end_x, int end_y,
                                            double seconds,
                                            std::vector<Shot>* frames) const {
  std::vector<Sighting> seen;
  Display* dpy = XOpenDisplay(server.name().c_str());
  int damage_event, damage_error;
  if (!dpy || !XDamageQueryExtension(dpy, &damage_event, &damage_error)) {
    if (dpy) XCloseDisplay(dpy);
    return seen;
  }
  Damage damage = XDamageCreate(dpy, win, XDamageReportNonEmpty);
  int w = 0, h = 0;
  if (frames) size(&w, &h);
  auto start = std::chrono::steady_clock::now();
  auto deadline = start + std::chrono::duration<double>(seconds);
  for (;;) {
    // Cleared before the read: a frame that comes during it is reported.
    XDamageSubtract(dpy, damage, None, None);
    double now = std::chrono::duration<double>(
                     std::chrono::steady_clock::now() - start).count();
    int x, y;
    Shot s = frames ? shot_window(dpy, win, 0, 0, w, h) : rest_flight_area(dpy);
    if (machine_corner(s, &x, &y, scale_)) {
      bool at_rest = x == 350 && y == 159;
      bool moved = seen.empty() ? !at_rest
                                : x != seen.back().x || y != seen.back().y;
      if (moved) {
        seen.push_back({x, y, now});
        if (frames) frames->push_back(s);
      }
      if (x == end_x && y == end_y && !seen.empty()) break;
    }
    bool damaged = false;
    while (!damaged) {
      while (!damaged && XPending(dpy)) {
        XEvent ev;
        XNextEvent(dpy, &ev);
        damaged = ev.type == damage_event + XDamageNotify;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (damaged || left.count() <= 0) break;
      struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
      poll(&p, 1, (int)std::min<long>(left.count(), 100));
    }
    if (!damaged) break;
  }
  XDamageDestroy(dpy, damage);
  XCloseDisplay(dpy);
  return seen;
}

uint64_t Kelvaro::cpu_ns() const {
  std::ifstream in("/proc/" + std::to_string(child) + "/schedstat");
  uint64_t ns = 0;
  in >> ns;
  return ns;
}

uint64_t Kelvaro::switches() const {
  std::ifstream in("/proc/" + std::to_string(child) + "/status");
  std::string line;
  uint64_t total = 0;
  while (std::getline(in, line))
    if (line.find("ctxt_switches:") != std::string::npos)
      total += std::stoull(line.substr(line.find(':') + 1));
  return total;
}

Load::Load() {
  long cores = sysconf(_SC_NPROCESSORS_ONLN);
  for (long i = 0; i < cores; i++) {
    pid_t p = fork();
    if (p == 0)
      for (volatile unsigned long n = 0;; n++) {
      }
    spinners.push_back(p);
  }
}

Load::~Load() {
  for (pid_t p : spinners) {
    kill(p, SIGKILL);
    waitpid(p, nullptr, 0);
  }
}

std::string rest_flight_mismatch(const std::vector<Sighting>& seen) {
  std::ostringstream why;
  for (size_t i = 0; i < seen.size() || i < (size_t)REST_FLIGHT_TICKS; i++) {
    bool expected = i < (size_t)REST_FLIGHT_TICKS, got = i < seen.size();
    if (expected && got && seen[i].x == REST_FLIGHT[i][0] &&
        seen[i].y == REST_FLIGHT[i][1])
      continue;
    why << "tick " << i + 1 << ": expected ";
    if (expected) why << "(" << REST_FLIGHT[i][0] << ", " << REST_FLIGHT[i][1] << ")";
    else why << "nothing";
    why << ", seen ";
    if (got) why << "(" << seen[i].x << ", " << seen[i].y << ")";
    else why << "nothing";
    why << "; ";
  }
  return why.str();
}
