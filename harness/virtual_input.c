/* Input for tests under a Wayland compositor that has no input device: one
 * virtual pointer and one virtual keyboard, kept for as long as this program
 * runs, so that a press, a drag and a release reach the client as one
 * gesture, and so that the seat always has a keyboard with a keymap. Under
 * kwin, which has neither, its fake input instead, which also touches; kwin
 * gives the seat touch while a fake input client is connected.
 *
 * Commands come one per line on stdin:
 *   move X Y W H  the pointer to (X, Y) of a layout W by H logical pixels
 *   press         the left button down
 *   release       the left button up
 *   keyboard      this keyboard the seat's own again, after another
 *                 program's keyboard (wtype's) has come and gone
 *   key CODE      (kwin) the key of that evdev code pressed and released
 *   down ID X Y   (kwin) finger ID down at (X, Y) of the layout
 *   motion ID X Y (kwin) finger ID to (X, Y)
 *   up ID         (kwin) finger ID lifted
 *   cancel        (kwin) every finger's touch cancelled
 * Each is answered "ok" on stdout once the compositor has handled it. */
#define _GNU_SOURCE
#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "virtual-pointer-unstable-v1-client-protocol.h"
#ifdef KELVARO_FAKE_INPUT
#include "fake-input-client-protocol.h"
#endif

static struct zwlr_virtual_pointer_manager_v1 *pointers;
static struct zwp_virtual_keyboard_manager_v1 *keyboards;
static struct wl_seat *seat;
#ifdef KELVARO_FAKE_INPUT
static struct org_kde_kwin_fake_input *fake;
#endif

static void global(void *data, struct wl_registry *registry, uint32_t name,
                   const char *interface, uint32_t version) {
  (void)data;
  (void)version;
  if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
    pointers = wl_registry_bind(registry, name,
                                &zwlr_virtual_pointer_manager_v1_interface, 1);
  else if (strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0)
    keyboards = wl_registry_bind(registry, name,
                                 &zwp_virtual_keyboard_manager_v1_interface, 1);
  else if (strcmp(interface, wl_seat_interface.name) == 0 && !seat)
    seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
#ifdef KELVARO_FAKE_INPUT
  else if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0)
    fake = wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface,
                            version < 4 ? version : 4);
#endif
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

/* The keyboard gets the default keymap (what XKB's rules give with no
 * names), passed to the compositor in a file of its own. */
static int give_keymap(struct zwp_virtual_keyboard_v1 *keyboard) {
  struct xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  struct xkb_keymap *keymap =
      context ? xkb_keymap_new_from_names(context, NULL, 0) : NULL;
  char *text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1)
                      : NULL;
  int fd = memfd_create("keymap", MFD_CLOEXEC);
  size_t size = text ? strlen(text) + 1 : 0;
  int ok = text && fd >= 0 && write(fd, text, size) == (ssize_t)size;
  if (ok)
    zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1,
                                   fd, size);
  if (fd >= 0) close(fd);
  free(text);
  xkb_keymap_unref(keymap);
  xkb_context_unref(context);
  return ok;
}

static struct zwlr_virtual_pointer_v1 *pointer;
static struct zwp_virtual_keyboard_v1 *keyboard;

