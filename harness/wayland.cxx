// The Wayland side of the harness: a private headless sway, pixels read
// with grim, keys typed with wtype, the pointer and a keyboard held by the
// harness's own virtual input client, windows found and closed through
// sway's IPC.
#include "wayland.h"
#include "x11.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <thread>

#ifndef KELVARO_VIRTUAL_INPUT
#error "KELVARO_VIRTUAL_INPUT must name the harness's input program"
#endif

namespace {

// The headless output: room for the window at twice its size, and more.
const int OUTPUT_W = 2560, OUTPUT_H = 1600;
const char* const OUTPUT = "HEADLESS-1";

// Windows float at the layout's top-left corner, without borders, and the
// pointer's image is hidden at once so that it never shows in a shot.
const char* const CONFIG =
    "output HEADLESS-1 resolution 2560x1600 scale 1\n"
    "default_border none\n"
    "default_floating_border none\n"
    "for_window [app_id=\".*\"] move position 0 0\n"
    "seat * hide_cursor 1\n"
    "swaybg_command -\n"
    "xwayland disable\n";

using Json = nlohmann::json;

// The view of process pid in sway's tree, or null.
const Json* view_of(const Json& node, pid_t pid) {
  auto p = node.find("pid");
  if (p != node.end() && p->is_number() && p->get<pid_t>() == pid) return &node;
  for (const char* children : {"nodes", "floating_nodes"}) {
    auto c = node.find(children);
    if (c != node.end() && c->is_array())
      for (const Json& child : *c)
        if (const Json* v = view_of(child, pid)) return v;
  }
  return nullptr;
}

// A number or a text of a view, or 0 and "" where it has none.
double number(const Json& v, const char* rect, const char* key) {
  auto r = v.find(rect);
  if (r == v.end() || !r->is_object()) return 0;
  auto n = r->find(key);
  return n != r->end() && n->is_number() ? n->get<double>() : 0;
}
std::string text(const Json& v, const char* key) {
  auto t = v.find(key);
  return t != v.end() && t->is_string() ? t->get<std::string>() : "";
}

// Starts a program with stdout on a pipe of ours, and stdin on one too
// where to is given; stderr goes nowhere. Returns the pipes' other ends.
pid_t spawn(const std::vector<std::string>& argv, int* to, int* from) {
  int in[2] = {-1, -1}, out[2];
  if ((to && pipe(in) != 0) || pipe(out) != 0) throw std::runtime_error("pipe");
  pid_t pid = fork();
  if (pid == 0) {
    if (to) dup2(in[0], 0), close(in[0]), close(in[1]);
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back((char*)a.c_str());
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  if (to) close(in[0]), *to = in[1];
  close(out[1]);
  *from = out[0];
  return pid;
}

// Runs a program to its end; its stdout, or "" when it failed.
std::string run(const std::vector<std::string>& argv, bool* ok = nullptr) {
  int from;
  pid_t pid = spawn(argv, nullptr, &from);
  std::string text;
  char buf[65536];
  ssize_t n;
  while ((n = read(from, buf, sizeof buf)) > 0) text.append(buf, n);
  close(from);
  int status = 0;
  waitpid(pid, &status, 0);
  bool good = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (ok) *ok = good;
  return good ? text : "";
}

void stop(pid_t* pid) {
  if (*pid > 0) {
    kill(*pid, SIGKILL);
    waitpid(*pid, nullptr, 0);
  }
  *pid = -1;
}

class Sway : public Display_Server {
public:
  Sway();
  ~Sway() override;
  const char* system() const override { return "Wayland"; }
  void enter() const override;
  double take_scale(std::vector<std::string>* env) override;
  // FLTK 1.4.3 draws at whole buffer scales only.
  bool scales_to(double s) const override { return s == std::floor(s); }
  void kill_server() override;
  bool set_resources(const std::string& text) override { return text.empty(); }
  int maps() override { return -1; }
  bool sees_every_frame() const override { return false; }
  const char* lost_message() const override {
    return "Fatal error while communicating with the Wayland server";
  }
  Window top_level(pid_t pid) override;
  Shot shot(Window w, int x, int y, int width, int height) override;
  void size(Window w, int* width, int* height) override;
  std::string title(Window w) override { return text(view(w), "name"); }
  std::string app_id(Window w, std::string* res_class = nullptr) override;
  std::unique_ptr<Frame_Watch> watch(Window w) override;
  void move(Window w, int x, int y, double scale) override;
  void button(bool down) override;
  void key(Window w, const char* keysym_name, const char* modifier = nullptr) override;
  void close_request(Window w) override;

private:
  std::string runtime_dir, socket, ipc;
  pid_t sway = -1, input = -1;
  int input_to = -1, input_from = -1;
  double output_scale = 1;
  // The pid whose view a Window names: sway's view ids are not stable
  // across calls of ours, so a Window is the program's pid.
  Json tree();
  Json view(Window w);
  std::string swaymsg(const std::vector<std::string>& args, bool* ok = nullptr);
  void input_says(const std::string& command);
  // A command line run as a client of this compositor.
  std::vector<std::string> client(std::vector<std::string> argv) const;
  // The window's top-left corner in the layout, in logical pixels.
  bool corner(Window w, int* x, int* y);
  // A shot of the window whose corner is at (wx, wy) of the layout.
  Shot shot_at(int wx, int wy, int x, int y, int width, int height);
  friend class Polling_Watch;
};

Sway::Sway() {
  char dir[] = "/tmp/kelvaro-wayland-XXXXXX";
  if (!mkdtemp(dir)) throw std::runtime_error("mkdtemp");
  runtime_dir = dir;
  std::string config = runtime_dir + "/sway.conf";
  FILE* f = fopen(config.c_str(), "w");
  if (!f) throw std::runtime_error("cannot write " + config);
  fputs(CONFIG, f);
  fclose(f);

  sway = fork();
  if (sway == 0) {
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SWAYSOCK");
    setenv("XDG_RUNTIME_DIR", runtime_dir.c_str(), 1);
    setenv("WLR_BACKENDS", "headless", 1);
    setenv("WLR_RENDERER", "pixman", 1);
    setenv("WLR_LIBINPUT_NO_DEVICES", "1", 1);
    execlp("sway", "sway", "-c", config.c_str(), (char*)nullptr);
    _exit(127);
  }
  // Up once it answers on its IPC socket, with its Wayland socket made.
  bool up = poll_until(20, [&] {
    DIR* d = opendir(runtime_dir.c_str());
    if (!d) return false;
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name.rfind("wayland-", 0) == 0 && name.find('.') == std::string::npos)
        socket = name;
      if (name.rfind("sway-ipc.", 0) == 0) ipc = runtime_dir + "/" + name;
    }
    closedir(d);
    bool ok = false;
    if (!socket.empty() && !ipc.empty()) swaymsg({"-t", "get_outputs"}, &ok);
    return ok || waitpid(sway, nullptr, WNOHANG) == sway;
  });
  bool ok = false;
  if (up) swaymsg({"-t", "get_outputs"}, &ok);
  if (!ok) throw std::runtime_error("sway did not start");

