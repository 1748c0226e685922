// Test harness: a private display server per test program (an Xvfb, or a
// headless sway), the real kelvaro binary started on it, its pixels read
// back and real input sent to it from outside. Tables call this face only,
// so the same rows run on X11 and on Wayland; x11.h and wayland.h hold what
// only one display system has. Every wait polls a condition against a
// deadline.
#ifndef KELVARO_HARNESS_H
#define KELVARO_HARNESS_H

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "scene_points.h"

// A top-level window: an X window, or the compositor's id for it.
typedef unsigned long Window;

// What a finger does on a touchscreen.
enum Touch { TOUCH_DOWN, TOUCH_MOTION, TOUCH_UP, TOUCH_CANCEL };

// What presses, drags and releases: the mouse's left button, or a finger.
enum Device { MOUSE, FINGER };

// Polls cond until it holds or the deadline passes; returns its last value.
bool poll_until(double seconds, const std::function<bool()>& cond);

// 0xRRGGBB colours.
typedef uint32_t Rgb;
const Rgb WHITE = 0xffffff, BLACK = 0x000000, BLUE = 0x0000ff,
          YELLOW = 0xffff00, RED = 0xff0000, GREY = 0xc0c0c0;

// A rectangle of window pixels read at one moment.
struct Shot {
  int x0 = 0, y0 = 0, w = 0, h = 0;
  std::vector<Rgb> px;
  bool read = false;  // false when the server refused it: all black then
  Shot() = default;
  // A rectangle not read yet: all black.
  Shot(int x, int y, int width, int height)
    : x0(x), y0(y), w(width), h(height), px((size_t)width * height, BLACK) {}
  Rgb at(int x, int y) const { return px[(y - y0) * w + (x - x0)]; }
};

// Waits for a window to present frames, on behalf of a frame watcher.
class Frame_Watch {
public:
  virtual ~Frame_Watch() = default;
  // A rectangle of the window, in screen pixels, read now.
  virtual Shot shot(int x, int y, int w, int h) = 0;
  // Returns once the window may have presented a frame since the last shot,
  // or false when the deadline passes first.
  virtual bool next_frame(std::chrono::steady_clock::time_point deadline) = 0;
};

// The environment variable that gives the toolkit its scale on X11.
const char* const SCALE_VARIABLE = "FLTK_SCALING_FACTOR=";

// A display server of the test's own, which nothing else connects to.
// Coordinates are screen pixels of the window, except where window units
// are named: a window drawn at scale s shows window unit v at pixel
// to_screen(v, s).
class Display_Server {
public:
  virtual ~Display_Server() = default;
  virtual const char* system() const = 0;  // "X11" or "Wayland"
  // Sets, in a child process about to start a client, the environment that
  // points the client at this server and at no other.
  virtual void enter() const = 0;
  // The scale the client is drawn at, given its environment. A scale asked
  // for through SCALE_VARIABLE is the toolkit's on X11; on Wayland the
  // output is set to it, and the variable is left out of env.
  virtual double take_scale(std::vector<std::string>* env) = 0;
  // This server shows windows at scale s.
  virtual bool scales_to(double s) const = 0;
  // An abrupt loss, as a crashed or killed server.
  virtual void kill_server() = 0;
  // Sets the X resources clients read when they connect; false where the
  // display system has none to set, unless text is empty.
  virtual bool set_resources(const std::string& text) = 0;
  // Top-level windows mapped since the last call; -1 where this display
  // system does not tell.
  virtual int maps() = 0;
  // A frame watcher sees every frame presented, not only some.
  virtual bool sees_every_frame() const = 0;
  // How the toolkit's message starts when it loses this server.
  virtual const char* lost_message() const = 0;

  // The shown top-level window of process pid, or 0.
  virtual Window top_level(pid_t pid) = 0;
  virtual Shot shot(Window w, int x, int y, int width, int height) = 0;
  virtual void size(Window w, int* width, int* height) = 0;
  virtual std::string title(Window w) = 0;
  // The name that ties the window to its desktop entry: the app_id on
  // Wayland, WM_CLASS's first part on X11 (and its second in res_class).
  virtual std::string app_id(Window w, std::string* res_class = nullptr) = 0;
  virtual std::unique_ptr<Frame_Watch> watch(Window w) = 0;

  // Real input. The pointer goes to window unit (x, y) of a window drawn
  // at scale.
  virtual void move(Window w, int x, int y, double scale) = 0;
  virtual void button(bool down) = 0;
  // A key, typed with a modifier key held if one is named; X keysym names.
  virtual void key(Window w, const char* keysym_name,
                   const char* modifier = nullptr) = 0;
  // What the window manager's or compositor's close sends.
  virtual void close_request(Window w) = 0;
  // A touchscreen's fingers, where the server has one: finger f goes down
  // at, or moves to, window unit (x, y) of a window drawn at scale, or lifts;
  // or the server cancels every finger's touch, as for a gesture of its own.
  virtual bool touches() const { return false; }
  virtual void touch(Window, Touch, int /*finger*/, int /*x*/ = 0, int /*y*/ = 0,
                     double /*scale*/ = 1) {}
};

