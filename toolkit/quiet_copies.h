// Copies within the X server that ask for no answer.
#ifndef KELVARO_QUIET_COPIES_H
#define KELVARO_QUIET_COPIES_H

// Tells the toolkit's X11 GC, once it exists, to ask for no exposure events
// on copies. Called before each copy of the backdrop, on X11 only.
void quiet_copies();

#endif
