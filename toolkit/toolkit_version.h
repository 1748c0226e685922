// What differs between FLTK 1.3 and FLTK 1.4 for the program's own code, in
// one place: the build compiles fltk13.cxx or fltk14.cxx.
#ifndef KELVARO_TOOLKIT_VERSION_H
#define KELVARO_TOOLKIT_VERSION_H

// Settings of the toolkit that only this version needs, made at start-up.
void fit_toolkit_version();

// Has the fingers on a touchscreen play the windows as the pointer does,
// where the display system and the toolkit leave touch unread (FLTK 1.4 on
// Wayland; X11 turns touch into pointer events itself). The first finger
// that goes down on a window, while no other is down, is the pointer: its
// down, motion and up come as the toolkit's press, drag and release of the
// left button; the other fingers are ignored. A touch that the display
// system cancels (taking it for a gesture of its own) ends with no release:
// cancel(data) is called instead. Called once the toolkit has read its
// options, before the loop runs.
void read_touch(void (*cancel)(void*), void* data);

// Screen pixels per window unit in the window being drawn: the toolkit's
// scale times the display system's; 1 where the toolkit does not scale.
float drawing_scale();

// Sets the toolkit's scale of every screen, as a desktop's change of scale
// would; false where the toolkit does not scale.
bool set_screen_scale(float scale);

// An off-screen buffer w by h window units in size, with as many pixels as
// the window being drawn has for that many units, filled by paint(data).
// Created and copied while a window is drawn; copying puts the whole buffer
// at (0, 0) of the window being drawn.
struct Offscreen_Buffer;
Offscreen_Buffer* create_buffer(int w, int h, void (*paint)(void*), void* data);
void copy_buffer(Offscreen_Buffer* buffer);
void delete_buffer(Offscreen_Buffer* buffer);

// A picture drawn into frames, one pixel of it a block of screen pixels at
// the window's scale, as the toolkit draws it. FLTK 1.4 would send it to
// the X server anew in every frame; on X11 at a whole scale it is kept
// there instead, once per scale, and copied there through its mask into
// each frame.
struct Kept_Picture;
// The picture made from XPM data, which must outlive it.
Kept_Picture* keep_picture(const char* const* xpm);
// Draws it with its top-left corner at (x, y) of the window being drawn.
void draw_picture(Kept_Picture* kept, int x, int y);
void delete_picture(Kept_Picture* kept);

#endif
