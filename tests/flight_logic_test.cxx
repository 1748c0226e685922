// The gesture and the motion model, in process: events are handed to the
// scene directly and the tick chain is fired by hand, so no X server and no
// clock are needed, except where two chains run side by side.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include "pier_scene.h"

namespace {

struct State {
  int x, y, roll, fall;
};
bool operator==(const State& a, const State& b) {
  return a.x == b.x && a.y == b.y && a.roll == b.roll && a.fall == b.fall;
}
std::ostream& operator<<(std::ostream& o, const State& s) {
  return o << "(x " << s.x << ", y " << s.y << ", roll " << s.roll
           << ", fall " << s.fall << ")";
}

class Flight : public testing::Test {
protected:
  Fl_Double_Window* window = nullptr;
  Pier_Scene* scene = nullptr;

  void SetUp() override {
    window = new Fl_Double_Window(600, 400, "kelvaro");
    scene = new Pier_Scene(0, 0, 600, 400);
    window->end();
    grab_x = -1;
  }
  void TearDown() override {
    Fl::remove_timeout(tick, scene);
    delete window;
  }

  State state() const {
    return {scene->machine_x, scene->machine_y, scene->roll_speed,
            scene->fall_speed};
  }
  int send(int event, int x, int y) {
    Fl::e_x = x;
    Fl::e_y = y;
    return scene->handle(event);
  }
  bool armed() const { return Fl::has_timeout(tick, scene) != 0; }
  bool redrawn() {
    bool d = scene->damage() != 0;
    scene->clear_damage();
    return d;
  }
  // Fires the armed tick as the toolkit's loop would, without waiting.
  bool fire() {
    if (!armed()) return false;
    Fl::remove_timeout(tick, scene);
    tick(scene);
    return true;
  }
  // Press on the resting machine, drag so that machine_x becomes x, release.
  void launch_from(int x) {
    ASSERT_EQ(send(FL_PUSH, 370, 180), 1);
    if (x != START_X) send(FL_DRAG, x + 20, 180);
    ASSERT_EQ(scene->machine_x, x);
    send(FL_RELEASE, x + 20, 180);
  }
  // Ticks until the chain ends; returns how many ran, counting the release's.
  int fly_to_end() {
    int ticks = 1;
    while (fire()) ticks++;
    return ticks;
  }
};

// Each row is the state after that tick of a launch from rest without a drag.
const State WORKED_EXAMPLE[] = {
  {349, 159, 1, 0},  {347, 159, 2, 0},  {344, 159, 3, 0},  {340, 159, 4, 0},
  {335, 159, 5, 0},  {329, 159, 6, 0},  {322, 159, 7, 0},  {314, 159, 8, 0},
  {305, 159, 9, 0},  {296, 161, 9, 2},  {287, 165, 9, 4},  {278, 171, 9, 6},
  {269, 179, 9, 8},  {260, 189, 9, 10}, {251, 201, 9, 12}, {242, 215, 9, 14},
  {233, 231, 9, 16}, {224, 249, 9, 18}, {215, 269, 9, 20}, {206, 291, 9, 22},
  {197, 315, 9, 24},
};

TEST_F(Flight, WorkedExampleTickByTick) {
  EXPECT_EQ(state(), (State{350, 159, 0, 0}));
  ASSERT_EQ(send(FL_PUSH, 370, 180), 1);
  EXPECT_FALSE(redrawn());
  EXPECT_EQ(send(FL_RELEASE, 370, 180), 0);
  size_t rows = sizeof WORKED_EXAMPLE / sizeof WORKED_EXAMPLE[0];
  for (size_t i = 0; i < rows; i++) {
    EXPECT_EQ(state(), WORKED_EXAMPLE[i]) << "after tick " << i + 1;
    EXPECT_TRUE(redrawn()) << "tick " << i + 1;
    EXPECT_EQ(armed(), i + 1 < rows) << "after tick " << i + 1;
    if (i + 1 < rows) {
      ASSERT_TRUE(fire());
    }
  }
}

struct Launch {
  int from, ticks, end_x, roll;
};
// 354 and 355 reach x 309 and x 310 while rolling: the take-off edge.
const Launch LAUNCHES[] = {
  {350, 21, 197, 9},  {351, 21, 198, 9},  {354, 21, 201, 9},
  {355, 22, 180, 10}, {360, 22, 185, 10}, {400, 25, 153, 13},
  {600, 36, 12, 24},  {700, 40, -42, 28},
};

class Launches : public Flight, public testing::WithParamInterface<Launch> {};

TEST_P(Launches, EndAtTheWaterLevel) {
  const Launch& l = GetParam();
  launch_from(l.from);
  EXPECT_EQ(fly_to_end(), l.ticks);
  EXPECT_EQ(state(), (State{l.end_x, 315, l.roll, 24}));
  EXPECT_FALSE(armed());
}

INSTANTIATE_TEST_SUITE_P(From, Launches, testing::ValuesIn(LAUNCHES),
                         [](const testing::TestParamInfo<Launch>& i) {
                           return std::to_string(i.param.from);
                         });

struct Press {
  int x, y;
  bool grabs;
};
const Press GRAB_EDGES[] = {
  {350, 180, false}, {351, 180, true},  {389, 180, true},  {390, 180, false},
  {370, 159, false}, {370, 160, true},  {370, 198, true},  {370, 199, false},
  {351, 160, true},  {389, 198, true},  {351, 198, true},  {389, 160, true},
  {350, 159, false}, {390, 199, false}, {10, 10, false},   {-5, 500, false},
};

class GrabArea : public Flight, public testing::WithParamInterface<Press> {};

TEST_P(GrabArea, PressOnTheRestingMachine) {
  const Press& p = GetParam();
  EXPECT_EQ(send(FL_PUSH, p.x, p.y), 1);
  EXPECT_EQ(grab_x, p.grabs ? p.x : -1);
  EXPECT_EQ(state(), (State{350, 159, 0, 0}));
  EXPECT_FALSE(redrawn());
  // The drag and release of this gesture move the machine only after a grab.
  EXPECT_EQ(send(FL_DRAG, p.x + 30, p.y), 1);
  EXPECT_EQ(scene->machine_x, p.grabs ? p.x + 10 : 350);
  EXPECT_EQ(redrawn(), p.grabs);
  EXPECT_EQ(send(FL_RELEASE, p.x + 30, p.y), 0);
  EXPECT_EQ(armed(), p.grabs);
  EXPECT_EQ(scene->machine_x, p.grabs ? p.x + 10 - 1 : 350);
}

INSTANTIATE_TEST_SUITE_P(Edges, GrabArea, testing::ValuesIn(GRAB_EDGES),
                         [](const testing::TestParamInfo<Press>& i) {
                           std::string n = (i.param.grabs ? "grab_" : "miss_") +
                                           std::to_string(i.param.x) + "_" +
                                           std::to_string(i.param.y);
                           for (char& c : n)
                             if (c == '-') c = 'm';
                           return n;
                         });

TEST_F(Flight, DragFollowsThePointerAndStopsAtTheDecksLeftEnd) {
  send(FL_PUSH, 370, 180);
  const int pointer[] = {300, 371, 369, 500, 2000, 100};
  const int expected[] = {350, 351, 350, 480, 1980, 350};
  for (int i = 0; i < 6; i++) {
    EXPECT_EQ(send(FL_DRAG, pointer[i], 10), 1);
    EXPECT_EQ(state(), (State{expected[i], 159, 0, 0})) << pointer[i];
    EXPECT_TRUE(redrawn());
  }
  EXPECT_FALSE(armed());
  send(FL_RELEASE, 100, 180);
  EXPECT_EQ(fly_to_end(), 21);
  EXPECT_EQ(state(), (State{197, 315, 9, 24}));
}

TEST_F(Flight, PressAfterLandingPutsTheMachineBack) {
  launch_from(400);
  fly_to_end();
  EXPECT_EQ(send(FL_PUSH, 5, 5), 1);
  EXPECT_EQ(state(), (State{350, 159, 0, 0}));
  EXPECT_EQ(grab_x, -1);
  EXPECT_TRUE(redrawn());
  EXPECT_FALSE(armed());
  // The rest of that gesture does nothing, and nothing moves afterwards.
  send(FL_DRAG, 380, 180);
  send(FL_RELEASE, 380, 180);
  EXPECT_EQ(state(), (State{350, 159, 0, 0}));
  EXPECT_FALSE(armed());
}

TEST_F(Flight, PressDuringAFlightRestartsIt) {
  launch_from(350);
  for (int i = 0; i < 12; i++) fire();
  EXPECT_EQ(send(FL_PUSH, 200, 100), 1);
  EXPECT_EQ(state(), (State{350, 159, 0, 0}));
  EXPECT_TRUE(armed());
  send(FL_RELEASE, 200, 100);
  // The tick still armed starts the whole flight again from the rest position.
  ASSERT_TRUE(fire());
  EXPECT_EQ(state(), WORKED_EXAMPLE[0]);
  EXPECT_EQ(fly_to_end(), 21);
  EXPECT_EQ(state(), (State{197, 315, 9, 24}));
}

// A launch from 351 passes through 350 on its first tick; a grab then starts a
// second chain beside the first, and the flight ends one falling step lower.
// Two chains cannot be told apart by Fl::has_timeout, so the toolkit's own
// loop runs them.
TEST_F(Flight, SecondChainFromAPressAtTheRestPositionEndsAt341) {
  launch_from(351);
  EXPECT_EQ(state(), (State{350, 159, 1, 0}));
  EXPECT_TRUE(armed());
  EXPECT_EQ(send(FL_PUSH, 360, 180), 1);
  EXPECT_EQ(grab_x, 360);
  send(FL_RELEASE, 360, 180);
  EXPECT_EQ(state(), (State{348, 159, 2, 0}));
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (armed() && std::chrono::steady_clock::now() < deadline) Fl::wait(1.0);
  EXPECT_FALSE(armed());
  EXPECT_EQ(scene->machine_y, 341);
}

TEST_F(Flight, OtherEventsChangeNothing) {
  const int events[] = {FL_ENTER, FL_MOVE,     FL_LEAVE,  FL_KEYDOWN,
                        FL_KEYUP, FL_MOUSEWHEEL, FL_FOCUS, FL_UNFOCUS,
                        FL_SHORTCUT, FL_SHOW,  FL_HIDE};
  send(FL_PUSH, 370, 180);  // grabbed: the gesture must survive them
  for (int e : events) {
    send(e, 380, 190);
    EXPECT_EQ(state(), (State{350, 159, 0, 0})) << "event " << e;
    EXPECT_EQ(grab_x, 370) << "event " << e;
    EXPECT_FALSE(armed()) << "event " << e;
  }
  send(FL_RELEASE, 370, 180);
  ASSERT_TRUE(armed());
  for (int e : events) send(e, 100, 100);
  EXPECT_EQ(state(), WORKED_EXAMPLE[0]);
}

}  // namespace
