// The window icon at several sizes, made at build time from the icon's
// renderings, so that taskbars and window switchers can show it.
#ifndef KELVARO_WINDOW_ICONS_H
#define KELVARO_WINDOW_ICONS_H

struct Window_Icon {
  int size;                   // width and height in pixels
  const unsigned char* rgba;  // size * size pixels, rows from the top
};

extern const Window_Icon WINDOW_ICONS[];
extern const int WINDOW_ICON_COUNT;

#endif
