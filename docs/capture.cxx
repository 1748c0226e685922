// Paints the README's pictures with the real program on a private display
// server: the scene at rest, and every frame of a flight launched from rest
// without a drag, each read from the window as the program presents it.
//
//   kelvaro_capture FOLDER
//   kelvaro_capture --scale S FOLDER
//
// Writes FOLDER/rest.ppm and FOLDER/flight-01.ppm to flight-21.ppm; fails
// unless all 21 positions of the flight were seen, in order. Given a scale,
// it writes only the scene at rest, drawn at that scale, as FOLDER/rest.ppm.
// The server is an Xvfb, or a headless sway where KELVARO_TEST_DISPLAY is
// "wayland".
#include <cstdio>
#include <string>
#include <vector>

#include "harness.h"
#include "x11.h"

namespace {

const int W = 600, H = 400;

bool write_ppm(const std::string& path, const Shot& s) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  fprintf(f, "P6\n%d %d\n255\n", s.w, s.h);
  for (Rgb p : s.px) {
    unsigned char rgb[3] = {(unsigned char)(p >> 16), (unsigned char)(p >> 8),
                            (unsigned char)p};
    fwrite(rgb, 1, 3, f);
  }
  return fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string scale = "1";
  if (argc == 4 && std::string(argv[1]) == "--scale") scale = argv[2];
  if (argc != 2 && !(argc == 4 && scale != "1")) {
    fprintf(stderr, "usage: kelvaro_capture [--scale S] FOLDER\n");
    return 2;
  }
  std::string folder = argv[argc - 1];
  std::unique_ptr<Display_Server> server = new_server();
  Kelvaro k(*server, {}, {std::string(SCALE_VARIABLE) + scale});
  if (!k.wait_window()) {
    fprintf(stderr, "kelvaro_capture: no window: %s\n", k.err().c_str());
    return 1;
  }
  if (!write_ppm(folder + "/rest.ppm",
                 k.shot(0, 0, k.to_screen(W), k.to_screen(H)))) {
    perror(folder.c_str());
    return 1;
  }
  if (scale != "1") {
    k.quit();
    return 0;
  }

  std::vector<Shot> frames;
  std::vector<Sighting> seen = k.fly_from_rest(RESPONSE_SECONDS, &frames);
  std::string mismatch = rest_flight_mismatch(seen, true);
  if (!mismatch.empty()) {
    fprintf(stderr, "kelvaro_capture: the flight was not seen whole: %s\n",
            mismatch.c_str());
    return 1;
  }
  for (size_t i = 0; i < frames.size(); i++) {
    std::string n = std::to_string(i + 1);
    if (!write_ppm(folder + "/flight-" + (i < 9 ? "0" : "") + n + ".ppm", frames[i])) {
      perror(folder.c_str());
      return 1;
    }
  }
  k.quit();
  return 0;
}
