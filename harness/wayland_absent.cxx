// Builds on a toolkit without Wayland have no Wayland harness.
#include <stdexcept>

#include "wayland.h"

std::unique_ptr<Display_Server> new_wayland_server() {
  throw std::runtime_error("this build has no Wayland test harness");
}

std::unique_ptr<Display_Server> new_kwin_server() {
  throw std::runtime_error("this build has no Wayland test harness");
}
