// The frame watcher: the machine found in what the window shows, and a
// flight followed frame by frame.
#include "harness.h"

#include <cmath>
#include <sstream>

bool machine_corner(const Shot& s, int* x, int* y, double scale) {
  int rx = -1, ry = -1;
  for (int j = 0; j < s.h; j++)
    for (int i = 0; i < s.w; i++)
      if (s.px[j * s.w + i] == RED) {
        if (rx < 0 || s.x0 + i < rx) rx = s.x0 + i;
        if (ry < 0) ry = s.y0 + j;
      }
  if (rx < 0) return false;
  *x = (int)std::lround(rx / scale) - RED_BAND_COLUMN;
  *y = (int)std::lround(ry / scale) - RED_BAND_ROW;
  return true;
}

int to_screen(int v, double scale) { return (int)std::ceil(v * scale - 1e-9); }

// The whole area the machine can be seen in during a flight from the deck,
// and the part of it a flight from rest passes through, from the machine's
// visible rows on the deck to the landing: a fifth as many pixels to read.
struct Area {
  int x, y, w, h;
};
const Area FLIGHT_AREA = {0, 180, 600, 220}, REST_FLIGHT_AREA = {190, 180, 200, 180};

bool Kelvaro::machine_seen_at(int x, int y) const {
  const Area& a = FLIGHT_AREA;
  int mx, my;
  return machine_corner(shot(to_screen(a.x), to_screen(a.y), to_screen(a.w),
                             to_screen(a.h)),
                        &mx, &my, scale_) &&
         mx == x && my == y;
}

// The watcher sleeps until the program may have presented a frame, and then
// reads the machine's area. A watcher that polled at full speed instead
// would compete with the program for the CPU, and fall behind when every
// core is busy.
std::vector<Sighting> Kelvaro::fly_from_rest(double seconds, std::vector<Shot>* frames,
                                             Device d) const {
  std::vector<Sighting> seen;
  int w = 0, h = 0;
  if (frames) size(&w, &h);
  const Area& a = REST_FLIGHT_AREA;
  std::unique_ptr<Frame_Watch> watch = server.watch(win);
  auto start = std::chrono::steady_clock::now();
  auto deadline = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(seconds));
  click(GRAB_X, GRAB_Y, d);
  do {
    // A frame is timed when it is known to be on screen: where the server
    // reports each frame, before the read; where the watcher polls, after
    // it, as the frame may have come while it read.
    auto since_start = [&] {
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
          .count();
    };
    double now = since_start();
    int x, y;
    Shot s = frames ? watch->shot(0, 0, w, h)
                    : watch->shot(to_screen(a.x), to_screen(a.y),
                                  to_screen(a.w), to_screen(a.h));
    if (!server.sees_every_frame()) now = since_start();
    if (machine_corner(s, &x, &y, scale_)) {
      bool at_rest = x == REST_X && y == REST_Y;
      bool moved = seen.empty() ? !at_rest
                                : x != seen.back().x || y != seen.back().y;
      if (moved) {
        seen.push_back({x, y, now});
        if (frames) frames->push_back(s);
      }
      if (x == LANDING_X && y == LANDING_Y && !seen.empty()) break;
    }
  } while (watch->next_frame(deadline));
  return seen;
}

// Tick 1 runs inside the release and the toolkit never runs a timeout
// early, so the landing comes at least 20 ticks after the press was sent. A
// hundredth of a second is left for the rounding of the toolkit's clock;
// a flight at twice the speed, as with a second chain of ticks, lands in
// half the time.
const double LANDING_NO_SOONER = (REST_FLIGHT_TICKS - 1) * SECONDS_PER_TICK - 0.01;

std::string rest_flight_mismatch(const std::vector<Sighting>& seen,
                                 bool every_frame) {
  std::ostringstream why;
  if (every_frame) {
    for (size_t i = 0; i < seen.size() || i < (size_t)REST_FLIGHT_TICKS; i++) {
      bool expected = i < (size_t)REST_FLIGHT_TICKS, got = i < seen.size();
      if (expected && got && seen[i].x == REST_FLIGHT[i][0] &&
          seen[i].y == REST_FLIGHT[i][1])
        continue;
      why << "tick " << i + 1 << ": expected ";
      if (expected) why << "(" << REST_FLIGHT[i][0] << ", " << REST_FLIGHT[i][1] << ")";
      else why << "nothing";
      why << ", seen ";
      if (got) why << "(" << seen[i].x << ", " << seen[i].y << ")";
      else why << "nothing";
      why << "; ";
    }
  } else {
    // Each position seen is a tick's, later than the one seen before it: a
    // position out of the model, or one seen again after it was left, is
    // out of turn.
    int tick = -1;
    for (const Sighting& s : seen) {
      int t = tick + 1;
      while (t < REST_FLIGHT_TICKS &&
             (REST_FLIGHT[t][0] != s.x || REST_FLIGHT[t][1] != s.y))
        t++;
      if (t == REST_FLIGHT_TICKS)
        why << "(" << s.x << ", " << s.y << ") seen out of turn after tick "
            << tick + 1 << "; ";
      else
        tick = t;
    }
    if (tick != REST_FLIGHT_TICKS - 1) why << "the landing not seen; ";
  }
  if (!seen.empty() && seen.back().x == LANDING_X && seen.back().y == LANDING_Y &&
      seen.back().seconds < LANDING_NO_SOONER)
    why << "landed " << seen.back().seconds
        << " s after the press was sent, sooner than its ticks allow; ";
  return why.str();
}
