// Command lines and endings: what the program accepts, what it refuses with
// which status and message, and how it ends.
#include <gtest/gtest.h>

#include "harness.h"
#include "x11.h"

namespace {

const char* USAGE = "options are:";

std::string repeat(char c, size_t n) { return std::string(n, c); }

Display_Server* const server = &shared_server();

struct Refusal {
  const char* name;
  std::vector<std::string> args;
  std::vector<std::string> env;
  std::string message;  // the start of what the toolkit writes to stderr
  bool may_map;         // an unknown colour is found while the window maps
  std::string resources;
  bool x11_only = false;  // about the X server the program is to open
};

// A window size refused before anything is shown; the last two arguments are
// the option and its value.
Refusal too_large(const char* name, const std::vector<std::string>& args) {
  std::string option = args[args.size() - 2], value = args.back();
  return {name, args, {}, option + " " + value + ": a window can be at most 32767 pixels",
          false, ""};
}

// A window position refused before anything is shown.
Refusal off_screen(const char* name, const std::vector<std::string>& args) {
  std::string option = args[args.size() - 2], value = args.back();
  return {name, args, {},
          option + " " + value + ": a window's position can be from -32768 to 32767",
          false, ""};
}

const Refusal REFUSALS[] = {
  {"unknown_option", {"-bogus"}, {}, USAGE, false, ""},
  {"word_without_dash", {"hello"}, {}, USAGE, false, ""},
  {"ambiguous_abbreviation", {"-n", "zz"}, {}, USAGE, false, ""},
  {"double_dash", {"--name", "zz"}, {}, USAGE, false, ""},
  {"missing_value", {"-geometry"}, {}, USAGE, false, ""},
  {"missing_value_after_good", {"-title", "t", "-fg"}, {}, USAGE, false, ""},
  {"class_name_520", {"-name", repeat('a', 520)}, {}, USAGE, false, ""},
  {"class_name_512", {"-name", repeat('a', 512)}, {}, USAGE, false, ""},
  {"class_name_abbreviated", {"-na", repeat('b', 4096)}, {}, USAGE, false, ""},
  {"class_name_upper_case", {"-NAM", repeat('c', 600)}, {}, USAGE, false, ""},
  {"display_option", {"-display", ":4242"}, {}, "Can't open display: :4242",
   false, "", true},
  {"display_variable", {}, {"DISPLAY=:4343"}, "Can't open display: :4343",
   false, "", true},
  {"unknown_fg", {"-fg", "nosuchcolour"}, {}, "Unknown color: nosuchcolour",
   true, ""},
  {"unknown_bg", {"-bg", "#12345"}, {}, "Unknown color: #12345", true, ""},
  // Refused before anything is shown, where X or the toolkit would read it.
  {"malformed_hex_colour", {"-Background2", "#1234567"}, {},
   "Unknown color: #1234567", false, ""},
  {"unknown_bg2", {"-bg2", "notacolour"}, {}, "Unknown color: notacolour",
   true, ""},
  {"unknown_resource_colour", {}, {}, "Unknown color: nosuchgrey", true,
   "fltk.background: nosuchgrey\n"},
  // Sizes X cannot carry, which the toolkit would pass on anyway.
  too_large("geometry_65536_square", {"-geometry", "65536x65536"}),
  too_large("geometry_65536_wide", {"-g", "65536x400"}),
  too_large("geometry_40000_wide", {"-GEOM", "40000x400"}),
  too_large("geometry_32768_wide", {"-geometry", "32768x400"}),
  too_large("geometry_32768_high", {"-ge", "600x32768"}),
  too_large("geometry_wraps_in_16_bits", {"-Geometry", "600x70000"}),
  too_large("geometry_with_position", {"-iconic", "-geometry", "99999x99999+10+10"}),
  // Numbers the toolkit would wrap to another size: each is read as typed.
  too_large("geometry_2_to_32_square", {"-g", "4294967296x4294967296"}),
  too_large("geometry_2_to_32_plus_1_wide", {"-geometry", "4294967297x10"}),
  too_large("geometry_2_to_32_plus_1_high", {"-geometry", "10x4294967297"}),
  too_large("geometry_2_to_64_plus_600_wide", {"-geometry", "18446744073709552216x400"}),
  // Sizes of nothing, which would crash the toolkit on Wayland.
  {"geometry_0_wide", {"-geometry", "0x400"}, {},
   "-geometry 0x400: a window must be at least 1 pixel wide and high", false, ""},
  {"geometry_minus_height", {"-geometry", "600x-400"}, {},
   "-geometry 600x-400: a window must be at least 1 pixel wide and high", false, ""},
  // Positions past X's signed 16-bit coordinates, which the server would
  // cut to another place, or the toolkit wrap.
  off_screen("geometry_x_40000", {"-geometry", "+40000+0"}),
  off_screen("geometry_y_32768", {"-g", "600x400+0+32768"}),
  off_screen("geometry_x_from_right_32769", {"-geometry", "600x400-32769+0"}),
  off_screen("geometry_x_2_to_32_plus_1", {"-geometry", "600x400+4294967297+0"}),
  off_screen("geometry_y_minus_2_to_32", {"-geometry", "600x400+0+-4294967296"}),
};

class Refused : public testing::TestWithParam<Refusal> {};

TEST_P(Refused, EndsWithStatusOneAndTheToolkitsMessage) {
  const Refusal& r = GetParam();
  if (r.x11_only && !x11(*server))
    GTEST_SKIP() << "the program opens no X server on " << server->system();
  if (!server->set_resources(r.resources))
    GTEST_SKIP() << "X resources are X11's";
  server->maps();
  Kelvaro k(*server, r.args, r.env);
  EXPECT_EQ(k.ended(), 1);
  EXPECT_EQ(k.err().rfind(r.message, 0), 0u) << k.err();
  EXPECT_EQ(k.out(), "");
  int maps = server->maps();
  if (!r.may_map && maps >= 0) {
    EXPECT_EQ(maps, 0);
  }
  server->set_resources("");
}

INSTANTIATE_TEST_SUITE_P(CommandLines, Refused, testing::ValuesIn(REFUSALS),
                         [](const testing::TestParamInfo<Refusal>& i) {
                           return std::string(i.param.name);
                         });

struct Accepted {
  const char* name;
  std::vector<std::string> args;
  std::string title, app_id;
  bool iconic;
  int w = 600, h = 400;
};

const Accepted ACCEPTED[] = {
  {"no_arguments", {}, "kelvaro", "kelvaro", false},
  {"title", {"-title", "Pier"}, "Pier", "kelvaro", false},
  {"title_abbreviated", {"-ti", "Pier"}, "Pier", "kelvaro", false},
  {"class_name", {"-name", "zz"}, "kelvaro", "zz", false},
  {"class_name_abbreviated", {"-na", "zz"}, "kelvaro", "zz", false},
  {"class_name_511", {"-name", repeat('a', 511)}, "kelvaro", repeat('a', 511),
   false},
  {"class_name_as_title", {"-title", "-name", "-na", repeat('d', 300)},
   "-name", repeat('d', 300), false},
  {"display_option", {"-display", "<server>"}, "kelvaro", "kelvaro", false},
  // With no window manager to honour it, the iconic hint is only a hint.
  {"iconic", {"-iconic"}, "kelvaro", "kelvaro", true},
  {"geometry_position", {"-geometry", "+40+50"}, "kelvaro", "kelvaro", false},
  {"geometry_position_limits", {"-geometry", "600x400+32767-32768"}, "kelvaro",
   "kelvaro", false},
  {"geometry_signed_position", {"-geometry", "=600x400+-20+-32768"}, "kelvaro",
   "kelvaro", false},
  {"geometry_32767_wide", {"-geometry", "32767x400"}, "kelvaro", "kelvaro", false,
   32767, 400},
  {"geometry_32767_high", {"-g", "600x32767"}, "kelvaro", "kelvaro", false, 600,
   32767},
  {"geometry_2000x1500", {"-geometry", "2000x1500"}, "kelvaro", "kelvaro", false,
   2000, 1500},
  {"geometry_1x1", {"-geometry", "1x1"}, "kelvaro", "kelvaro", false, 1, 1},
};

class Runs : public testing::TestWithParam<Accepted> {};

TEST_P(Runs, ShowsTheSceneAndEndsOnEscape) {
  Accepted a = GetParam();
  Xvfb* x = x11(*server);
  for (std::string& arg : a.args)
    if (arg == "<server>") {
      if (!x) GTEST_SKIP() << "-display names an X server";
      arg = x->name();
    }
  Kelvaro k(*server, a.args);
  // A window too small to show the sun is only waited for.
  bool sun_fits = a.w >= 50 && a.h >= 50;
  ASSERT_TRUE(sun_fits ? k.wait_window() : k.wait_mapped()) << k.err();
  int w = 0, h = 0;
  k.size(&w, &h);
  EXPECT_EQ(w, a.w);
  EXPECT_EQ(h, a.h);
  EXPECT_EQ(k.title(), a.title);
  // -name names the program for X resources; on Wayland the app_id stays
  // the desktop entry's name.
  EXPECT_EQ(k.app_id(), x ? a.app_id : "kelvaro");
  if (x) {
    EXPECT_EQ(x->iconic_hint(k.window()), a.iconic);
  }
  EXPECT_EQ(k.quit(), 0);
  EXPECT_EQ(k.err() + k.out(), "");
}

INSTANTIATE_TEST_SUITE_P(CommandLines, Runs, testing::ValuesIn(ACCEPTED),
                         [](const testing::TestParamInfo<Accepted>& i) {
                           return std::string(i.param.name);
                         });

// Both ways a user ends the program, at rest and after other input.
struct Ending {
  const char* name;
  void (*end)(const Kelvaro&);
};
const Ending ENDINGS[] = {
  {"escape", [](const Kelvaro& k) { k.key("Escape"); }},
  {"window_manager_close", [](const Kelvaro& k) { k.close_request(); }},
};

class Ends : public testing::TestWithParam<Ending> {};

TEST_P(Ends, WithStatusZero) {
  Kelvaro k(*server, {});
  ASSERT_TRUE(k.wait_window()) << k.err();
  GetParam().end(k);
  EXPECT_EQ(k.ended(), 0);
  EXPECT_EQ(k.err() + k.out(), "");
}

INSTANTIATE_TEST_SUITE_P(Endings, Ends, testing::ValuesIn(ENDINGS),
                         [](const testing::TestParamInfo<Ending>& i) {
                           return std::string(i.param.name);
                         });

// An X protocol error is only a warning: a server short of memory refuses
// the window's off-screen buffer, the toolkit reports that and each drawing
// on it, and the program goes on.
TEST(ProtocolError, IsReportedAndTheProgramGoesOn) {
  if (!x11(*server)) GTEST_SKIP() << "X protocol errors are X11's";
  const unsigned long SERVER_MEMORY = 300ul << 20;  // a 12000x12000 buffer is 550 MiB
  Xvfb short_of_memory(SERVER_MEMORY);
  Kelvaro k(short_of_memory, {"-geometry", "12000x12000"});
  EXPECT_TRUE(poll_until(RESPONSE_SECONDS, [&] {
    return k.err().find("BadAlloc") != std::string::npos;
  })) << k.err();
  EXPECT_EQ(k.ended(0), NOT_ENDED);
}

TEST(LostServer, EndsWithStatusOneAndTheToolkitsMessage) {
  std::unique_ptr<Display_Server> doomed = new_server();
  Kelvaro k(*doomed, {});
  ASSERT_TRUE(k.wait_window()) << k.err();
  doomed->kill_server();
  EXPECT_EQ(k.ended(), 1);
  EXPECT_EQ(k.err().rfind(doomed->lost_message(), 0), 0u) << k.err();
}

}  // namespace