  // The seat has a pointer and a keyboard before any client connects, as a
  // desktop's has.
  input = spawn(client({KELVARO_VIRTUAL_INPUT}), &input_to, &input_from);
  input_says("");
  poll_until(10, [&] {
    return swaymsg({"-t", "get_seats"}).find("\"capabilities\": 3") !=
           std::string::npos;
  });
}

Sway::~Sway() {
  kill_server();
  run({"rm", "-rf", runtime_dir});
}

void Sway::kill_server() {
  stop(&input);
  stop(&sway);
  if (input_to >= 0) close(input_to), close(input_from);
  input_to = input_from = -1;
}

std::vector<std::string> Sway::client(std::vector<std::string> argv) const {
  argv.insert(argv.begin(), {"env", "-u", "DISPLAY", "WAYLAND_DISPLAY=" + socket,
                             "XDG_RUNTIME_DIR=" + runtime_dir});
  return argv;
}

void Sway::enter() const {
  setenv("XDG_RUNTIME_DIR", runtime_dir.c_str(), 1);
  setenv("WAYLAND_DISPLAY", socket.c_str(), 1);
  // No X server: the program must reach the compositor natively.
  unsetenv("DISPLAY");
}

std::string Sway::swaymsg(const std::vector<std::string>& args, bool* ok) {
  std::vector<std::string> argv = {"swaymsg", "-s", ipc};
  argv.insert(argv.end(), args.begin(), args.end());
  return run(argv, ok);
}