/* A command for the virtual pointer and keyboard; false if unknown. */
static int virtual_command(const char *line) {
  unsigned x, y, width, height;
  if (sscanf(line, "move %u %u %u %u", &x, &y, &width, &height) == 4) {
    zwlr_virtual_pointer_v1_motion_absolute(pointer, now_ms(), x, y, width, height);
    zwlr_virtual_pointer_v1_frame(pointer);
  } else if (strcmp(line, "press\n") == 0 || strcmp(line, "release\n") == 0) {
    zwlr_virtual_pointer_v1_button(pointer, now_ms(), BTN_LEFT,
                                   line[0] == 'p' ? WL_POINTER_BUTTON_STATE_PRESSED
                                                  : WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(pointer);
  } else if (strcmp(line, "keyboard\n") == 0) {
    /* A keyboard's event makes it the seat's keyboard again; the
     * compositor passes on a change of modifiers only, so Shift's state is
     * set and cleared. */
    zwp_virtual_keyboard_v1_modifiers(keyboard, 1, 0, 0, 0);
    zwp_virtual_keyboard_v1_modifiers(keyboard, 0, 0, 0, 0);
  } else {
    return 0;
  }
  return 1;
}

#ifdef KELVARO_FAKE_INPUT
/* A command for kwin's fake input, in the layout's logical pixels; the seat
 * keeps its keyboard by itself there. False if unknown. */
static int fake_command(const char *line) {
  unsigned x, y, width, height, id, code;
  if (sscanf(line, "move %u %u %u %u", &x, &y, &width, &height) == 4) {
    org_kde_kwin_fake_input_pointer_motion_absolute(fake, wl_fixed_from_int(x),
                                                    wl_fixed_from_int(y));
  } else if (strcmp(line, "press\n") == 0 || strcmp(line, "release\n") == 0) {
    org_kde_kwin_fake_input_button(fake, BTN_LEFT,
                                   line[0] == 'p' ? WL_POINTER_BUTTON_STATE_PRESSED
                                                  : WL_POINTER_BUTTON_STATE_RELEASED);
  } else if (sscanf(line, "key %u", &code) == 1) {
    org_kde_kwin_fake_input_keyboard_key(fake, code, WL_KEYBOARD_KEY_STATE_PRESSED);
    org_kde_kwin_fake_input_keyboard_key(fake, code, WL_KEYBOARD_KEY_STATE_RELEASED);
  } else if (sscanf(line, "down %u %u %u", &id, &x, &y) == 3) {
    org_kde_kwin_fake_input_touch_down(fake, id, wl_fixed_from_int(x), wl_fixed_from_int(y));
    org_kde_kwin_fake_input_touch_frame(fake);
  } else if (sscanf(line, "motion %u %u %u", &id, &x, &y) == 3) {
    org_kde_kwin_fake_input_touch_motion(fake, id, wl_fixed_from_int(x), wl_fixed_from_int(y));
    org_kde_kwin_fake_input_touch_frame(fake);
  } else if (sscanf(line, "up %u", &id) == 1) {
    org_kde_kwin_fake_input_touch_up(fake, id);
    org_kde_kwin_fake_input_touch_frame(fake);
  } else if (strcmp(line, "cancel\n") == 0) {
    org_kde_kwin_fake_input_touch_cancel(fake);
  } else {
    return strcmp(line, "keyboard\n") == 0;
  }
  return 1;
}
#endif

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
  int (*command)(const char *) = virtual_command;
#ifdef KELVARO_FAKE_INPUT
  if (fake) {
    org_kde_kwin_fake_input_authenticate(fake, "kelvaro tests", "test input");
    command = fake_command;
  } else
#endif
  {
    if (!pointers || !keyboards || !seat) {
      fprintf(stderr, "%s: the compositor offers no virtual input\n", argv[0]);
      return 1;
    }
    pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointers, seat);
    keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboards, seat);
    if (!give_keymap(keyboard)) {
      fprintf(stderr, "%s: no keymap\n", argv[0]);
      return 1;
    }
    zwp_virtual_keyboard_v1_modifiers(keyboard, 0, 0, 0, 0);
  }
  if (wl_display_roundtrip(display) < 0) return 1;
  printf("ok\n");
  fflush(stdout);

  char line[128];
  while (fgets(line, sizeof line, stdin)) {
    if (!command(line)) {
      fprintf(stderr, "%s: unknown command: %s", argv[0], line);
      return 2;
    }
    if (wl_display_roundtrip(display) < 0) return 1;
    printf("ok\n");
    fflush(stdout);
  }
  wl_display_disconnect(display);
  return 0;
}
