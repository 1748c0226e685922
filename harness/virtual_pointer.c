/* A pointer for tests under a Wayland compositor that has no input device:
 * one virtual pointer, kept for as long as this program runs, so that a
 * press, a drag and a release reach the client as one gesture.
 *
 * Commands come one per line on stdin:
 *   move X Y W H the pointer to (X, Y) of a layout W by H logical pixels
 *   press        the left button down
 *   release      the left button up
 * Each is answered "ok" on stdout once the compositor has handled it. */
#include <linux/input-event-codes.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

#include "virtual-pointer-unstable-v1-client-protocol.h"

static struct zwlr_virtual_pointer_manager_v1 *manager;

static void global(void *data, struct wl_registry *registry, uint32_t name,
                   const char *interface, uint32_t version) {
  (void)data;
  (void)version;
  if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
    manager = wl_registry_bind(registry, name,
                               &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void global_remove(void *data, struct wl_registry *registry,
                          uint32_t name) {
  (void)data;
  (void)registry;
  (void)name;
}

static const struct wl_registry_listener registry_listener = {global,
                                                              global_remove};

static uint32_t now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (uint32_t)(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}

int main(int argc, char **argv) {
  (void)argc;
  struct wl_display *display = wl_display_connect(NULL);
  if (!display) {
    fprintf(stderr, "%s: no Wayland display\n", argv[0]);
    return 1;
  }
  struct wl_registry *registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registry_listener, NULL);
  wl_display_roundtrip(display);
  if (!manager) {
    fprintf(stderr, "%s: the compositor offers no virtual pointer\n", argv[0]);
    return 1;
  }
  struct zwlr_virtual_pointer_v1 *pointer =
      zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, NULL);
  if (wl_display_roundtrip(display) < 0) return 1;
  printf("ok\n");
  fflush(stdout);

  char line[128];
  while (fgets(line, sizeof line, stdin)) {
    unsigned x, y, width, height;
    if (sscanf(line, "move %u %u %u %u", &x, &y, &width, &height) == 4)
      zwlr_virtual_pointer_v1_motion_absolute(pointer, now_ms(), x, y, width,
                                              height);
    else if (strcmp(line, "press\n") == 0 || strcmp(line, "release\n") == 0)
      zwlr_virtual_pointer_v1_button(
          pointer, now_ms(), BTN_LEFT,
          line[0] == 'p' ? WL_POINTER_BUTTON_STATE_PRESSED
                         : WL_POINTER_BUTTON_STATE_RELEASED);
    else {
      fprintf(stderr, "%s: unknown command: %s", argv[0], line);
      return 2;
    }
    zwlr_virtual_pointer_v1_frame(pointer);
    if (wl_display_roundtrip(display) < 0) return 1;
    printf("ok\n");
    fflush(stdout);
  }
  wl_display_disconnect(display);
  return 0;
}
