// The toolkit's settings and guards for this program, each with its reason;
// those for every toolkit version and display system.
#include "toolkit_fit.h"
#include "toolkit_version.h"
#include "window_icons.h"

#include <FL/Fl.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Window.H>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fontconfig/fontconfig.h>
#include <string.h>

#include <vector>

// The toolkit copies the window class name twice, with a terminator each,
// into a 1 KiB buffer when it maps the window; a longer name overruns it.
const size_t CLASS_NAME_MAX = 511;

// X carries a window's width and height in 16 bits and its coordinates as
// signed 16-bit numbers, so no window can usefully be larger than this. The
// toolkit passes a larger size on anyway, and the window is never made or
// never painted while the program runs on.
const long long WINDOW_SIZE_MAX = 32767;
// A position outside X's signed 16-bit coordinates is cut by the server to
// another place.
const long long POSITION_MIN = -32768, POSITION_MAX = 32767;

// The window's class, by which desktops tie it to the menu entry; the
// toolkit's own, "FLTK", is shared by every program made with it. -name still
// replaces it; the toolkit reads its colour resources as "fltk" either way.
const char* const WINDOW_CLASS = "kelvaro";

// True when the toolkit reads word as the option whose full name is name,
// given after a dash: any prefix of at least least letters, in any case.
static bool is_option(const char* word, const char* name, size_t least) {
  if (word[0] != '-') return false;
  size_t n = strlen(word + 1);
  return n >= least && n <= strlen(name) && strncasecmp(word + 1, name, n) == 0;
}

// The colour options, which the toolkit takes by these full names only.
static bool is_colour_option(const char* word) {
  for (const char* name :
       {"-fg", "-foreground", "-bg", "-background", "-bg2", "-background2"})
    if (strcasecmp(word, name) == 0) return true;
  return false;
}

// A colour in hexadecimal is '#' and 3, 6, 9 or 12 hexadecimal digits. X
// refuses any other, while FLTK 1.4 on Wayland reads colours itself and
// takes the first digits of any count, so that "#12345" would be #112233.
static bool malformed_hex_colour(const char* value) {
  if (value[0] != '#') return false;
  size_t n = strlen(value + 1);
  return strspn(value + 1, "0123456789abcdefABCDEF") != n ||
         (n != 3 && n != 6 && n != 9 && n != 12);
}

// A geometry's numbers as typed: the toolkit reads them, with X's grammar,
// into ints that wrap, so that 4294967297 is read as 1. Here each number
// saturates instead, past any limit checked. given has X's bits for the
// parts present; a position keeps its sign (XNegative counts from the
// screen's right or bottom edge).
struct Geometry {
  int given = 0;
  long long w = 0, h = 0, x = 0, y = 0;
};

const long long NUMBER_CEILING = 1LL << 40;

// An optional sign and digits at s, as X reads them; returns where they end.
static const char* read_number(const char* s, long long* value) {
  long long sign = 1;
  if (*s == '+' || *s == '-') sign = *s++ == '-' ? -1 : 1;
  long long v = 0;
  for (; *s >= '0' && *s <= '9'; s++) v = v < NUMBER_CEILING ? v * 10 + (*s - '0') : v;
  *value = sign * v;
  return s;
}

// [=][W][xH][{+-}X{+-}Y], as XParseGeometry reads it; false where X would
// refuse it (the toolkit then refuses it too, with its usage text).
static bool read_geometry(const char* s, Geometry* g) {
  const char* next;
  if (*s == '=') s++;
  if (*s != '+' && *s != '-' && *s != 'x' && *s != 'X') {
    if ((next = read_number(s, &g->w)) == s) return false;
    s = next, g->given |= WidthValue;
  }
  if (*s == 'x' || *s == 'X') {
    s++;
    if ((next = read_number(s, &g->h)) == s) return false;
    s = next, g->given |= HeightValue;
  }
  long long* position[] = {&g->x, &g->y};
  const int values[] = {XValue, YValue}, negatives[] = {XNegative, YNegative};
  for (int p = 0; p < 2 && (*s == '+' || *s == '-'); p++) {
    bool negative = *s++ == '-';
    if ((next = read_number(s, position[p])) == s) return false;
    if (negative) *position[p] = -*position[p], g->given |= negatives[p];
    s = next, g->given |= values[p];
  }
  return *s == '\0';
}

