// The scene at rest, read back pixel by pixel from the real window, plainly
// and under the toolkit's colour and geometry options.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "pier_scene.h"
#include "toolkit.h"
#include "toolkit_version.h"
#include "harness.h"
#include "x11.h"

namespace {

enum Role { SKY, DECK, WATER, GROUND, MACHINE_RED, MACHINE_BLACK };

struct Look {
  const char* name;
  std::vector<std::string> args;
  Rgb sky, deck, ground;
  int w, h;
  std::string resources;
  Rgb colour(Role r) const {
    switch (r) {
    case SKY: return sky;
    case DECK: return deck;
    case WATER: return BLUE;
    case GROUND: return ground;
    case MACHINE_RED: return RED;
    case MACHINE_BLACK: return BLACK;
    }
    return sky;
  }
};

const Look LOOKS[] = {
  {"plain", {}, WHITE, BLACK, GREY, 600, 400, ""},
  {"fg", {"-fg", "#00a000"}, WHITE, 0x00a000, GREY, 600, 400, ""},
  {"bg", {"-bg", "#3366cc"}, WHITE, BLACK, 0x3366cc, 600, 400, ""},
  {"bg2", {"-bg2", "#ffe0c0"}, 0xffe0c0, BLACK, GREY, 600, 400, ""},
  {"all_three", {"-fg", "#00a000", "-bg", "#3366cc", "-bg2", "#ffe0c0"},
   0xffe0c0, 0x00a000, 0x3366cc, 600, 400, ""},
  {"larger", {"-geometry", "800x500"}, WHITE, BLACK, GREY, 800, 500, ""},
  {"other_options", {"-scheme", "plastic", "-kbd", "-dnd", "-tooltips"}, WHITE,
   BLACK, GREY, 600, 400, ""},
  {"other_options_off", {"-scheme", "gtk+", "-nokbd", "-nodnd", "-notooltips"},
   WHITE, BLACK, GREY, 600, 400, ""},
  // The colour resources, by exactly the names the manual page gives.
  {"resources", {}, 0xffe0c0, 0x00a000, 0x3366cc, 600, 400,
   "fltk.background: #3366cc\nfltk.foreground: #00a000\nText.background: #ffe0c0\n"},
  // "*background" also matches the sky's resource, Text.background.
  {"wildcard_resource", {}, 0x808080, BLACK, 0x808080, 600, 400,
   "*background: #808080\n"},
  {"option_over_resource", {"-bg", "#3366cc"}, WHITE, BLACK, 0x3366cc, 600,
   400, "fltk.background: #808080\n"},
};

struct Point {
  int x, y;
  Role role;
};

// Edges of every shape, from both sides, and the machine at rest at (350, 159).
const Point POINTS[] = {
  // deck: x 350..599, y 200..202
  {350, 200, DECK}, {599, 200, DECK}, {350, 202, DECK}, {599, 202, DECK},
  {349, 200, SKY}, {349, 202, SKY}, {350, 199, SKY}, {599, 199, SKY},
  {350, 203, SKY}, {599, 203, SKY}, {470, 201, DECK},
  // water: x 0..349, y 300..399
  {0, 300, WATER}, {349, 300, WATER}, {0, 399, WATER}, {349, 399, WATER},
  {0, 299, SKY}, {349, 299, SKY}, {175, 350, WATER},
  // ground: x 350..599, y 300..399
  {350, 300, GROUND}, {599, 300, GROUND}, {350, 399, GROUND},
  {599, 399, GROUND}, {350, 299, SKY}, {599, 299, SKY}, {470, 350, GROUND},
  // machine: red band from row 27, column 13; black hull rows 36..39
  {363, 186, MACHINE_RED}, {380, 186, MACHINE_RED}, {381, 186, SKY},
  {362, 186, SKY}, {363, 185, SKY}, {382, 188, MACHINE_RED},
  {383, 188, SKY}, {384, 196, MACHINE_RED}, {383, 197, MACHINE_RED},
  {384, 197, SKY},
  {356, 195, MACHINE_BLACK}, {355, 195, SKY}, {380, 195, MACHINE_BLACK},
  {350, 198, MACHINE_BLACK}, {384, 198, MACHINE_BLACK}, {385, 198, SKY},
  {350, 197, SKY}, {351, 197, MACHINE_BLACK}, {370, 185, SKY},
  {389, 198, SKY}, {350, 159, SKY}, {389, 159, SKY},
};

// The sun is a disc (SUN_R about SUN_CX, SUN_CY), where pixel (x, y) covers
// the square from (x, y) to (x + 1, y + 1). A pixel whose square lies inside
// the disc is the sun's and one outside it the sky's. Only those whose square
// the disc's edge crosses may be either, or, where the toolkit anti-aliases
// edges, a blend of the two.
enum Cover { INSIDE, OUTSIDE, EDGE };
Cover sun_cover(int x, int y) {
  auto sq = [](double v) { return v * v; };
  auto nearest = [](double c, int lo) { return c < lo ? lo : c > lo + 1 ? lo + 1 : c; };
  auto farthest = [](double c, int lo) { return c - lo > lo + 1 - c ? lo : lo + 1; };
  double near = sq(nearest(SUN_CX, x) - SUN_CX) + sq(nearest(SUN_CY, y) - SUN_CY);
  double far = sq(farthest(SUN_CX, x) - SUN_CX) + sq(farthest(SUN_CY, y) - SUN_CY);
  if (far <= sq(SUN_R)) return INSIDE;
  if (near >= sq(SUN_R)) return OUTSIDE;
  return EDGE;
}

// p lies between colours a and b: every channel the same fraction of the way
// from a to b, give or take rounding.
bool is_blend(Rgb p, Rgb a, Rgb b) {
  auto ch = [](Rgb c, int shift) { return (int)(c >> shift & 0xff); };
  int widest = 0;
  for (int shift : {0, 8, 16})
    if (std::abs(ch(b, shift) - ch(a, shift)) > std::abs(ch(b, widest) - ch(a, widest)))
      widest = shift;
  int span = ch(b, widest) - ch(a, widest);
  double t = span ? (double)(ch(p, widest) - ch(a, widest)) / span : 0;
  if (t < 0 || t > 1) return false;
  for (int shift : {0, 8, 16})
    if (std::abs(ch(p, shift) - (ch(a, shift) + t * (ch(b, shift) - ch(a, shift)))) > 2)
      return false;
  return true;
}

// Where captions may paint: from each caption's x to the window's right edge,
// around its baseline.
struct Box {
  int x0, y0, x1, y1;  // inclusive
  bool contains(int x, int y) const {
    return x >= x0 && x <= x1 && y >= y0 && y <= y1;
  }
};
const Box CAPTION_BOXES[] = {
  {350, 28, 599, 43}, {350, 48, 599, 63}, {300, 8, 599, 23}};
// Everything that is not sky.
const Box SHAPES[] = {
  {350, 200, 599, 202},  // deck
  {0, 300, 599, 399},    // water and ground
  {10, 10, 49, 49},      // sun
  {350, 186, 384, 198},  // the machine's visible rows
  CAPTION_BOXES[0], CAPTION_BOXES[1], CAPTION_BOXES[2]};

class ScenePixels : public testing::TestWithParam<Look> {
protected:
  Display_Server* const server = &shared_server();
};

TEST_P(ScenePixels, ShapesCaptionsAndMachineAtRest) {
  const Look& look = GetParam();
  if (!server->set_resources(look.resources))
    GTEST_SKIP() << "X resources are X11's";
  Kelvaro k(*server, look.args);
  ASSERT_TRUE(k.wait_window()) << k.err();

  int w = 0, h = 0;
  k.size(&w, &h);
  ASSERT_EQ(w, look.w);
  ASSERT_EQ(h, look.h);
  Shot s = k.shot(0, 0, w, h);

  for (const Point& p : POINTS)
    EXPECT_EQ(s.at(p.x, p.y), look.colour(p.role))
        << "at (" << p.x << ", " << p.y << ")";

  int sun = 0, edge = 0, blended = 0;
  for (int y = SUN_CY - SUN_R - 1; y <= SUN_CY + SUN_R; y++)
    for (int x = SUN_CX - SUN_R - 1; x <= SUN_CX + SUN_R; x++) {
      Rgb p = s.at(x, y);
      Cover c = sun_cover(x, y);
      bool pure = p == YELLOW || p == look.sky;
      bool ok = c == INSIDE    ? p == YELLOW
                : c == OUTSIDE ? p == look.sky
                : pure || (TOOLKIT.antialiased_edges && is_blend(p, YELLOW, look.sky));
      EXPECT_TRUE(ok) << "sun at (" << x << ", " << y << "): " << std::hex << p;
      sun += c == INSIDE;
      edge += c == EDGE;
      blended += c == EDGE && !pure;
    }
  EXPECT_GT(sun, 1000);
  if (!TOOLKIT.antialiased_edges) {
    EXPECT_EQ(blended, 0);
  }
  printf("sun: %d pixels inside, %d on the edge, %d of them blended\n", sun, edge,
         blended);

  // Each caption is painted in the ground's colour; anti-aliased edges blend
  // it with the sky, but the full-coverage strokes carry it exactly.
  for (const Box& b : CAPTION_BOXES) {
    int exact = 0;
    for (int y = b.y0; y <= b.y1; y++)
      for (int x = b.x0; x <= b.x1; x++) exact += s.at(x, y) == look.ground;
    EXPECT_GE(exact, 50) << "caption at (" << b.x0 << ", " << b.y1 << ")";
  }

  int stray = 0;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      bool shape = false;
      for (const Box& b : SHAPES) shape = shape || b.contains(x, y);
      if (!shape && s.at(x, y) != look.sky && stray++ < 5)
        ADD_FAILURE() << "stray pixel at (" << x << ", " << y << ")";
    }
  EXPECT_EQ(stray, 0);

