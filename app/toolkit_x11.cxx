// What the toolkit needs on an X11 display, set before it connects. It
// changes nothing where the toolkit uses another display system.
#include "toolkit_fit.h"

#include <FL/Fl.H>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// The toolkit opens an X input method when it connects, for text entry, which
// this program has none of. With Xlib's own method that costs more than half
// of start-up's work (the locale's whole compose table, and a font set for
// the method's status area) and, with an input method server, a session
// with it. Naming a method that no server offers leaves the program with
// none; keys then come as plain key events, as the scene needs.
const char* const NO_INPUT_METHOD = "@im=kelvaro-has-no-text-entry";

// The toolkit's one warning about that is expected, and dropped.
const char* const NO_INPUT_METHOD_WARNING = "XOpenIM() failed";

static void (*toolkit_warning)(const char*, ...);

// Every warning but the expected one, such as an X protocol error, is passed
// on as it comes.
static void warning(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (strcmp(text, NO_INPUT_METHOD_WARNING) != 0) toolkit_warning("%s", text);
}

void fit_x11() {
  setenv("XMODIFIERS", NO_INPUT_METHOD, 1);
  toolkit_warning = Fl::warning;
  Fl::warning = warning;
}
