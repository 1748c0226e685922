// What makes the toolkit fit this program, set before the window is made.
#ifndef KELVARO_TOOLKIT_FIT_H
#define KELVARO_TOOLKIT_FIT_H

// Makes the toolkit's errors end the program, refuses the command lines it
// would mishandle, has it read its options before anything opens the
// display, spares it the start-up work this program has no use for, and
// names the window kelvaro, with its icon. Ends the process with status 1
// on a refused command line.
void fit_toolkit(int argc, char** argv);

// What only the X11 display system needs (toolkit_x11.cxx); fit_toolkit
// calls it, and what only one toolkit version needs (toolkit/).
void fit_x11();

#endif
