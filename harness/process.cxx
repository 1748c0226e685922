// The program under test as a process: started on a server of the test's
// own, its output collected, its end and its CPU time observed; and the
// choice of display system for a test program.
#include "harness.h"
#include "wayland.h"
#include "x11.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
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

std::unique_ptr<Display_Server> new_server() {
  const char* system = getenv("KELVARO_TEST_DISPLAY");
  if (system && strcmp(system, "wayland") == 0) return new_wayland_server();
  if (system && strcmp(system, "kwin") == 0) return new_kwin_server();
  return std::unique_ptr<Display_Server>(new Xvfb);
}

Display_Server& shared_server() {
  static std::unique_ptr<Display_Server> server = new_server();
  return *server;
}

std::string program_under_test() {
  const char* program = getenv("KELVARO_TEST_PROGRAM");
  return program ? program : KELVARO_BIN;
}

Kelvaro::Kelvaro(Display_Server& server, const std::vector<std::string>& args,
                 std::vector<std::string> env, const std::string& binary)
  : server(server) {
  scale_ = server.take_scale(&env);
  std::string path = binary.empty() ? program_under_test() : binary;
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
    server.enter();
    for (const std::string& e : env) putenv(strdup(e.c_str()));
    std::vector<char*> argv;
    argv.push_back((char*)path.c_str());
    for (const std::string& a : args) argv.push_back((char*)a.c_str());
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    dprintf(2, "cannot run %s: %s\n", path.c_str(), strerror(errno));
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

Window Kelvaro::wait_mapped(double seconds) {
  poll_until(seconds, [&] { return (win = server.top_level(child)) != 0; });
  return win;
}

Window Kelvaro::wait_window(double seconds) {
  // The sun's centre, which no option recolours, is the sign that the scene
  // is painted; one pixel is read for it.
  int centre = to_screen(SUN_CX);
  poll_until(seconds, [&] { return wait_mapped(0) && pixel(centre, centre) == YELLOW; });
  return win;
}

Shot Kelvaro::shot(int x, int y, int w, int h) const {
  return server.shot(win, x, y, w, h);
}

void Kelvaro::size(int* w, int* h) const { server.size(win, w, h); }
std::string Kelvaro::title() const { return server.title(win); }
std::string Kelvaro::app_id(std::string* res_class) const {
  return server.app_id(win, res_class);
}

void Kelvaro::move(int x, int y) const { server.move(win, x, y, scale_); }
void Kelvaro::button(bool down) const { server.button(down); }
void Kelvaro::click(int x, int y, Device d) const {
  press(d, x, y);
  release(d);
}
void Kelvaro::press(Device d, int x, int y) const {
  if (d == FINGER) return touch(TOUCH_DOWN, 0, x, y);
  move(x, y);
  button(true);
}
void Kelvaro::drag(Device d, int x, int y) const {
  if (d == FINGER) return touch(TOUCH_MOTION, 0, x, y);
  move(x, y);
}
void Kelvaro::release(Device d) const {
  if (d == FINGER) return touch(TOUCH_UP, 0);
  button(false);
}
void Kelvaro::touch(Touch t, int finger, int x, int y) const {
  server.touch(win, t, finger, x, y, scale_);
}
void Kelvaro::key(const char* keysym_name, const char* modifier) const {
  server.key(win, keysym_name, modifier);
}
void Kelvaro::close_request() const { server.close_request(win); }

int Kelvaro::to_screen(int scene) const { return ::to_screen(scene, scale_); }

uint64_t Kelvaro::cpu_ns() const {
  std::ifstream in("/proc/" + std::to_string(child) + "/schedstat");
  uint64_t ns = 0;
  in >> ns;
  return ns;
}

bool Kelvaro::goes_quiet(double seconds) const {
  uint64_t last = cpu_ns();
  auto since = std::chrono::steady_clock::now();
  return poll_until(seconds, [&] {
    uint64_t now = cpu_ns();
    if (now != last) {
      last = now;
      since = std::chrono::steady_clock::now();
    }
    return std::chrono::steady_clock::now() - since > std::chrono::milliseconds(100);
  });
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

// Each spinner counts for ever; the count is volatile, so the compiler
// keeps every step.
static volatile unsigned long spun;

Load::Load() {
  long cores = sysconf(_SC_NPROCESSORS_ONLN);
  for (long i = 0; i < cores; i++) {
    pid_t p = fork();
    if (p == 0)
      for (;;) spun = spun + 1;
    spinners.push_back(p);
  }
}

Load::~Load() {
  for (pid_t p : spinners) {
    kill(p, SIGKILL);
    waitpid(p, nullptr, 0);
  }
}
