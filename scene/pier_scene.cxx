// The pier scene: paints the backdrop and the machine, and turns a press,
// drag and release on the resting machine into a flight off the deck.
#include "pier_scene.h"
#include "machine_xpm.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>
#include <string.h>

int grab_x = -1;

// True while the release of a grab runs the launch's tick.
static bool launching = false;

Pier_Scene::Pier_Scene(int x, int y, int w, int h)
  : Fl_Group(x, y, w, h),
    machine_picture(keep_picture(machine_xpm)),
    machine_x(START_X),
    machine_y(START_Y),
    fall_speed(0),
    roll_speed(0) {}

Pier_Scene::~Pier_Scene() {
  delete_picture(machine_picture);
  if (backdrop) delete_buffer(backdrop);
}

bool Pier_Scene::Backdrop_Look::operator==(const Backdrop_Look& o) const {
  return w == o.w && h == o.h && foreground == o.foreground &&
         background == o.background && background2 == o.background2 &&
         scale == o.scale;
}

Pier_Scene::Backdrop_Look Pier_Scene::look() const {
  return {w(), h(), Fl::get_color(FL_FOREGROUND_COLOR),
          Fl::get_color(FL_BACKGROUND_COLOR), Fl::get_color(FL_BACKGROUND2_COLOR),
          drawing_scale()};
}

// The whole scene on every call, into the double-buffered window's back
// buffer, which the toolkit shows only once the frame is complete. All but
// the machine is the same from frame to frame, so it is painted once, at the
// screen's scale, and copied; it is painted again whenever the scene's size,
// a colour or the scale differs from what it was painted for.
void Pier_Scene::draw() {
  Backdrop_Look now = look();
  if (!backdrop || !(now == backdrop_look)) {
    if (backdrop) delete_buffer(backdrop);
    backdrop_look = now;
    backdrop = create_buffer(w(), h(), paint_backdrop, this);
  }
  copy_buffer(backdrop);
  draw_picture(machine_picture, machine_x, machine_y);
  Fl_Group::draw();
}

// Everything but the machine, in the order the frame has always had.
void Pier_Scene::paint_backdrop(void* data) {
  Pier_Scene* scene = (Pier_Scene*)data;
  fl_color(FL_BACKGROUND2_COLOR);
  fl_rectf(0, 0, scene->w(), scene->h());
  fl_color(FL_FOREGROUND_COLOR);
  fl_rectf(START_X, DECK_Y, PIER_W, DECK_H);
  fl_color(FL_BLUE);
  fl_rectf(0, WATER_Y, START_X, SEA_H);
  fl_color(FL_BACKGROUND_COLOR);
  fl_rectf(START_X, WATER_Y, PIER_W, SEA_H);
  fl_color(FL_YELLOW);
  fl_pie(SUN_X, SUN_Y, SUN_D, SUN_D, 0.0, 360.0);
  fl_color(FL_BACKGROUND_COLOR);
  fl_font(CAPTION_FONT, CAPTION_SIZE);
  for (const Caption& c : CAPTIONS)
    fl_draw(c.text, (int)strlen(c.text), c.x, c.baseline);
}

int Pier_Scene::handle(int event) {
  int px = Fl::event_x(), py = Fl::event_y();
  switch (event) {
  case FL_PUSH:
    if (machine_x != START_X) {
      // Put the machine back. An armed tick stays armed and starts the
      // flight again from here.
      machine_y = START_Y;
      machine_x = START_X;
      roll_speed = 0;
      fall_speed = 0;
      grab_x = -1;
      redraw();
    } else if (px > machine_x && px <= GRAB_RIGHT && py > machine_y &&
               py < machine_y + MACHINE_SIZE) {
      grab_x = px;
    } else {
      grab_x = -1;
    }
    return 1;
  case FL_DRAG:
    if (grab_x > 0) {
      machine_x = px - DRAG_OFFSET;
      if (machine_x < START_X) machine_x = START_X;
      redraw();
    }
    return 1;
  case FL_RELEASE:
    if (grab_x > 0) {
      launching = true;
      tick(this);
      launching = false;
    }
    return Fl_Group::handle(event);
  default:
    return Fl_Group::handle(event);
  }
}

// A withdrawn gesture leaves no grab behind, and a machine it had grabbed
// goes back to rest, as if the gesture had never begun. What its press did
// otherwise (putting a landed machine back) stays done.
void cancel_gesture(void* data) {
  Pier_Scene* scene = (Pier_Scene*)data;
  if (grab_x <= 0) return;
  grab_x = -1;
  if (scene->machine_x != START_X) {
    scene->machine_x = START_X;
    scene->redraw();
  }
}

// One tick of the motion model: roll left with growing speed while on the
// deck, then fall with growing speed, keeping the last rolling speed.
void Pier_Scene::step() {
  if (machine_x > TAKEOFF_X) {
    roll_speed += ROLL_ACCELERATION;
    machine_x -= roll_speed;
  } else {
    fall_speed += FALL_ACCELERATION;
    machine_x -= roll_speed;
    machine_y += fall_speed;
  }
  redraw();
}

// Each tick arms the next while the machine is above the water, so a flight
// is a chain of one-shot timeouts that ends by itself. A tick that runs as
// the toolkit's timeout re-arms with repeat_timeout, which measures the delay
// from when the running timeout was due, so the chain stays on the tick grid
// however long painting takes. The launch's tick runs inside the release,
// where no timeout is running, and measures it from now.
void tick(void* data) {
  Pier_Scene* scene = (Pier_Scene*)data;
  scene->step();
  if (scene->machine_y >= WATER_Y) return;
  if (launching)
    Fl::add_timeout(TICK_SECONDS, tick, scene);
  else
    Fl::repeat_timeout(TICK_SECONDS, tick, scene);
}