// The scale asked for through SCALE_VARIABLE, taken out of env: on Wayland
// it is the output's, not the toolkit's.
double take_output_scale(std::vector<std::string>* env) {
  double scale = 1;
  for (auto e = env->begin(); e != env->end();)
    if (e->rfind(SCALE_VARIABLE, 0) == 0) {
      scale = std::stod(e->substr(strlen(SCALE_VARIABLE)));
      e = env->erase(e);
    } else
      ++e;
  return scale;
}

double Sway::take_scale(std::vector<std::string>* env) {
  double scale = take_output_scale(env);
  if (scale != output_scale) {
    char value[32];
    snprintf(value, sizeof value, "%g", scale);
    swaymsg({"output", OUTPUT, "scale", value});
    output_scale = scale;
  }
  return scale;
}

// sway passes a window's title on as the program gave it, which may be any
// bytes; the tests compare only ASCII names, so every other byte is read as
// a '?', and the tree always parses.
Json Sway::tree() {
  std::string answer = swaymsg({"-t", "get_tree"});
  for (char& c : answer)
    if ((unsigned char)c >= 0x80) c = '?';
  return Json::parse(answer, nullptr, false);
}

Json Sway::view(Window w) {
  Json t = tree();
  const Json* v = t.is_discarded() ? nullptr : view_of(t, (pid_t)w);
  return v ? *v : Json::object();
}

// A Window here is the program's pid: its view is looked up each time.
Window Sway::top_level(pid_t pid) {
  return number(view(pid), "window_rect", "width") > 0 ? (Window)pid : 0;
}

bool Sway::corner(Window w, int* x, int* y) {
  Json v = view(w);
  if (v.empty()) return false;
  *x = (int)(number(v, "rect", "x") + number(v, "window_rect", "x"));
  *y = (int)(number(v, "rect", "y") + number(v, "window_rect", "y"));
  return true;
}

void Sway::size(Window w, int* width, int* height) {
  Json v = view(w);
  *width = to_screen((int)number(v, "window_rect", "width"), output_scale);
  *height = to_screen((int)number(v, "window_rect", "height"), output_scale);
}

std::string Sway::app_id(Window w, std::string* res_class) {
  std::string id = text(view(w), "app_id");
  if (res_class) *res_class = id;
  return id;
}

// grim reads a box of the layout in logical pixels, at the output's scale:
// the box around the rectangle asked for is read and cut down to it.
Shot Sway::shot(Window w, int x, int y, int width, int height) {
  int wx, wy;
  if (!w || !corner(w, &wx, &wy)) return Shot(x, y, width, height);
  return shot_at(wx, wy, x, y, width, height);
}

Shot Sway::shot_at(int wx, int wy, int x, int y, int width, int height) {
  Shot s(x, y, width, height);
  int k = (int)output_scale;
  int lx = x / k, ly = y / k;
  int lw = (x + width + k - 1) / k - lx, lh = (y + height + k - 1) / k - ly;
  char box[64];
  snprintf(box, sizeof box, "%d,%d %dx%d", wx + lx, wy + ly, lw, lh);
  std::string ppm = run(client({"grim", "-t", "ppm", "-g", box, "-"}));
  int pw = 0, ph = 0, max = 0, used = 0;
  if (sscanf(ppm.c_str(), "P6 %d %d %d%n", &pw, &ph, &max, &used) != 3 ||
      pw != lw * k || ph != lh * k ||
      ppm.size() < (size_t)used + 1 + (size_t)pw * ph * 3)
    return s;
  const unsigned char* px = (const unsigned char*)ppm.data() + used + 1;
  int dx = x - lx * k, dy = y - ly * k;
  for (int j = 0; j < height; j++)
    for (int i = 0; i < width; i++) {
      const unsigned char* p = px + ((size_t)(j + dy) * pw + (i + dx)) * 3;
      s.px[(size_t)j * width + i] = (Rgb)p[0] << 16 | p[1] << 8 | p[2];
    }
  s.read = true;
  return s;
}

