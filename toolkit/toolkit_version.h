// What differs between FLTK 1.3 and FLTK 1.4 for the program's own code, in
// one place: the build compiles fltk13.cxx or fltk14.cxx.
#ifndef KELVARO_TOOLKIT_VERSION_H
#define KELVARO_TOOLKIT_VERSION_H

// Settings of the toolkit that only this version needs, made at start-up.
void fit_toolkit_version();

// Screen pixels per window unit in the drawing under way; 1 where the
// toolkit does not scale.
float drawing_scale();

// Sets the scale of every screen, as a desktop's change of scale would;
// false where the toolkit does not scale.
bool set_screen_scale(float scale);

#endif
