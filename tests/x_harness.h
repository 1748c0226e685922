// Test harness: a private Xvfb server per test program, the real kelvaro
// binary started on it, pixels read back with XGetImage and input sent with
// XTest. Every wait polls a condition against a deadline.
#ifndef KELVARO_X_HARNESS_H
#define KELVARO_X_HARNESS_H

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Xlib's own header defines macros (None, Bool, Status) that clash with test
// frameworks, so only its two handle types are named here.
typedef struct _XDisplay Display;
typedef unsigned long Window;

// Polls cond until it holds or the deadline passes; returns its last value.
bool poll_until(double seconds, const std::function<bool()>& cond);

// A headless X server of our own, on the first free display number; given a
// memory limit in bytes, a server short of memory.
class Xvfb {
public:
  explicit Xvfb(unsigned long memory_limit = 0);
  ~Xvfb();
  const std::string& name() const { return display_name; }
  Display* display() const { return dpy; }
  void kill_server();  // abrupt loss, as a crashed or killed server
  // Replaces the server's X resource database (what xrdb loads), which
  // programs read when they connect.
  void set_resources(const std::string& text);
  // Top-level windows mapped since the last call.
  int maps();

private:
  pid_t pid = -1;
  std::string display_name;
  Display* dpy = nullptr;
};

// One server for a whole test program, started on first use.
Xvfb& shared_server();

// Some X server answers on the display of that name.
bool display_answers(const std::string& name);

// 0xRRGGBB colours.
typedef uint32_t Rgb;
const Rgb WHITE = 0xffffff, BLACK = 0x000000, BLUE = 0x0000ff,
          YELLOW = 0xffff00, RED = 0xff0000, GREY = 0xc0c0c0;

// A rectangle of window pixels read in one request.
struct Shot {
  int x0 = 0, y0 = 0, w = 0, h = 0;
  std::vector<Rgb> px;
  bool read = false;  // false when the server refused it: all black then
  Rgb at(int x, int y) const { return px[(y - y0) * w + (x - x0)]; }
};

// Reads a rectangle of any window on the server.
Shot shot_window(Display* dpy, Window win, int x, int y, int w, int h);

// Where the machine is seen in a shot of a window drawn at a scale: the
// corner of its picture in window units, found from the red band that starts
// at row 27, column 13 (no red lies above or left of it, and nothing else in
// the scene is pure red).
bool machine_corner(const Shot& s, int* x, int* y, double scale = 1);

// The screen pixel where window coordinate v lies in a window drawn at scale.
int to_screen(int v, double scale);

// The sun, which no option recolours, is on screen in a window drawn at
// scale: the sign that the scene is painted.
bool sun_shown(Display* dpy, Window win, double scale = 1);

// The environment variable that gives the toolkit its scale on X11.
const char* const SCALE_VARIABLE = "FLTK_SCALING_FACTOR=";

// One position of the machine seen on screen, and when it was first seen.
struct Sighting {
  int x, y;
  double seconds;  // since the watch began, when the frame was reported
};

// One run of the program under test, its stderr collected.
class Kelvaro {
public:
  // binary defaults to the program of this build.
  Kelvaro(const Xvfb& server, const std::vector<std::string>& args,
          const std::vector<std::string>& env = {},
          const std::string& binary = "");
  ~Kelvaro();

  // The program's top-level window once mapped and painted (the sun, which
  // no option recolours, is on screen), or 0 after the deadline.
  Window wait_window(double seconds = 10);
  // Any program's top-level window once mapped, or 0 after the deadline.
  Window wait_mapped(double seconds = 10);
  Window window() const { return win; }
  // Waits for the process to end; true with its wait status when it did.
  bool wait_exit(double seconds, int* status);
  // Waits for the end: the exit code (-signal for a signal), or NOT_ENDED.
  int ended(double seconds = 10);
  // Escape in the window, then ended().
  int quit();
  // Everything written to stderr and to stdout so far.
  std::string err();
  std::string out();
  pid_t pid() const { return child; }

  Shot shot(int x, int y, int w, int h) const;
  void size(int* w, int* h) const;
  // The window manager is asked to keep the window at exactly w by h.
  bool fixed_size(int w, int h) const;
  // The window's class name (WM_CLASS's first part), and its second part.
  std::string wm_class(std::string* res_class = nullptr) const;
  // Widths of the icons the window carries for taskbars (_NET_WM_ICON).
  std::vector<int> icon_sizes() const;
  std::string title() const;
  // The window asks the window manager to start it iconified.
  bool iconic_hint() const;
  Rgb pixel(int x, int y) const { return shot(x, y, 1, 1).px[0]; }

  // Screen pixels per window unit: the scale the toolkit was given in the
  // environment, where it scales. Input and the machine's position are in
  // window units; shots are in screen pixels.
  double scale() const { return scale_; }
  int to_screen(int scene) const;

  // Real input through XTest, at window coordinates.
  void move(int x, int y) const;
  void button(bool down) const;
  void click(int x, int y) const;
  // A key, typed with a modifier key held if one is named.
  void key(const char* keysym_name, const char* modifier = nullptr) const;
  // What a window manager's close sends.
  void close_request() const;

  // Reads the area a flight from rest passes through each time the program
  // presents a frame, and keeps each new position seen, until (end_x, end_y)
  // is seen or the deadline passes. The rest position is not recorded until
  // it is left. Given frames, it reads the whole window instead and keeps
  // it for each position.
  std::vector<Sighting> watch_flight(int end_x, int end_y, double seconds = 10,
                                     std::vector<Shot>* frames = nullptr) const;
  // The machine is on screen with its corner at (x, y).
  bool machine_seen_at(int x, int y) const;

  // CPU time the process has used, in nanoseconds, and its context switches
  // (each a wake-up or a preemption) so far.
  uint64_t cpu_ns() const;
  uint64_t switches() const;

private:
  const Xvfb& server;
  pid_t child = -1;
  int err_fd = -1, out_fd = -1;
  std::string err_text, out_text;
  Window win = 0;
  double scale_ = 1;
  bool reaped = false;
  Shot scene_shot(Display* dpy, int x, int y, int w, int h) const;
  Shot flight_area(Display* dpy) const;
  Shot rest_flight_area(Display* dpy) const;
  void drain_err();
};

// The machine's top-left corner after each tick of a launch from rest
// without a drag: 21 ticks, landing at (197, 315).
const int REST_FLIGHT[][2] = {
  {349, 159}, {347, 159}, {344, 159}, {340, 159}, {335, 159}, {329, 159},
  {322, 159}, {314, 159}, {305, 159}, {296, 161}, {287, 165}, {278, 171},
  {269, 179}, {260, 189}, {251, 201}, {242, 215}, {233, 231}, {224, 249},
  {215, 269}, {206, 291}, {197, 315},
};
const int REST_FLIGHT_TICKS = sizeof REST_FLIGHT / sizeof REST_FLIGHT[0];

// How the positions seen differ from that flight, tick by tick; "" when
// every tick was seen, in order, and nothing else.
std::string rest_flight_mismatch(const std::vector<Sighting>& seen);

// Busy loops on every core, for as long as the object lives.
class Load {
public:
  Load();
  ~Load();

private:
  std::vector<pid_t> spinners;
};

const int NOT_ENDED = -1000;

// Exit code of a normal ending, or -signal when a signal ended the process.
int exit_code(int status);

#endif
