// The pier scene: backdrop, captions and the machine that rolls off the deck.
#ifndef KELVARO_PIER_SCENE_H
#define KELVARO_PIER_SCENE_H

#include <FL/Fl_Group.H>

#include "toolkit_version.h"

// The scene's own size, which is also the window's.
const int SCENE_W = 600;
const int SCENE_H = 400;

// Machine at rest, and the left end of the deck and right edge of the water.
const int START_X = 350;
const int START_Y = 159;

// Fixed shapes of the backdrop, in window pixels. The deck and the ground
// run from START_X to the window's right edge; the water lies left of them.
const int PIER_W = SCENE_W - START_X;  // width of the deck and the ground
const int DECK_Y = 200;  // top edge of the deck
const int DECK_H = 3;
const int SEA_H = 100;   // height of the water and of the ground block
const int SUN_X = 10, SUN_Y = 10, SUN_D = 40;

// Captions: the toolkit's font 0 (Helvetica) at 14 pixels, drawn at the left
// end of their baselines.
const int CAPTION_FONT = 0;
const int CAPTION_SIZE = 14;
struct Caption {
  const char* text;
  int x, baseline;
};
const Caption CAPTIONS[] = {
  {"QUERNIX KELVARO 2001", 350, 40},
  {"8 SEPTEMBRE, TALMORRE", 350, 60},
  {"\"OSKAVEL\" team Vemtorik production", 300, 20},
};

// The machine picture is 40 by 40 pixels.
const int MACHINE_SIZE = 40;

// Launch and flight.
const int GRAB_RIGHT = 389;      // largest pointer x that grabs the resting machine
const int DRAG_OFFSET = 20;      // machine_x is the pointer x minus this while dragging
const int TAKEOFF_X = 309;       // the machine rolls while right of this, falls otherwise
const int ROLL_ACCELERATION = 1; // added to roll_speed on each rolling step
const int FALL_ACCELERATION = 2; // added to fall_speed on each falling step
const int WATER_Y = 300;         // top of the water; ticks go on while machine_y is above it
const double TICK_SECONDS = 0.03;

// Pointer x of the press that grabbed the resting machine, or -1.
extern int grab_x;

class Pier_Scene : public Fl_Group {
public:
  Kept_Picture* machine_picture;
  int machine_x;
  int machine_y;
  int fall_speed;
  int roll_speed;

  Pier_Scene(int x, int y, int w, int h);
  ~Pier_Scene();
  void draw();
  int handle(int event);
  void step();

private:
  // Everything but the machine, painted off-screen once and copied into
  // each frame, and what it was painted for: the scene's size, the three
  // colours the toolkit's options set, and the screen's scale.
  struct Backdrop_Look {
    int w, h;
    Fl_Color foreground, background, background2;
    float scale;
    bool operator==(const Backdrop_Look& o) const;
  };
  Offscreen_Buffer* backdrop = nullptr;
  Backdrop_Look backdrop_look = {};
  Backdrop_Look look() const;
  static void paint_backdrop(void* scene);
};

// Timeout handler: one step of the flight; data is the scene.
void tick(void* data);

// A gesture withdrawn before its release (a touch the compositor took for a
// gesture of its own): no launch; data is the scene.
void cancel_gesture(void* data);

#endif
