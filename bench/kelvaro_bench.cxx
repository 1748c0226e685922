// Benchmark: the real program measured from outside on a private Xvfb, in
// one run beside two peers: xclock drawing its time in anti-aliased text, as
// kelvaro draws its captions, and xlogo, which draws no text. Prints a table
// of figures; it never fails on a timing.
//
//   kelvaro_bench [--runs N] [--program PATH] [--scale S] [--no-callgrind] [--figures]
//   kelvaro_bench --wayland [--runs N] [--program PATH] [--no-callgrind] [--figures]
//
// N start-ups of each client and N flights (default 5); PATH is the kelvaro
// to measure (default: KELVARO_TEST_PROGRAM, or else this build's); S the
// scale kelvaro is drawn at, where its toolkit scales (FLTK_SCALING_FACTOR,
// default 1). --no-callgrind leaves out the instruction counts, for builds
// that valgrind cannot run.
// --wayland measures kelvaro alone under a headless sway instead, at output
// scales 1 and 2: its CPU per frame and at rest, and its start-up
// instructions. No peer there draws text natively.
// --figures prints the figures as "name value" lines instead of a table,
// for bench/toolkits, which sets the builds of both toolkits side by side.
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <signal.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "harness.h"
#include "wayland.h"
#include "x11.h"

