// Flights on the real window: real pointer events, the machine found on
// screen by its red band (nothing else in the scene is pure red).
#include <gtest/gtest.h>

#include <cstdio>

#include "toolkit.h"
#include "harness.h"

namespace {

// Every flight runs at scale 1 and, where the toolkit and the display system
// draw at it, at 2 and 1.5: in window units the gesture and the flight are
// the same at any scale.
class RealFlight : public testing::TestWithParam<const char*> {
protected:
  Display_Server* const server = &shared_server();
  Kelvaro k{*server, {}, {std::string(SCALE_VARIABLE) + GetParam()}};

  void SetUp() override {
    if (!server->scales_to(std::stod(GetParam())))
      GTEST_SKIP() << TOOLKIT.name << " on " << server->system()
                   << " does not draw at scale " << GetParam();
    ASSERT_TRUE(k.wait_window()) << k.err();
  }

  void end_with_escape() {
    EXPECT_EQ(k.quit(), 0);
    EXPECT_EQ(k.err(), "");
  }
};

TEST_P(RealFlight, ItsTicksComeInTurnOnTheGridAndThenAPressPutsItBack) {
  ASSERT_TRUE(k.machine_seen_at(REST_X, REST_Y));

  std::vector<Sighting> seen = k.fly_from_rest();
  ASSERT_EQ(rest_flight_mismatch(seen), "");
  printf("landing seen %.3f s after the press was sent; ticks seen at:",
         seen.back().seconds);
  for (const Sighting& s : seen) printf(" %.0f", s.seconds * 1000);
  printf(" ms\n");

  // At rest it stays: a press anywhere puts it back on the deck.
  k.click(AWAY_X, AWAY_Y);
  EXPECT_TRUE(poll_until(RESPONSE_SECONDS, [&] { return k.machine_seen_at(REST_X, REST_Y); }));
  end_with_escape();
}

TEST_P(RealFlight, DraggedRightItLaunchesFromWhereItWasLetGo) {
  k.move(375, 190);
  k.button(true);
  for (int x = 380; x <= 425; x += 5) k.move(x, 190);
  // Followed the pointer: machine_x is the pointer's x minus 20.
  EXPECT_TRUE(poll_until(RESPONSE_SECONDS, [&] { return k.machine_seen_at(405, 159); }));
  k.move(420, 190);
  EXPECT_TRUE(poll_until(RESPONSE_SECONDS, [&] { return k.machine_seen_at(400, 159); }));
  k.button(false);
  // From 400 the model lands at x 153 after 25 ticks.
  EXPECT_TRUE(poll_until(RESPONSE_SECONDS, [&] { return k.machine_seen_at(153, 315); }));
  end_with_escape();
}

TEST_P(RealFlight, EscapeDuringAFlightEndsWithZero) {
  k.click(GRAB_X, GRAB_Y);
  EXPECT_TRUE(poll_until(RESPONSE_SECONDS, [&] { return !k.machine_seen_at(REST_X, REST_Y); }));
  end_with_escape();
}

INSTANTIATE_TEST_SUITE_P(Scales, RealFlight, testing::Values("1", "2", "1.5"),
                         [](const testing::TestParamInfo<const char*>& i) {
                           std::string n = std::string("scale_") + i.param;
                           for (char& c : n)
                             if (c == '.') c = '_';
                           return n;
                         });

}  // namespace
