// The Wayland side of the harness: a private headless sway, pixels read with
// grim, keys typed with wtype, the pointer driven by a virtual input client
// of the harness's own, windows found and closed through sway's IPC.
#ifndef KELVARO_WAYLAND_H
#define KELVARO_WAYLAND_H

#include "harness.h"

// A new headless sway session; builds without the Wayland harness throw.
std::unique_ptr<Display_Server> new_wayland_server();
// A new kwin session with a touchscreen, drawn into an Xvfb of its own;
// builds without kwin's harness throw.
std::unique_ptr<Display_Server> new_kwin_server();

#endif
