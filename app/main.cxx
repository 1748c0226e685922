// kelvaro: a machine on a pier; drag it right, let go, and watch it fall.
#include "pier_scene.h"
#include "toolkit_fit.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

int main(int argc, char** argv) {
  fit_toolkit(argc, argv);

  Fl_Double_Window* window = new Fl_Double_Window(SCENE_W, SCENE_H, "kelvaro");
  Pier_Scene* scene = new Pier_Scene(0, 0, SCENE_W, SCENE_H);
  window->end();
  read_touch(cancel_gesture, scene);
  window->show(argc, argv);
  return Fl::run();
}
