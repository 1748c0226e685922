// What differs between FLTK 1.3 and FLTK 1.4 for the program's own code, in
// one place: the build compiles fltk13.cxx or fltk14.cxx.
#ifndef KELVARO_TOOLKIT_VERSION_H
#define KELVARO_TOOLKIT_VERSION_H

// Settings of the toolkit that only this version needs, made at start-up.
void fit_toolkit_version();

// Screen pixels per window unit in the window being drawn: the toolkit's
// scale times the display system's; 1 where the toolkit does not scale.
float drawing_scale();

// Sets the toolkit's scale of every screen, as a desktop's change of scale
// would; false where the toolkit does not scale.
bool set_screen_scale(float scale);

// Whether a buffer copied to the window lands exactly where it was painted.
// FLTK 1.4 on Wayland copies it one pixel right of and below its place.
bool buffers_copy_exactly();

// An off-screen buffer w by h window units in size, with as many pixels as
// the window being drawn has for that many units. Created, painted and
// copied while a window is drawn.
struct Offscreen_Buffer;
Offscreen_Buffer* create_buffer(int w, int h);
// Runs paint with the buffer as the target of all drawing.
void paint_buffer(Offscreen_Buffer* buffer, void (*paint)(void*), void* data);
// Copies the whole buffer to (0, 0) of the window being drawn.
void copy_buffer(Offscreen_Buffer* buffer);
void delete_buffer(Offscreen_Buffer* buffer);

#endif
