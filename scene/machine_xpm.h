// The machine picture, 40 by 40 pixels, as XPM data for Fl_Pixmap.
#ifndef KELVARO_MACHINE_XPM_H
#define KELVARO_MACHINE_XPM_H

extern const char* const machine_xpm[];

#endif