// Refuses, before anything is shown, the option values the toolkit would
// take and then mishandle. Any word may be an option's value, so each pair
// of words is tried as an option and its value; where the first word is in
// fact another option's value, the second is a stray word that the toolkit
// refuses too, with its usage text.
static void refuse_unsafe_values(int argc, char** argv) {
  for (int i = 1; i + 1 < argc; i++) {
    const char* value = argv[i + 1];
    // The same usage text the toolkit gives for an argument it refuses.
    if (is_option(argv[i], "name", 2) && strlen(value) > CLASS_NAME_MAX)
      Fl::fatal("options are:\n%s", Fl::help);
    // The same message the toolkit gives for a colour that X refuses.
    if (is_colour_option(argv[i]) && malformed_hex_colour(value))
      Fl::fatal("Unknown color: %s", value);
    Geometry g;
    if (!is_option(argv[i], "geometry", 1) || !read_geometry(value, &g)) continue;
    if ((g.given & WidthValue && g.w > WINDOW_SIZE_MAX) ||
        (g.given & HeightValue && g.h > WINDOW_SIZE_MAX))
      Fl::fatal("%s %s: a window can be at most %lld pixels wide and high",
                argv[i], value, WINDOW_SIZE_MAX);
    // X refuses a window with no width or height, and FLTK 1.4 on Wayland
    // crashes on one; a height typed with a minus sign is no height either.
    if ((g.given & WidthValue && g.w < 1) || (g.given & HeightValue && g.h < 1))
      Fl::fatal("%s %s: a window must be at least 1 pixel wide and high",
                argv[i], value);
    if ((g.given & XValue && (g.x < POSITION_MIN || g.x > POSITION_MAX)) ||
        (g.given & YValue && (g.y < POSITION_MIN || g.y > POSITION_MAX)))
      Fl::fatal("%s %s: a window's position can be from %lld to %lld",
                argv[i], value, POSITION_MIN, POSITION_MAX);
  }
}

// The captions need fontconfig, which the toolkit sets up at the first
// caption. Set up that way, it also parses every template configuration
// that the system has not enabled, a third of its work, only to list them.
// Loading the system's configuration here instead gives the same fonts
// without that, and the toolkit's set-up then keeps it. A configuration that
// fails to load, or names no cache folder (fontconfig then adds its own),
// is left to the toolkit, which loads it as before, with fontconfig's
// fallbacks.
static bool names_cache_folder(FcConfig* config) {
  FcStrList* folders = FcConfigGetCacheDirs(config);
  bool any = folders && FcStrListNext(folders);
  if (folders) FcStrListDone(folders);
  return any;
}

static void load_font_configuration() {
  // fontconfig reads FC_DEBUG on its own set-up paths only; this call reads
  // it and loads nothing, so FC_DEBUG still shows the configuration loading.
  FcStrFree(FcLangNormalize((const FcChar8*)"C"));
  FcConfig* config = FcConfigCreate();
  if (!config) return;
  if (FcConfigParseAndLoad(config, nullptr, FcTrue) && names_cache_folder(config) &&
      FcConfigBuildFonts(config))
    FcConfigSetCurrent(config);
  FcConfigDestroy(config);  // the current configuration keeps its own hold
}

// Names every window kelvaro and gives it the icon, for taskbars and window
// switchers. The toolkit keeps copies of the images.
static void name_windows() {
  Fl_Window::default_xclass(WINDOW_CLASS);
  std::vector<const Fl_RGB_Image*> icons;
  for (int i = 0; i < WINDOW_ICON_COUNT; i++) {
    const Window_Icon& icon = WINDOW_ICONS[i];
    icons.push_back(new Fl_RGB_Image(icon.rgba, icon.size, icon.size, 4));
  }
  Fl_Window::default_icons(icons.data(), (int)icons.size());
  for (const Fl_RGB_Image* image : icons) delete image;
}

void fit_toolkit(int argc, char** argv) {
  // The toolkit reports an unknown argument or colour through Fl::error and
  // would carry on; here it gives up with status 1, as for a missing display.
  Fl::error = Fl::fatal;
  refuse_unsafe_values(argc, argv);
  fit_x11();
  fit_toolkit_version();
  // The toolkit reads its options now, as show(argc, argv) would, so that
  // the display they name is the one opened by whatever needs it first
  // (FLTK 1.4 opens it to take the window icons). A refused option ends the
  // program here, with the usage text, before anything is shown.
  Fl::args(argc, argv);
  load_font_configuration();
  name_windows();
}