  EXPECT_EQ(k.quit(), 0);
  EXPECT_EQ(k.err(), "");
}

INSTANTIATE_TEST_SUITE_P(Looks, ScenePixels, testing::ValuesIn(LOOKS),
                         [](const testing::TestParamInfo<Look>& i) {
                           return std::string(i.param.name);
                         });

TEST(SceneWindow, FixedSizeTitleAndAppIdWithoutGeometry) {
  std::unique_ptr<Display_Server> server = new_server();
  Kelvaro k(*server, {});
  ASSERT_TRUE(k.wait_window()) << k.err();
  if (Xvfb* x = x11(*server)) {
    EXPECT_TRUE(x->fixed_size(k.window(), 600, 400));
  }
  EXPECT_EQ(k.title(), "kelvaro");
  EXPECT_EQ(k.app_id(), "kelvaro");

  // The toolkit's zoom keys (FLTK 1.4's) change neither the window's size
  // nor show a window of their own; the launch after them shows that the
  // program has handled them.
  server->maps();
  for (const char* zoom : {"equal", "plus", "minus", "0", "KP_Add", "KP_Subtract"})
    k.key(zoom, "Control_L");
  k.click(GRAB_X, GRAB_Y);
  ASSERT_TRUE(poll_until(RESPONSE_SECONDS, [&] { return !k.machine_seen_at(REST_X, REST_Y); }));
  int w = 0, h = 0;
  k.size(&w, &h);
  EXPECT_EQ(w, 600);
  EXPECT_EQ(h, 400);
  EXPECT_LE(server->maps(), 0);
  EXPECT_EQ(k.quit(), 0);
}

