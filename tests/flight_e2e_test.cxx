// Flights on the real window: real pointer and touch events, the machine
// found on screen by its red band (nothing else in the scene is pure red).
#include <gtest/gtest.h>

#include <cstdio>

#include "toolkit.h"
#include "harness.h"

namespace {

// Every gesture runs at scale 1 and, where the toolkit and the display
// system draw at it, at 2 and 1.5: in window units the gesture and the flight
// are the same at any scale. Each is made with the mouse and, where the
// server has a touchscreen, with a finger.
class RealFlight : public testing::TestWithParam<std::tuple<const char*, Device>> {
protected:
  Display_Server* const server = &shared_server();
  const char* const scale = std::get<0>(GetParam());
  const Device device = std::get<1>(GetParam());
  Kelvaro k{*server, {}, {std::string(SCALE_VARIABLE) + scale}};

  void SetUp() override {
    if (!server->scales_to(std::stod(scale)))
      GTEST_SKIP() << TOOLKIT.name << " on " << server->system()
                   << " does not draw at scale " << scale;
    if (device == FINGER && !server->touches())
      GTEST_SKIP() << "no touchscreen here";
    ASSERT_TRUE(k.wait_window()) << k.err();
  }

  void end_with_escape() {
    EXPECT_EQ(k.quit(), 0);
    EXPECT_EQ(k.err(), "");
  }
};

TEST_P(RealFlight, ItsTicksComeInTurnOnTheGridAndThenAPressPutsItBack) {
  ASSERT_TRUE(k.machine_seen_at(REST_X, REST_Y));

  std::vector<Sighting> seen = k.fly_from_rest(RESPONSE_SECONDS, nullptr, device);
  ASSERT_EQ(rest_flight_mismatch(seen), "");
  printf("landing seen %.3f s after the press was sent; ticks seen at:",
         seen.back().seconds);
  for (const Sighting& s : seen) printf(" %.0f", s.seconds * 1000);
  printf(" ms\n");

  // At rest it stays: a press anywhere puts it back on the deck.
  k.click(AWAY_X, AWAY_Y, device);
  EXPECT_TRUE(poll_until(RESPONSE_SECONDS, [&] { return k.machine_seen_at(REST_X, REST_Y); }));
  end_with_escape();
}

TEST_P(RealFlight, DraggedRightItLaunchesFromWhereItWasLetGo) {
  k.press(device, 375, 190);
  for (int x = 380; x <= 425; x += 5) k.drag(device, x, 190);
  // Followed the pointer: machine_x is the pointer's x minus 20.
  EXPECT_TRUE(poll_until(RESPONSE_SECONDS, [&] { return k.machine_seen_at(405, 159); }));
  k.drag(device, 420, 190);
  EXPECT_TRUE(poll_until(RESPONSE_SECONDS, [&] { return k.machine_seen_at(400, 159); }));
  k.release(device);
  // From 400 the model lands at x 153 after 25 ticks.
  EXPECT_TRUE(poll_until(RESPONSE_SECONDS, [&] { return k.machine_seen_at(153, 315); }));
  end_with_escape();
}

// While the first finger is down every other is ignored, whatever it does,
// and one that went down meanwhile stays ignored once the first lifts: had
// any of them pressed, dragged or released, the flight would have left its
// path, or started twice, and landed elsewhere.
TEST_P(RealFlight, OnlyTheFirstFingerPlays) {
  if (device != FINGER) GTEST_SKIP() << "a touchscreen's own";
  k.touch(TOUCH_DOWN, 0, 370, 180);
  k.touch(TOUCH_DOWN, 1, 380, 185);
  for (int x = 380; x <= 470; x += 10) k.touch(TOUCH_MOTION, 0, x, 180);
  k.touch(TOUCH_MOTION, 1, 420, 185);
  k.touch(TOUCH_UP, 1);
  k.touch(TOUCH_DOWN, 2, 400, 185);
  EXPECT_TRUE(poll_until(RESPONSE_SECONDS, [&] { return k.machine_seen_at(450, 159); }));
  k.touch(TOUCH_UP, 0);
  k.touch(TOUCH_MOTION, 2, 600, 180);
  k.touch(TOUCH_UP, 2);
  // From 450 the model lands at x 93 after 29 ticks, and there it stays.
  EXPECT_TRUE(poll_until(RESPONSE_SECONDS, [&] { return k.machine_seen_at(93, 315); }));
  EXPECT_TRUE(k.goes_quiet());
  EXPECT_TRUE(k.machine_seen_at(93, 315));
  // The mouse then plays as before.
  k.click(AWAY_X, AWAY_Y);
  EXPECT_TRUE(poll_until(RESPONSE_SECONDS, [&] { return k.machine_seen_at(REST_X, REST_Y); }));
  end_with_escape();
}

// A touch the compositor cancels launches nothing and leaves no grab: the
// machine goes back to rest, and the mouse then launches it as before.
TEST_P(RealFlight, ACancelledTouchLaunchesNothing) {
  if (device != FINGER) GTEST_SKIP() << "a touchscreen's own";
  k.touch(TOUCH_DOWN, 0, 370, 180);
  k.touch(TOUCH_MOTION, 0, 430, 180);
  EXPECT_TRUE(poll_until(RESPONSE_SECONDS, [&] { return k.machine_seen_at(410, 159); }));
  k.touch(TOUCH_CANCEL, 0);
  EXPECT_TRUE(poll_until(RESPONSE_SECONDS, [&] { return k.machine_seen_at(REST_X, REST_Y); }));
  EXPECT_TRUE(k.goes_quiet());
  EXPECT_TRUE(k.machine_seen_at(REST_X, REST_Y));
  EXPECT_EQ(rest_flight_mismatch(k.fly_from_rest()), "");
  end_with_escape();
}

TEST_P(RealFlight, EscapeDuringAFlightEndsWithZero) {
  k.click(GRAB_X, GRAB_Y, device);
  EXPECT_TRUE(poll_until(RESPONSE_SECONDS, [&] { return !k.machine_seen_at(REST_X, REST_Y); }));
  end_with_escape();
}

INSTANTIATE_TEST_SUITE_P(Gestures, RealFlight,
                         testing::Combine(testing::Values("1", "2", "1.5"),
                                          testing::Values(MOUSE, FINGER)),
                         [](const testing::TestParamInfo<RealFlight::ParamType>& i) {
                           std::string n = std::string("scale_") + std::get<0>(i.param);
                           for (char& c : n)
                             if (c == '.') c = '_';
                           return n + (std::get<1>(i.param) == FINGER ? "_finger" : "_mouse");
                         });

}  // namespace