// A new server of the kind the test program runs on: Wayland under sway when
// KELVARO_TEST_DISPLAY is "wayland", under kwin, with a touchscreen, when it
// is "kwin", X11 otherwise.
std::unique_ptr<Display_Server> new_server();
// One such server for a whole test program, started on first use.
Display_Server& shared_server();

// One position of the machine seen on screen, and when it was first seen.
struct Sighting {
  int x, y;
  double seconds;  // since the input that started it, when the frame was reported
};

// Where the machine is seen in a shot of a window drawn at a scale: the
// corner of its picture in window units, found from its red band.
bool machine_corner(const Shot& s, int* x, int* y, double scale = 1);

// The screen pixel where window coordinate v lies in a window drawn at scale.
int to_screen(int v, double scale);

// The program the tests start: KELVARO_TEST_PROGRAM when it is set (an
// installed kelvaro, say), this build's otherwise. A path there that is not
// a working kelvaro fails the tests that start it; they never fall back to
// the build's.
std::string program_under_test();

// How long a test waits for what the program shows after an input: far
// beyond a response any user would wait for (a tenth of a second), so that
// on a machine however busy only a program that does not respond fails.
const double RESPONSE_SECONDS = 10;

// One run of the program under test, its stderr and stdout collected.
class Kelvaro {
public:
  // binary defaults to program_under_test().
  Kelvaro(Display_Server& server, const std::vector<std::string>& args,
          std::vector<std::string> env = {}, const std::string& binary = "");
  ~Kelvaro();

  // The program's top-level window once mapped and painted (the sun, which
  // no option recolours, is on screen), or 0 after the deadline.
  Window wait_window(double seconds = RESPONSE_SECONDS);
  // Its top-level window once mapped, or 0 after the deadline.
  Window wait_mapped(double seconds = RESPONSE_SECONDS);
  Window window() const { return win; }
  // Waits for the process to end; true with its wait status when it did.
  bool wait_exit(double seconds, int* status);
  // Waits for the end: the exit code (-signal for a signal), or NOT_ENDED.
  int ended(double seconds = RESPONSE_SECONDS);
  // Escape in the window, then ended().
  int quit();
  // Everything written to stderr and to stdout so far.
  std::string err();
  std::string out();
  pid_t pid() const { return child; }

  Shot shot(int x, int y, int w, int h) const;
  void size(int* w, int* h) const;
  std::string title() const;
  std::string app_id(std::string* res_class = nullptr) const;
  Rgb pixel(int x, int y) const { return shot(x, y, 1, 1).px[0]; }

  // Screen pixels per window unit. Input and the machine's position are in
  // window units; shots are in screen pixels.
  double scale() const { return scale_; }
  int to_screen(int scene) const;

  // Real input, at window coordinates.
  void move(int x, int y) const;
  void button(bool down) const;
  void click(int x, int y, Device d = MOUSE) const;
  // A press, drag or release by the mouse's button or by finger 0.
  void press(Device d, int x, int y) const;
  void drag(Device d, int x, int y) const;
  void release(Device d) const;
  void touch(Touch t, int finger, int x = 0, int y = 0) const;
  void key(const char* keysym_name, const char* modifier = nullptr) const;
  void close_request() const;

  // Launches the machine from rest without a drag (a press and a release on
  // it, by d), then reads the area its flight passes through each time the
  // program may have presented a frame, and keeps each new position seen,
  // until the landing is seen or the deadline passes (by default a wait for
  // a response, over sixteen times a flight's 0.6 s). The rest position is
  // not recorded until it is left. A sighting's time counts from just
  // before the press was sent, so that a flight may look longer than it
  // was, however the machine is shared, but never shorter. Given frames, it
  // reads the whole window instead and keeps it for each position.
  std::vector<Sighting> fly_from_rest(double seconds = RESPONSE_SECONDS,
                                      std::vector<Shot>* frames = nullptr,
                                      Device d = MOUSE) const;
  // The machine is on screen with its corner at (x, y).
  bool machine_seen_at(int x, int y) const;

  // Polls until the process has used no CPU for a tenth of a second: every
  // tick chain has ended, and nothing is left to draw.
  bool goes_quiet(double seconds = RESPONSE_SECONDS) const;

  // CPU time the process has used, in nanoseconds, and its context switches
  // (each a wake-up or a preemption) so far.
  uint64_t cpu_ns() const;
  uint64_t switches() const;

private:
  Display_Server& server;
  pid_t child = -1;
  int err_fd = -1, out_fd = -1;
  std::string err_text, out_text;
  Window win = 0;
  double scale_ = 1;
  bool reaped = false;
  void drain_err();
};

// How the positions seen differ from a flight from rest; "" when each is a
// tick's, later than the one seen before it, up to the landing, and the
// landing came no sooner than its ticks allow. A tick may be missing: the
// toolkit keeps a flight on its 0.03 s grid, so when the program was kept
// from running past a tick's time it runs the late ticks before it paints
// again. With every_frame, every tick must have been seen, in turn.
std::string rest_flight_mismatch(const std::vector<Sighting>& seen,
                                 bool every_frame = false);

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