namespace {

const char* const XLOGO = "/usr/bin/xlogo";
const char* const VALGRIND = "/usr/bin/valgrind";
// The peer that pays for anti-aliased text; it redraws only every 30 s.
const std::vector<std::string> XCLOCK = {"/usr/bin/xclock", "-digital",
                                         "-render", "-update", "30"};
const double TICK_MS = SECONDS_PER_TICK * 1000;
const double LANDING_MS = TICK_MS * (REST_FLIGHT_TICKS - 1);
const double REST_SECONDS = 2;

double now_ms() {
  return std::chrono::duration<double, std::milli>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

double median(std::vector<double> v) {
  if (v.empty()) return NAN;
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

long peak_rss_kib(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// Handles the server's events as they come until done() says so or the
// deadline passes; false on the deadline.
bool pump(Display* dpy, double seconds, const std::function<bool(XEvent&)>& done) {
  double deadline = now_ms() + seconds * 1000;
  for (;;) {
    while (XPending(dpy)) {
      XEvent ev;
      XNextEvent(dpy, &ev);
      if (done(ev)) return true;
    }
    double left = deadline - now_ms();
    if (left <= 0) return false;
    struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
    poll(&p, 1, (int)std::min(left, 100.0));
  }
}

int damage_event = 0;

// The scale kelvaro is started at, given to it in its environment.
std::string scale = "1";
std::vector<std::string> kelvaro_env() { return {SCALE_VARIABLE + scale}; }

// When a client's first frame counts as painted.
typedef bool (*Painted)(Display*, Drawable);

// kelvaro: the scene is painted once the sun, which no option recolours, is
// on screen.
bool sun_painted(Display* dpy, Drawable d) { return sun_shown(dpy, d, std::stod(scale)); }

// xclock: the time is painted once any pixel differs from the background.
bool text_painted(Display* dpy, Drawable d) {
  XWindowAttributes a = {};
  if (!XGetWindowAttributes(dpy, d, &a) || a.width <= 0 || a.height <= 0)
    return false;
  Shot s = shot_window(dpy, d, 0, 0, a.width, a.height);
  for (Rgb p : s.px)
    if (p != s.px[0]) return true;
  return false;
}

// A client started on the server: kelvaro's harness runs any program.
struct Client {
  std::string program;
  std::vector<std::string> args;
  Painted painted;
  std::vector<std::string> env;
};

// Handles the server's events until a new top-level window of the client
// shows its first frame: every window created is watched for damage, and
// the first damage that leaves the frame painted ends the wait. Returns the
// time it was seen, or NAN after the deadline.
double first_frame(Display* dpy, Painted painted, double seconds) {
  double seen = NAN;
  pump(dpy, seconds, [&](XEvent& ev) {
    if (ev.type == CreateNotify)
      XDamageCreate(dpy, ev.xcreatewindow.window, XDamageReportNonEmpty);
    if (ev.type != damage_event + XDamageNotify) return false;
    XDamageNotifyEvent* notify = (XDamageNotifyEvent*)&ev;
    XDamageSubtract(dpy, notify->damage, None, None);
    if (!painted(dpy, notify->drawable)) return false;
    seen = now_ms();
    return true;
  });
  return seen;
}

// Exec to the first painted frame, with the client's CPU time to it and its
// peak resident set.
double startup_ms(Xvfb& x, const Client& c, long* rss, double* cpu_ms) {
  x.maps();
  double t0 = now_ms();
  Kelvaro k(x, c.args, c.env, c.program);
  double t1 = first_frame(x.display(), c.painted, 20);
  *cpu_ms = k.cpu_ns() / 1e6;
  *rss = peak_rss_kib(k.pid());
  return t1 - t0;
}

// Instructions from exec to the first painted frame, counted by callgrind;
// they repeat exactly from run to run, unlike times. The client is stopped
// once the frame is seen, and callgrind writes its count as it ends.
double startup_instructions(Display_Server& server, const Client& c,
                            const std::function<bool(Kelvaro&)>& first_frame_seen) {
  char out[] = "/tmp/kelvaro-bench-callgrind-XXXXXX";
  int fd = mkstemp(out);
  if (fd < 0) return NAN;
  close(fd);
  std::vector<std::string> args = {"--tool=callgrind", "--callgrind-out-file=" + std::string(out)};
  args.push_back(c.program);
  args.insert(args.end(), c.args.begin(), c.args.end());
  double total = NAN;
  {
    Kelvaro k(server, args, c.env, VALGRIND);
    if (first_frame_seen(k)) {
      kill(k.pid(), SIGTERM);
      k.ended(60);
      std::ifstream in(out);
      std::string line;
      while (std::getline(in, line))
        if (line.rfind("summary:", 0) == 0 || line.rfind("totals:", 0) == 0)
          total = std::stod(line.substr(line.find(':') + 1));
    }
  }
  unlink(out);
  return total;
}

// On X, the first frame is seen through the DAMAGE extension.
double startup_instructions(Xvfb& x, const Client& c) {
  x.maps();
  return startup_instructions(x, c, [&](Kelvaro&) {
    return !std::isnan(first_frame(x.display(), c.painted, 120));
  });
}

// Exec to the reference client's window being mapped.
double xlogo_startup(Xvfb& x, long* rss) {
  Display* dpy = x.display();
  x.maps();
  double t0 = now_ms(), t1 = NAN;
  Kelvaro k(x, {}, {}, XLOGO);
  pump(dpy, 20, [&](XEvent& ev) {
    if (ev.type != MapNotify) return false;
    t1 = now_ms();
    return true;
  });
  // Its peak once it has drawn too.
  poll_until(2, [&] { return k.wait_mapped(0) != 0; });
  *rss = peak_rss_kib(k.pid());
  return t1 - t0;
}

struct Flight {
  int presented = 0;       // ticks of the 21 seen at their positions, in order
  double worst_ms = NAN;   // largest deviation of a presented tick from its slot
  double landing_ms = NAN; // tick 21's deviation from 0.6 s after tick 1
  double cpu_us = NAN;     // client CPU per frame
};

// A launch from rest without a drag, each frame timed when the server
// reports that it changed the window.
Flight fly(Kelvaro& k) {
  Flight f;
  uint64_t cpu0 = k.cpu_ns();
  std::vector<Sighting> seen = k.fly_from_rest();
  uint64_t cpu1 = k.cpu_ns();
  f.cpu_us = (cpu1 - cpu0) / 1000.0 / REST_FLIGHT_TICKS;

  // Match what was seen against the flight, tick by tick.
  size_t i = 0;
  double first = NAN;
  f.worst_ms = 0;
  for (int tick = 0; tick < REST_FLIGHT_TICKS && i < seen.size(); tick++) {
    while (i < seen.size() && (seen[i].x != REST_FLIGHT[tick][0] ||
                               seen[i].y != REST_FLIGHT[tick][1]))
      i++;
    if (i == seen.size()) break;
    double ms = seen[i].seconds * 1000;
    if (tick == 0) first = ms;
    double slot = first + tick * TICK_MS;
    f.worst_ms = std::max(f.worst_ms, std::fabs(ms - slot));
    if (tick == REST_FLIGHT_TICKS - 1) f.landing_ms = ms - first - LANDING_MS;
    f.presented++;
  }
  k.click(AWAY_X, AWAY_Y);
  poll_until(5, [&] { return k.machine_seen_at(REST_X, REST_Y); });
  return f;
}

// The client's CPU time and wake-ups while it rests for REST_SECONDS.
void at_rest(const Kelvaro& k, double* cpu_us, long* wakeups) {
  uint64_t cpu0 = k.cpu_ns(), switches0 = k.switches();
  usleep((useconds_t)(REST_SECONDS * 1e6));
  *cpu_us = (k.cpu_ns() - cpu0) / 1000.0;
  *wakeups = (long)(k.switches() - switches0);
}

struct Flights {
  int presented_min = REST_FLIGHT_TICKS;
  std::vector<double> worst, landing, cpu;
  void add(const Flight& f) {
    presented_min = std::min(presented_min, f.presented);
    worst.push_back(f.worst_ms);
    landing.push_back(std::fabs(f.landing_ms));
    cpu.push_back(f.cpu_us);
  }
};

std::string machine_line() {
  std::ifstream in("/proc/cpuinfo");
  std::string line, model = "unknown CPU";
  while (std::getline(in, line))
    if (line.rfind("model name", 0) == 0) {
      model = line.substr(line.find(':') + 2);
      break;
    }
  struct utsname u;
  uname(&u);
  char buf[512];
  snprintf(buf, sizeof buf, "%ld cores, %s, Linux %s", sysconf(_SC_NPROCESSORS_ONLN),
           model.c_str(), u.release);
  return buf;
}

// kelvaro under a headless sway at one output scale: the instructions to
// its first frame (once the sun is seen), the median of its CPU per frame
// over flights, and its CPU and wake-ups at rest. The watcher there reads
// the window in turn rather than at each frame, so the ticks' timing is not
// measured.
struct Wayland_Figures {
  double startup_ir = NAN, cpu_us = NAN, rest_cpu_us = NAN;
  long rest_wakeups = -1, rss = -1;
};

Wayland_Figures wayland_figures(Display_Server& sway, const std::string& program,
                                const std::string& at, int runs, bool callgrind) {
  Wayland_Figures f;
  std::vector<std::string> env = {SCALE_VARIABLE + at};
  if (callgrind)
    f.startup_ir = startup_instructions(sway, {program, {}, nullptr, env},
                                        [](Kelvaro& k) { return k.wait_window(120) != 0; });
  Kelvaro k(sway, {}, env, program);
  if (!k.wait_window()) return f;
  Flights flights;
  for (int r = 0; r < runs; r++) flights.add(fly(k));
  f.cpu_us = median(flights.cpu);
  at_rest(k, &f.rest_cpu_us, &f.rest_wakeups);
  f.rss = peak_rss_kib(k.pid());
  return f;
}

int wayland_main(int runs, const std::string& program, bool callgrind, bool figures) {
  std::unique_ptr<Display_Server> sway = new_wayland_server();
  Wayland_Figures at_1 = wayland_figures(*sway, program, "1", runs, callgrind),
                  at_2 = wayland_figures(*sway, program, "2", runs, callgrind);
  if (figures) {
    for (auto [at, f] : {std::pair{1, at_1}, std::pair{2, at_2}})
      printf("wayland_%d_startup_ir %.0f\nwayland_%d_cpu_us %.0f\nwayland_%d_rest_cpu_us %.0f\n"
             "wayland_%d_rest_wakeups %ld\nwayland_%d_rss_kib %ld\n",
             at, f.startup_ir, at, f.cpu_us, at, f.rest_cpu_us, at, f.rest_wakeups, at, f.rss);
    return 0;
  }
  printf("kelvaro benchmark on Wayland (headless sway, pixman), %d flights each, on %s\n\n",
         runs, machine_line().c_str());
  printf("| measure | output scale 1 | output scale 2 |\n|---|---|---|\n");
  if (callgrind)
    printf("| start-up, instructions to first frame (callgrind) | %.1f M | %.1f M |\n",
           at_1.startup_ir / 1e6, at_2.startup_ir / 1e6);
  printf("| client CPU per frame (median of flights) | %.0f us | %.0f us (%.2f of scale 1) |\n",
         at_1.cpu_us, at_2.cpu_us, at_2.cpu_us / at_1.cpu_us);
  printf("| CPU and wake-ups over %.0f s at rest | %.0f us, %ld | %.0f us, %ld |\n",
         REST_SECONDS, at_1.rest_cpu_us, at_1.rest_wakeups, at_2.rest_cpu_us,
         at_2.rest_wakeups);
  printf("| peak resident set size | %ld KiB | %ld KiB |\n", at_1.rss, at_2.rss);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  std::string program;
  bool callgrind = true, wayland = false, figures = false;
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "--runs") && i + 1 < argc) {
      runs = std::max(1, atoi(argv[++i]));
    } else if (!strcmp(argv[i], "--program") && i + 1 < argc) {
      program = argv[++i];
    } else if (!strcmp(argv[i], "--scale") && i + 1 < argc) {
      scale = argv[++i];
    } else if (!strcmp(argv[i], "--no-callgrind")) {
      callgrind = false;
    } else if (!strcmp(argv[i], "--wayland")) {
      wayland = true;
    } else if (!strcmp(argv[i], "--figures")) {
      figures = true;
    } else {
      fprintf(stderr, "usage: kelvaro_bench [--wayland] [--runs N] [--program PATH] [--scale S] [--no-callgrind] [--figures]\n");
      return 2;
    }
  }
  if (program.empty()) program = program_under_test();
  if (wayland) return wayland_main(runs, program, callgrind, figures);

  Xvfb x;
  Display* dpy = x.display();
  int damage_error;
  if (!XDamageQueryExtension(dpy, &damage_event, &damage_error)) {
    fprintf(stderr, "kelvaro_bench: the X server has no DAMAGE extension\n");
    return 1;
  }

  // Start-up, alternately, so that all three see the same machine.
  const Client kelvaro = {program, {}, sun_painted, kelvaro_env()};
  const Client xclock = {XCLOCK[0], {XCLOCK.begin() + 1, XCLOCK.end()}, text_painted, {}};
  std::vector<double> kelvaro_ms, xclock_ms, xlogo_ms, kelvaro_cpu, xclock_cpu;
  long kelvaro_rss = 0, xclock_rss = 0, xlogo_rss = 0;
  for (int r = 0; r < runs; r++) {
    double cpu;
    kelvaro_ms.push_back(startup_ms(x, kelvaro, &kelvaro_rss, &cpu));
    kelvaro_cpu.push_back(cpu);
    xclock_ms.push_back(startup_ms(x, xclock, &xclock_rss, &cpu));
    xclock_cpu.push_back(cpu);
    xlogo_ms.push_back(xlogo_startup(x, &xlogo_rss));
  }
  double kelvaro_ir = NAN, xclock_ir = NAN;
  if (callgrind) {
    kelvaro_ir = startup_instructions(x, kelvaro);
    xclock_ir = startup_instructions(x, xclock);
  }

  // Flights, at rest, and flights with every core kept busy.
  Kelvaro k(x, {}, kelvaro_env(), program);
  if (!k.wait_window()) {
    fprintf(stderr, "kelvaro_bench: no window: %s\n", k.err().c_str());
    return 1;
  }
  Flights calm, loaded;
  for (int r = 0; r < runs; r++) calm.add(fly(k));

  double rest_cpu_us;
  long rest_wakeups;
  at_rest(k, &rest_cpu_us, &rest_wakeups);
  {
    Load load;
    for (int r = 0; r < runs; r++) loaded.add(fly(k));
  }
  long flight_rss = peak_rss_kib(k.pid());

  if (figures) {
    printf("startup_ir %.0f\nxclock_startup_ir %.0f\nstartup_ms %.1f\nxclock_startup_ms %.1f\n"
           "presented_min %d\nworst_tick_ms %.2f\ncpu_us %.0f\nrest_cpu_us %.0f\nrest_wakeups %ld\n"
           "loaded_presented_min %d\nloaded_worst_tick_ms %.2f\nloaded_landing_worst_ms %.2f\n"
           "rss_kib %ld\n",
           kelvaro_ir, xclock_ir, median(kelvaro_ms), median(xclock_ms), calm.presented_min,
           median(calm.worst), median(calm.cpu), rest_cpu_us, rest_wakeups,
           loaded.presented_min, median(loaded.worst),
           *std::max_element(loaded.landing.begin(), loaded.landing.end()), kelvaro_rss);
    return 0;
  }

  printf("kelvaro benchmark, %d runs each, kelvaro at scale %s (%.0fx%.0f), on %s\n\n",
         runs, scale.c_str(), 600 * k.scale(), 400 * k.scale(), machine_line().c_str());
  printf("| measure | kelvaro | xclock -render | xlogo | target |\n|---|---|---|---|---|\n");
  printf("| start-up, exec to first frame (median) | %.1f ms | %.1f ms | %.1f ms (mapped) | ahead of xclock: ratio %.2f (below 1) |\n",
         median(kelvaro_ms), median(xclock_ms), median(xlogo_ms),
         median(kelvaro_ms) / median(xclock_ms));
  printf("| start-up, client CPU to first frame (median) | %.1f ms | %.1f ms | | |\n",
         median(kelvaro_cpu), median(xclock_cpu));
  if (callgrind)
    printf("| start-up, instructions to first frame (callgrind) | %.1f M | %.1f M | | at most 30 M and 0.85 of xclock: ratio %.2f |\n",
           kelvaro_ir / 1e6, xclock_ir / 1e6, kelvaro_ir / xclock_ir);
  printf("| frames presented of %d (fewest in a flight) | %d | | | %d |\n",
         REST_FLIGHT_TICKS, calm.presented_min, REST_FLIGHT_TICKS);
  printf("| worst tick deviation from the 0.03 s grid (median of flights) | %.2f ms | | | at most 2 ms |\n",
         median(calm.worst));
  printf("| landing time error (median of flights) | %.2f ms | | | |\n", median(calm.landing));
  printf("| client CPU per frame (median of flights) | %.0f us | | | at most 150 us |\n",
         median(calm.cpu));
  printf("| CPU and wake-ups over %.0f s at rest | %.0f us, %ld | | | 0, 0 |\n",
         REST_SECONDS, rest_cpu_us, rest_wakeups);
  printf("| under load: frames presented (fewest in a flight) | %d | | | %d |\n",
         loaded.presented_min, REST_FLIGHT_TICKS);
  printf("| under load: worst tick deviation (median of flights) | %.2f ms | | | |\n",
         median(loaded.worst));
  printf("| under load: landing time error (worst flight) | %.2f ms | | | within 10 ms |\n",
         *std::max_element(loaded.landing.begin(), loaded.landing.end()));
  printf("| peak resident set size | %ld KiB (%ld KiB after flights) | %ld KiB | %ld KiB | |\n",
         kelvaro_rss, flight_rss, xclock_rss, xlogo_rss);
  return 0;
}
