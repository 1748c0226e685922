// kelvaro: a machine on a pier; drag it right, let go, and watch it fall.
#include "pier_scene.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// The toolkit copies the window class name twice, with a terminator each,
// into a 1 KiB buffer when it maps the window; a longer name overruns it.
const size_t CLASS_NAME_MAX = 511;

// True when the toolkit reads this word as its class-name option: "-na",
// "-nam" or "-name", in any letter case.
static bool is_class_name_option(const char* word) {
  size_t n = strlen(word);
  return n >= 3 && n <= 5 && strncasecmp(word, "-name", n) == 0;
}

// Refuses an over-long class name with the usage text that the toolkit gives
// for any argument it does not accept, before anything is shown.
static void refuse_long_class_name(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; i++)
    if (is_class_name_option(argv[i]) && strlen(argv[i + 1]) > CLASS_NAME_MAX)
      Fl::fatal("options are:\n%s", Fl::help);
}

// The toolkit opens an X input method when it connects, for text entry, which
// this program has none of. With Xlib's own method that costs more than half
// of start-up's work (the locale's whole compose table, and a font set for
// the method's status area) and, with an input method server, a session
// with it. Naming a method that no server offers leaves the program with
// none; keys then come as plain key events, as the scene needs.
const char* const NO_INPUT_METHOD = "@im=kelvaro-has-no-text-entry";

// The toolkit's one warning about that is expected, and dropped; every other
// warning, such as an X protocol error, is passed on as it comes.
const char* const NO_INPUT_METHOD_WARNING = "XOpenIM() failed";
static void (*toolkit_warning)(const char*, ...);

static void warning(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (strcmp(text, NO_INPUT_METHOD_WARNING) != 0) toolkit_warning("%s", text);
}

int main(int argc, char** argv) {
  // The toolkit reports an unknown argument or colour through Fl::error and
  // would carry on; here it gives up with status 1, as for a missing display.
  Fl::error = Fl::fatal;
  refuse_long_class_name(argc, argv);
  setenv("XMODIFIERS", NO_INPUT_METHOD, 1);
  toolkit_warning = Fl::warning;
  Fl::warning = warning;

  Fl_Double_Window* window = new Fl_Double_Window(SCENE_W, SCENE_H, "kelvaro");
  new Pier_Scene(0, 0, SCENE_W, SCENE_H);
  window->end();
  window->show(argc, argv);
  return Fl::run();
}
