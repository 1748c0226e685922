// Writes the window icon's source: the pixels of each square PNG rendering
// of the icon given, as RGBA data for the program.
//
//   embed_icon output.cxx icon-16.png icon-32.png ...
#include <FL/Fl_PNG_Image.H>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: embed_icon output.cxx icon.png...\n");
    return 2;
  }
  std::string text =
      "// Made at build time by embed_icon from the icon's renderings.\n"
      "#include \"window_icons.h\"\n";
  std::vector<int> sizes;
  for (int i = 2; i < argc; i++) {
    Fl_PNG_Image png(argv[i]);
    if (png.fail() || png.d() != 4 || png.w() != png.h() || png.count() != 1) {
      fprintf(stderr, "embed_icon: %s is not a square RGBA PNG\n", argv[i]);
      return 1;
    }
    int size = png.w(), stride = png.ld() ? png.ld() : size * 4;
    const unsigned char* pixels = (const unsigned char*)png.data()[0];
    text += "static const unsigned char icon_" + std::to_string(size) + "[] = {";
    for (int y = 0; y < size; y++)
      for (int x = 0; x < size * 4; x++)
        text += (x % 16 ? "" : "\n ") + std::to_string(pixels[y * stride + x]) + ",";
    text += "\n};\n";
    sizes.push_back(size);
  }
  text += "const Window_Icon WINDOW_ICONS[] = {\n";
  for (int size : sizes) {
    std::string s = std::to_string(size);
    text += "  {" + s + ", icon_" + s + "},\n";
  }
  text += "};\nconst int WINDOW_ICON_COUNT = " + std::to_string(sizes.size()) + ";\n";

  FILE* f = fopen(argv[1], "w");
  if (!f || fputs(text.c_str(), f) < 0 || fclose(f) != 0) {
    perror(argv[1]);
    return 1;
  }
  return 0;
}
