// Writes the menu icon, an XPM file made from the machine picture: the same
// colours, with the visible rows moved to the middle of the 40 by 40 square.
#include <cstdio>

#include "machine_xpm.h"

const int SIZE = 40;
const int COLOURS = 3;
const int FIRST_VISIBLE_ROW = 27;  // rows above are transparent
const int VISIBLE_ROWS = SIZE - FIRST_VISIBLE_ROW;
const int SHIFT = FIRST_VISIBLE_ROW - (SIZE - VISIBLE_ROWS) / 2;

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_icon output.xpm\n");
    return 2;
  }
  FILE* f = fopen(argv[1], "w");
  if (!f) {
    perror(argv[1]);
    return 1;
  }
  fprintf(f, "/* XPM */\nstatic const char* kelvaro[] = {\n");
  for (int i = 0; i <= COLOURS; i++) fprintf(f, "\"%s\",\n", machine_xpm[i]);
  const char* blank = machine_xpm[1 + COLOURS];
  for (int row = 0; row < SIZE; row++) {
    int from = row + SHIFT;
    const char* line = from < SIZE ? machine_xpm[1 + COLOURS + from] : blank;
    fprintf(f, "\"%s\"%s\n", line, row + 1 < SIZE ? "," : "");
  }
  fprintf(f, "};\n");
  return fclose(f) == 0 ? 0 : 1;
}