// The captions as they should read, drawn by the toolkit in this process on
// the same server: the program's caption pixels must match them exactly.
class Reference_Captions : public Fl_Widget {
public:
  bool drawn = false;
  Reference_Captions() : Fl_Widget(0, 0, 600, 70) {}
  void draw() override {
    const struct {
      const char* text;
      int x, y;
    } lines[] = {{"QUERNIX KELVARO 2001", 350, 40},
                 {"8 SEPTEMBRE, TALMORRE", 350, 60},
                 {"\"OSKAVEL\" team Vemtorik production", 300, 20}};
    fl_color(FL_WHITE);
    fl_rectf(0, 0, w(), h());
    fl_color(FL_BACKGROUND_COLOR);
    fl_font(FL_HELVETICA, 14);
    for (const auto& l : lines) fl_draw(l.text, (int)strlen(l.text), l.x, l.y);
    drawn = true;
  }
};

// The toolkit in this process stays connected to the first server it opens,
// so the tests that draw here share the program's server, without resources.
// Their windows are gone from it before the next program starts, as X shows
// whichever window lies on top where windows overlap.
void destroy(Fl_Window* window) {
  delete window;
  XSync(fl_display, False);
}

TEST(Captions, ReadExactlyAsWritten) {
  if (!x11(shared_server())) GTEST_SKIP() << "drawn here on X11 only";
  Xvfb& server = *x11(shared_server());
  server.set_resources("");
  Kelvaro k(server, {});
  ASSERT_TRUE(k.wait_window()) << k.err();
  Shot program = k.shot(60, 0, 540, 70);

  Fl::display(server.name().c_str());
  Fl_Double_Window* window = new Fl_Double_Window(600, 70, "reference");
  Reference_Captions* reference = new Reference_Captions;
  window->end();
  window->show();
  ASSERT_TRUE(poll_until(RESPONSE_SECONDS, [&] {
    Fl::wait(0.01);
    return reference->drawn;
  }));
  Fl::flush();
  XSync(fl_display, False);
  Shot expected = shot_window(server.display(), fl_xid(window), 60, 0, 540, 70);

  int differing = 0;
  for (size_t i = 0; i < expected.px.size(); i++)
    differing += program.px[i] != expected.px[i];
  EXPECT_EQ(differing, 0);
  destroy(window);
}