// No outside client hears of a Wayland window's frames, so the watcher reads
// the window again as soon as each read is done, a few milliseconds apart.
// The window stays where it is meanwhile.
class Polling_Watch : public Frame_Watch {
public:
  Polling_Watch(Sway& server, Window w) : server(server) {
    found = server.corner(w, &wx, &wy);
  }
  Shot shot(int x, int y, int w, int h) override {
    if (!found) return Shot();
    return server.shot_at(wx, wy, x, y, w, h);
  }
  bool next_frame(std::chrono::steady_clock::time_point deadline) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return std::chrono::steady_clock::now() < deadline;
  }

private:
  Sway& server;
  bool found;
  int wx = 0, wy = 0;
};

std::unique_ptr<Frame_Watch> Sway::watch(Window w) {
  return std::unique_ptr<Frame_Watch>(new Polling_Watch(*this, w));
}

// A command to the harness's input client, answered once the compositor has
// handled it; "" waits for its first answer, once it is connected.
void tell(int to, int from, const std::string& command) {
  if (to < 0) return;
  if (!command.empty()) {
    std::string line = command + "\n";
    if (write(to, line.data(), line.size()) != (ssize_t)line.size()) return;
  }
  std::string answer;
  char c;
  struct pollfd p = {from, POLLIN, 0};
  while (answer != "ok\n" && poll(&p, 1, 5000) == 1 && read(from, &c, 1) == 1)
    answer += c;
}

void Sway::input_says(const std::string& command) { tell(input_to, input_from, command); }

void Sway::move(Window w, int x, int y, double) {
  int wx = 0, wy = 0;
  corner(w, &wx, &wy);
  int layout_w = (int)(OUTPUT_W / output_scale), layout_h = (int)(OUTPUT_H / output_scale);
  input_says("move " + std::to_string(wx + x) + " " + std::to_string(wy + y) +
               " " + std::to_string(layout_w) + " " + std::to_string(layout_h));
}

void Sway::button(bool down) { input_says(down ? "press" : "release"); }

void Sway::key(Window, const char* keysym_name, const char* modifier) {
  std::vector<std::string> argv = client({"wtype"});
  // wtype names the modifiers it holds in its own words.
  std::string held;
  if (modifier) {
    std::string m = modifier;
    held = m.rfind("Control", 0) == 0 ? "ctrl" : m.rfind("Shift", 0) == 0 ? "shift"
         : m.rfind("Alt", 0) == 0 ? "alt" : "logo";
    argv.insert(argv.end(), {"-M", held});
  }
  argv.insert(argv.end(), {"-k", keysym_name});
  if (modifier) argv.insert(argv.end(), {"-m", held});
  run(argv);
  // When wtype's keyboard goes, the seat is left with none that has a
  // keymap, and FLTK 1.4.3 crashes in the next window that gets the focus.
  input_says("keyboard");
}

void Sway::close_request(Window w) {
  swaymsg({"[pid=" + std::to_string(w) + "]", "kill"});
}

#ifdef KELVARO_KWIN
// kwin's output, in device pixels, at every scale: room for the window and
// its title bar at scale 2.
const int KWIN_W = 1280, KWIN_H = 900;

// kwin places every window at the output's top-left corner, and its output
// scale is set in its output configuration.
const char* const KWIN_RULES =
    "[General]\ncount=1\nrules=1\n\n[1]\nDescription=corner\nposition=0,0\n"
    "positionrule=2\nwmclass=.*\nwmclassmatch=3\n";
const char* const KWIN_OUTPUTS =
    "[{\"name\": \"outputs\", \"data\": [{\"connectorName\": \"X11-0\", \"mode\": "
    "{\"width\": %d, \"height\": %d, \"refreshRate\": 60000}, \"scale\": %g}]},"
    " {\"name\": \"setups\", \"data\": [{\"lidClosed\": false, \"outputs\": "
    "[{\"enabled\": true, \"outputIndex\": 0, \"position\": {\"x\": 0, \"y\": 0},"
    " \"priority\": 0}]}]}]\n";

// The evdev codes of the keys the tests type.
const struct {
  const char* name;
  int code;
} KWIN_KEYS[] = {{"Escape", 1}};

