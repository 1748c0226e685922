// Flights on the real window: real pointer events through XTest, the machine
// found on screen by its red band (nothing else in the scene is pure red).
#include <gtest/gtest.h>

#include <cstdio>

#include "x_harness.h"

namespace {

// Top-left corners after each tick of a launch from rest without a drag.
const int PATH[][2] = {
  {349, 159}, {347, 159}, {344, 159}, {340, 159}, {335, 159}, {329, 159},
  {322, 159}, {314, 159}, {305, 159}, {296, 161}, {287, 165}, {278, 171},
  {269, 179}, {260, 189}, {251, 201}, {242, 215}, {233, 231}, {224, 249},
  {215, 269}, {206, 291}, {197, 315},
};
const int PATH_LEN = sizeof PATH / sizeof PATH[0];

// The picture's red band starts at row 27, column 13; no red lies above or
// left of it, so the smallest red x and y give the picture's corner.
bool machine_at(const Shot& s, int* x, int* y) {
  int rx = 1 << 30, ry = 1 << 30;
  for (int j = 0; j < s.h; j++)
    for (int i = 0; i < s.w; i++)
      if (s.px[j * s.w + i] == RED) {
        rx = std::min(rx, s.x0 + i);
        ry = std::min(ry, s.y0 + j);
      }
  if (rx == 1 << 30) return false;
  *x = rx - 13;
  *y = ry - 27;
  return true;
}

class RealFlight : public testing::Test {
protected:
  static Xvfb* server;
  static void SetUpTestSuite() { server = new Xvfb; }
  static void TearDownTestSuite() { delete server; }

  // The whole area the machine can be seen in during a flight from the deck.
  static Shot path_area(const Kelvaro& k) { return k.shot(0, 180, 600, 220); }

  static bool seen_at(const Kelvaro& k, int x, int y) {
    int mx, my;
    return machine_at(path_area(k), &mx, &my) && mx == x && my == y;
  }
  static void end_with_escape(Kelvaro& k) {
    k.key("Escape");
    int status;
    ASSERT_TRUE(k.wait_exit(10, &status));
    EXPECT_EQ(exit_code(status), 0);
    EXPECT_EQ(k.err(), "");
  }
};
Xvfb* RealFlight::server = nullptr;

TEST_F(RealFlight, EveryTickIsPresentedInTurnAndThenAPressPutsItBack) {
  Kelvaro k(*server, {});
  ASSERT_TRUE(k.wait_window()) << k.err();
  ASSERT_TRUE(seen_at(k, 350, 159));

  k.move(370, 180);
  k.button(true);
  k.button(false);
  auto released = std::chrono::steady_clock::now();

  // Read the screen far faster than the ticks come and keep every position
  // seen after the rest position, in order.
  std::vector<std::pair<int, int>> seen;
  std::vector<double> at;
  poll_until(10, [&] {
    int x, y;
    std::pair<int, int> last = seen.empty() ? std::make_pair(350, 159)
                                            : seen.back();
    if (machine_at(path_area(k), &x, &y) && last != std::make_pair(x, y)) {
      seen.push_back({x, y});
      at.push_back(std::chrono::duration<double>(
                       std::chrono::steady_clock::now() - released).count());
    }
    return !seen.empty() && seen.back() == std::make_pair(197, 315);
  });

  ASSERT_EQ((int)seen.size(), PATH_LEN);
  for (int i = 0; i < PATH_LEN; i++) {
    EXPECT_EQ(seen[i].first, PATH[i][0]) << "tick " << i + 1;
    EXPECT_EQ(seen[i].second, PATH[i][1]) << "tick " << i + 1;
  }
  // Ticks 2 to 21 follow tick 1 at 0.03 s each; the toolkit never fires a
  // timeout early, so the landing cannot be seen before 0.6 s.
  EXPECT_GE(at.back(), 0.59);
  printf("landing seen %.3f s after the release; tick k seen at:", at.back());
  for (double t : at) printf(" %.0f", t * 1000);
  printf(" ms\n");

  // At rest it stays: a press anywhere puts it back on the deck.
  k.click(100, 100);
  EXPECT_TRUE(poll_until(5, [&] { return seen_at(k, 350, 159); }));
  end_with_escape(k);
}

TEST_F(RealFlight, DraggedRightItLaunchesFromWhereItWasLetGo) {
  Kelvaro k(*server, {});
  ASSERT_TRUE(k.wait_window()) << k.err();
  k.move(375, 190);
  k.button(true);
  for (int x = 380; x <= 425; x += 5) k.move(x, 190);
  // Followed the pointer: machine_x is the pointer's x minus 20.
  EXPECT_TRUE(poll_until(5, [&] { return seen_at(k, 405, 159); }));
  k.move(420, 190);
  EXPECT_TRUE(poll_until(5, [&] { return seen_at(k, 400, 159); }));
  k.button(false);
  // From 400 the model lands at x 153 after 25 ticks.
  EXPECT_TRUE(poll_until(10, [&] { return seen_at(k, 153, 315); }));
  end_with_escape(k);
}

TEST_F(RealFlight, EscapeDuringAFlightEndsWithZero) {
  Kelvaro k(*server, {});
  ASSERT_TRUE(k.wait_window()) << k.err();
  k.click(370, 190);
  EXPECT_TRUE(poll_until(5, [&] { return seen_at(k, 314, 159); }));
  end_with_escape(k);
}

}  // namespace