// Polls until the window, drawn by this process's toolkit, shows exactly the
// frame expected; false after the deadline.
bool shows(Window win, const Shot& expected) {
  if (expected.px.empty()) {
    ADD_FAILURE() << "no frame of the program to compare with";
    return false;
  }
  Shot seen;
  bool same = poll_until(RESPONSE_SECONDS, [&] {
    Fl::wait(0.01);
    Fl::flush();
    XSync(fl_display, False);
    seen = shot_window(x11(shared_server())->display(), win, 0, 0, expected.w, expected.h);
    return seen.read && seen.px == expected.px;
  });
  if (!same) {
    int differing = 0, first = -1;
    for (size_t i = 0; i < seen.px.size(); i++)
      if (seen.px[i] != expected.px[i] && differing++ == 0) first = (int)i;
    ADD_FAILURE() << differing << " of " << expected.w << "x" << expected.h
                  << " pixels differ, the first at (" << first % expected.w << ", "
                  << first / expected.w << ")";
  }
  return same;
}

// The program started at a scale and with arguments, read whole once painted.
Shot program_frame(const char* scale, const std::vector<std::string>& args = {}) {
  Kelvaro k(shared_server(), args, {std::string(SCALE_VARIABLE) + scale});
  EXPECT_TRUE(k.wait_window()) << k.err();
  int w = 0, h = 0;
  k.size(&w, &h);
  Shot frame = k.shot(0, 0, w, h);
  EXPECT_TRUE(frame.read);
  EXPECT_EQ(k.quit(), 0);
  return frame;
}

// What the scene keeps ready between frames follows a change of colour or
// scale under a shown window: after each change the scene shows exactly what
// a program started with that colour or at that scale shows.
TEST(LookChange, TheSceneIsPaintedAnewInTheNewColourAndScale) {
  // The programs first: windows without a window manager overlap, and X
  // reads whichever lies on top.
  if (!x11(shared_server())) GTEST_SKIP() << "drawn here on X11 only";
  shared_server().set_resources("");
  Shot at_1 = program_frame("1"), at_2 = program_frame("2"),
       at_1_5 = program_frame("1.5"),
       peach_sky = program_frame("1", {"-bg2", "#ffe0c0"});
  Fl::display(x11(shared_server())->name().c_str());
  Fl_Double_Window* window = new Fl_Double_Window(600, 400, "kelvaro");
  Pier_Scene* scene = new Pier_Scene(0, 0, 600, 400);
  window->end();
  window->show();
  EXPECT_TRUE(shows(fl_xid(window), at_1));
  Fl::background2(0xff, 0xe0, 0xc0);
  scene->redraw();
  EXPECT_TRUE(shows(fl_xid(window), peach_sky)) << "with another sky";
  Fl::background2(0xff, 0xff, 0xff);
  scene->redraw();
  EXPECT_TRUE(shows(fl_xid(window), at_1)) << "with the sky white again";
  if (!set_screen_scale(2)) {
    destroy(window);
    GTEST_SKIP() << TOOLKIT.name << " does not scale";
  }
  EXPECT_EQ(at_2.w, 1200);
  EXPECT_TRUE(shows(fl_xid(window), at_2)) << "at scale 2";
  set_screen_scale(1.5);
  EXPECT_EQ(at_1_5.w, 900);
  EXPECT_TRUE(shows(fl_xid(window), at_1_5)) << "at scale 1.5";
  set_screen_scale(1);
  EXPECT_TRUE(shows(fl_xid(window), at_1)) << "at scale 1";
  destroy(window);
}

// On Wayland the compositor changes the output's scale under the running
// program, which then shows exactly what a program started at that scale
// shows: what it keeps ready between frames follows the output.
TEST(LookChange, TheSceneFollowsTheOutputsScale) {
  Display_Server& server = shared_server();
  if (x11(server)) GTEST_SKIP() << "an output's scale is Wayland's";
  Shot at_2 = program_frame("2"), at_1 = program_frame("1");
  Kelvaro k(server, {}, {std::string(SCALE_VARIABLE) + "1"});
  ASSERT_TRUE(k.wait_window()) << k.err();
  auto shows = [&](const char* scale, const Shot& expected) {
    std::vector<std::string> env = {std::string(SCALE_VARIABLE) + scale};
    server.take_scale(&env);
    return poll_until(RESPONSE_SECONDS, [&] {
      Shot seen = k.shot(0, 0, expected.w, expected.h);
      return seen.read && seen.px == expected.px;
    });
  };
  EXPECT_TRUE(shows("2", at_2)) << "at output scale 2";
  EXPECT_TRUE(shows("1", at_1)) << "at output scale 1 again";
  EXPECT_EQ(k.quit(), 0);
}

}  // namespace