// kwin on a private session bus, drawing its output into a window of an
// Xvfb of its own, from which pixels are read. Its fake input drives the
// pointer, the keyboard and a touchscreen. A window's place is found from
// the machine at rest, as kwin draws a title bar above it.
class Kwin : public Display_Server {
public:
  Kwin() { start(1); }
  ~Kwin() override {
    kill_server();
    run({"rm", "-rf", dir});
  }
  const char* system() const override { return "Wayland"; }
  void enter() const override {
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    setenv("WAYLAND_DISPLAY", "wayland-kelvaro", 1);
    unsetenv("DISPLAY");
  }
  double take_scale(std::vector<std::string>* env) override {
    double scale = take_output_scale(env);
    if (scale != output_scale) start(scale);
    // The next program starts once the last one's window is gone, so that
    // it is never taken for the new one's.
    int x, y;
    poll_until(RESPONSE_SECONDS, [&] {
      Shot s = whole_output();
      return s.read && !machine_corner(s, &x, &y);
    });
    return scale;
  }
  bool scales_to(double s) const override { return s == std::floor(s); }
  void kill_server() override {
    stop(&input);
    // The session bus and kwin, a process group of their own, gone for good.
    pid_t group = session;
    if (group > 0) kill(-group, SIGKILL);
    stop(&session);
    if (group > 0) poll_until(RESPONSE_SECONDS, [&] { return kill(-group, 0) != 0; });
    if (input_to >= 0) close(input_to), close(input_from);
    input_to = input_from = -1;
  }
  bool set_resources(const std::string& text) override { return text.empty(); }
  int maps() override { return -1; }
  bool sees_every_frame() const override { return false; }
  const char* lost_message() const override {
    return "Fatal error while communicating with the Wayland server";
  }
  // The window is the program's once the machine is seen at rest in it.
  Window top_level(pid_t pid) override {
    if (kill(pid, 0) != 0) return 0;
    if (pid == placed) return pid;
    int x, y;
    if (!machine_corner(whole_output(), &x, &y)) return 0;
    // The red band's first pixel, and where it lies at rest in the window.
    ox = x + RED_BAND_COLUMN - to_screen(REST_X + RED_BAND_COLUMN, output_scale);
    oy = y + RED_BAND_ROW - to_screen(REST_Y + RED_BAND_ROW, output_scale);
    placed = pid;
    return pid;
  }
  Shot shot(Window, int x, int y, int width, int height) override {
    return in_window(screen.shot(output, ox + x, oy + y, width, height));
  }
  void size(Window, int* width, int* height) override { *width = *height = 0; }
  std::string title(Window) override { return ""; }
  std::string app_id(Window, std::string* = nullptr) override { return ""; }
  std::unique_ptr<Frame_Watch> watch(Window) override;
  void move(Window, int x, int y, double) override {
    says("move " + logical(ox, x) + " " + logical(oy, y) + " 0 0");
  }
  void button(bool down) override { says(down ? "press" : "release"); }
  void key(Window, const char* keysym_name, const char*) override {
    for (const auto& k : KWIN_KEYS)
      if (strcmp(k.name, keysym_name) == 0) return says("key " + std::to_string(k.code));
    throw std::runtime_error(std::string("no key ") + keysym_name + " under kwin");
  }
  void close_request(Window) override {
    throw std::runtime_error("no close request under kwin");
  }
  bool touches() const override { return true; }
  void touch(Window, Touch t, int finger, int x, int y, double) override {
    std::string f = std::to_string(finger), at = " " + logical(ox, x) + " " + logical(oy, y);
    says(t == TOUCH_DOWN ? "down " + f + at : t == TOUCH_MOTION ? "motion " + f + at
         : t == TOUCH_UP ? "up " + f : std::string("cancel"));
  }

private:
  Xvfb screen;
  ::Window output = 0;   // kwin's output in the Xvfb
  std::string dir;       // its runtime and configuration folders
  pid_t session = -1, input = -1;
  int input_to = -1, input_from = -1;
  double output_scale = 0;
  pid_t placed = 0;      // the program whose window was found, at (ox, oy)
  int ox = 0, oy = 0;
  void start(double scale);
  Shot whole_output() { return screen.shot(output, 0, 0, KWIN_W, KWIN_H); }
  // A shot of the output, read at the window's place, in window pixels.
  Shot in_window(Shot s) const {
    s.x0 -= ox, s.y0 -= oy;
    return s;
  }
  // The logical coordinate of window unit v in the window at screen pixel o.
  std::string logical(int o, int v) const {
    return std::to_string((int)std::lround(o / output_scale) + v);
  }
  void says(const std::string& command) { tell(input_to, input_from, command); }
  friend class Kwin_Watch;
};

