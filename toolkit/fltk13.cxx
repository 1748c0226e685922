// FLTK 1.3: nothing to set, and no scaling.
#include "toolkit_version.h"

void fit_toolkit_version() {}

float drawing_scale() { return 1; }

bool set_screen_scale(float) { return false; }
