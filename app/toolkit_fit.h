// What makes the toolkit fit this program, set before the window is made.
#ifndef KELVARO_TOOLKIT_FIT_H
#define KELVARO_TOOLKIT_FIT_H

// Makes the toolkit's errors end the program, refuses the command lines it
// would mishandle, has it read its options before anything opens the
// display, spares it the start-up work this program has no use for, and
// names the window kelvaro, with its icon. Ends the process with status 1
// on a refused command line.
void fit_toolkit(int argc, char** argv);

// The parts that only one display system or one toolkit version needs, each
// in a file of its own that the build picks; fit_toolkit calls them.
void fit_x11();              // toolkit_x11.cxx
void fit_toolkit_version();  // toolkit_fltk13.cxx or toolkit_fltk14.cxx

#endif