// Frames are watched through the Xvfb's damage on kwin's output.
class Kwin_Watch : public Frame_Watch {
public:
  explicit Kwin_Watch(Kwin& k) : kwin(k), damage(k.screen.watch(k.output)) {}
  Shot shot(int x, int y, int w, int h) override {
    return kwin.in_window(damage->shot(kwin.ox + x, kwin.oy + y, w, h));
  }
  bool next_frame(std::chrono::steady_clock::time_point deadline) override {
    return damage->next_frame(deadline);
  }

private:
  Kwin& kwin;
  std::unique_ptr<Frame_Watch> damage;
};

std::unique_ptr<Frame_Watch> Kwin::watch(Window) {
  return std::unique_ptr<Frame_Watch>(new Kwin_Watch(*this));
}

void write_file(const std::string& path, const std::string& text) {
  FILE* f = fopen(path.c_str(), "w");
  if (!f) throw std::runtime_error("cannot write " + path);
  fputs(text.c_str(), f);
  fclose(f);
}

// kwin anew at a scale, with the harness's input client connected before
// any program starts: kwin gives the seat touch only while one is.
void Kwin::start(double scale) {
  kill_server();
  if (dir.empty()) {
    char d[] = "/tmp/kelvaro-kwin-XXXXXX";
    if (!mkdtemp(d)) throw std::runtime_error("mkdtemp");
    dir = d;
    mkdir((dir + "/config").c_str(), 0700);
  }
  char outputs[1024];
  snprintf(outputs, sizeof outputs, KWIN_OUTPUTS, KWIN_W, KWIN_H, scale);
  write_file(dir + "/config/kwinoutputconfig.json", outputs);
  write_file(dir + "/config/kwinrulesrc", KWIN_RULES);
  // No animation keeps a closed window on screen.
  write_file(dir + "/config/kdeglobals", "[KDE]\nAnimationDurationFactor=0\n");
  output_scale = scale;
  placed = 0;
  std::string socket = dir + "/wayland-kelvaro";
  unlink(socket.c_str());
  session = fork();
  if (session == 0) {
    setsid();
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    screen.enter();
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    for (const char* v : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
      setenv(v, (dir + "/config").c_str(), 1);
    setenv("KWIN_WAYLAND_NO_PERMISSION_CHECKS", "1", 1);
    execlp("dbus-run-session", "dbus-run-session", "--", "kwin_wayland", "--x11-display",
           screen.name().c_str(), "--socket", "wayland-kelvaro", "--width",
           std::to_string(KWIN_W).c_str(), "--height", std::to_string(KWIN_H).c_str(),
           "--no-lockscreen", "--no-global-shortcuts", (char*)nullptr);
    _exit(127);
  }
  if (!poll_until(30, [&] { return access(socket.c_str(), F_OK) == 0; }) ||
      !poll_until(30, [&] { return (output = screen.top_level(0)) != 0; }))
    throw std::runtime_error("kwin did not start");
  std::vector<std::string> argv = {"env", "-u", "DISPLAY", "WAYLAND_DISPLAY=wayland-kelvaro",
                                   "XDG_RUNTIME_DIR=" + dir, KELVARO_VIRTUAL_INPUT};
  input = spawn(argv, &input_to, &input_from);
  says("");
}
#endif

}  // namespace

std::unique_ptr<Display_Server> new_wayland_server() {
  return std::unique_ptr<Display_Server>(new Sway);
}

std::unique_ptr<Display_Server> new_kwin_server() {
#ifdef KELVARO_KWIN
  return std::unique_ptr<Display_Server>(new Kwin);
#else
  throw std::runtime_error("this build has no kwin test harness");
#endif
}
