// Command lines and endings: what the program accepts, what it refuses with
// which status and message, and how it ends.
#include <gtest/gtest.h>

#include "x_harness.h"

namespace {

const char* USAGE = "options are:";

std::string repeat(char c, size_t n) { return std::string(n, c); }

Xvfb* const server = &shared_server();

struct Refusal {
  const char* name;
  std::vector<std::string> args;
  std::vector<std::string> env;
  const char* message;  // the start of what the toolkit writes to stderr
  bool may_map;         // an unknown colour is found while the window maps
  std::string resources;
};

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
   false, ""},
  {"display_variable", {}, {"DISPLAY=:4343"}, "Can't open display: :4343",
   false, ""},
  {"unknown_fg", {"-fg", "nosuchcolour"}, {}, "Unknown color: nosuchcolour",
   true, ""},
  {"unknown_bg", {"-bg", "#12345"}, {}, "Unknown color: #12345", true, ""},
  {"unknown_bg2", {"-bg2", "notacolour"}, {}, "Unknown color: notacolour",
   true, ""},
  {"unknown_resource_colour", {}, {}, "Unknown color: nosuchgrey", true,
   "fltk.background: nosuchgrey\n"},
};

class Refused : public testing::TestWithParam<Refusal> {};

TEST_P(Refused, EndsWithStatusOneAndTheToolkitsMessage) {
  const Refusal& r = GetParam();
  server->set_resources(r.resources);
  server->maps();
  Kelvaro k(*server, r.args, r.env);
  EXPECT_EQ(k.ended(), 1);
  EXPECT_EQ(k.err().rfind(r.message, 0), 0u) << k.err();
  EXPECT_EQ(k.out(), "");
  if (!r.may_map) {
    EXPECT_EQ(server->maps(), 0);
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
  std::string title, wm_class;
  bool iconic;
};

const Accepted ACCEPTED[] = {
  {"no_arguments", {}, "kelvaro", "FLTK", false},
  {"title", {"-title", "Pier"}, "Pier", "FLTK", false},
  {"title_abbreviated", {"-ti", "Pier"}, "Pier", "FLTK", false},
  {"class_name", {"-name", "zz"}, "kelvaro", "zz", false},
  {"class_name_abbreviated", {"-na", "zz"}, "kelvaro", "zz", false},
  {"class_name_511", {"-name", repeat('a', 511)}, "kelvaro", repeat('a', 511),
   false},
  {"class_name_as_title", {"-title", "-name", "-na", repeat('d', 300)},
   "-name", repeat('d', 300), false},
  {"display_option", {"-display", "<server>"}, "kelvaro", "FLTK", false},
  // With no window manager to honour it, the iconic hint is only a hint.
  {"iconic", {"-iconic"}, "kelvaro", "FLTK", true},
  {"geometry_position", {"-geometry", "+40+50"}, "kelvaro", "FLTK", false},
};

class Runs : public testing::TestWithParam<Accepted> {};

TEST_P(Runs, ShowsTheSceneAndEndsOnEscape) {
  Accepted a = GetParam();
  for (std::string& arg : a.args)
    if (arg == "<server>") arg = server->name();
  Kelvaro k(*server, a.args);
  ASSERT_TRUE(k.wait_window()) << k.err();
  EXPECT_EQ(k.title(), a.title);
  EXPECT_EQ(k.wm_class(), a.wm_class);
  EXPECT_EQ(k.iconic_hint(), a.iconic);
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

// An X protocol error is only a warning: a window too large for the server
// cannot be made, the toolkit says so, and the program goes on.
TEST(ProtocolError, IsReportedAndTheProgramGoesOn) {
  Kelvaro k(*server, {"-geometry", "65536x65536"});
  EXPECT_TRUE(poll_until(10, [&] {
    return k.err().find("X_CreateWindow: BadValue") != std::string::npos;
  })) << k.err();
  EXPECT_EQ(k.ended(0), NOT_ENDED);
}

TEST(LostServer, EndsWithXIOErrorAndStatusOne) {
  Xvfb doomed;
  Kelvaro k(doomed, {});
  ASSERT_TRUE(k.wait_window()) << k.err();
  doomed.kill_server();
  EXPECT_EQ(k.ended(), 1);
  EXPECT_EQ(k.err().rfind("X I/O error", 0), 0u) << k.err();
}

}  // namespace
