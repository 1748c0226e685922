// FLTK 1.3 needs nothing of its own.
#include "toolkit_fit.h"

void fit_toolkit_version() {}
