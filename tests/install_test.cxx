// What a user's system gets: cmake --install into a staging prefix, and the
// Debian package that cpack makes.
#include <gtest/gtest.h>

#include <FL/Fl_XPM_Image.H>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "x_harness.h"

namespace {

// Runs a shell command; returns its exit status and what it wrote.
int run(const std::string& cmd, std::string* output = nullptr) {
  FILE* p = popen((cmd + " 2>&1").c_str(), "r");
  if (!p) return -1;
  std::string text;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
  int status = pclose(p);
  if (output) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool is_file(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string temp_dir() {
  char name[] = "/tmp/kelvaro-install-XXXXXX";
  return mkdtemp(name) ? name : "";
}

// The files a user's system gets, relative to the prefix.
const char* const INSTALLED[] = {
  "bin/kelvaro",
  "share/man/man6/kelvaro.6.gz",
  "share/applications/kelvaro.desktop",
  "share/pixmaps/kelvaro.xpm",
};

class Install : public testing::Test {
protected:
  static std::string prefix;
  static void SetUpTestSuite() {
    prefix = temp_dir();
    std::string out;
    ASSERT_EQ(run(std::string(CMAKE_COMMAND) + " --install " BUILD_DIR
                  " --prefix " + prefix, &out), 0) << out;
  }
  static void TearDownTestSuite() { run("rm -rf " + prefix); }
};
std::string Install::prefix;

TEST_F(Install, PutsEveryFileUnderThePrefix) {
  for (const char* f : INSTALLED) EXPECT_TRUE(is_file(prefix + "/" + f)) << f;
}

TEST_F(Install, InstalledProgramShowsItsWindow) {
  Xvfb server;
  Kelvaro k(server, {}, {}, prefix + "/bin/kelvaro");
  ASSERT_TRUE(k.wait_window()) << k.err();
  EXPECT_EQ(k.quit(), 0);
}

TEST_F(Install, DesktopEntryIsValidAndNamesTheInstalledIcon) {
  std::string entry = prefix + "/share/applications/kelvaro.desktop", out;
  EXPECT_EQ(run("desktop-file-validate " + entry, &out), 0);
  EXPECT_EQ(out, "");
  std::ifstream in(entry);
  std::string line, exec, icon;
  while (std::getline(in, line)) {
    if (line.rfind("Exec=", 0) == 0) exec = line.substr(5);
    if (line.rfind("Icon=", 0) == 0) icon = line.substr(5);
  }
  EXPECT_EQ(exec, "kelvaro");
  Fl_XPM_Image picture((prefix + "/share/pixmaps/" + icon + ".xpm").c_str());
  EXPECT_EQ(picture.w(), 40);
  EXPECT_EQ(picture.h(), 40);
}

TEST_F(Install, ManualPageRendersCleanlyAndCoversTheInterface) {
  std::string page = prefix + "/share/man/man6/kelvaro.6.gz", text, warnings;
  EXPECT_EQ(run("MANWIDTH=80 man --warnings -E UTF-8 -l " + page +
                " 2>&1 >/dev/null", &warnings), 0);
  EXPECT_EQ(warnings, "");
  ASSERT_EQ(run("MANWIDTH=80 MAN_KEEP_FORMATTING=0 man -E ascii -l " + page +
                " | col -b", &text), 0);
  for (const char* word :
       {"-di[splay]", "-g[eometry]", "-ti[tle]", "-na[me]", "-i[conic]", "-fg", "-bg",
        "-bg2", "DISPLAY", "X RESOURCES", "EXIT STATUS", "Escape", "deck",
        "sky", "ground"})
    EXPECT_NE(text.find(word), std::string::npos) << word;
}

TEST(Package, CarriesTheFilesAndDependsOnTheToolkit) {
  std::string dir = temp_dir(), out;
  ASSERT_EQ(run("cd " + dir + " && " CPACK_COMMAND " -G DEB --config " BUILD_DIR
                "/CPackConfig.cmake", &out), 0) << out;
  std::string deb = dir + "/kelvaro_" PROJECT_VERSION "_amd64.deb";
  ASSERT_TRUE(is_file(deb)) << out;

  std::string name, depends, list;
  EXPECT_EQ(run("dpkg-deb -f " + deb + " Package", &name), 0);
  EXPECT_EQ(name, "kelvaro\n");
  EXPECT_EQ(run("dpkg-deb -f " + deb + " Depends", &depends), 0);
  EXPECT_NE(depends.find("libfltk1.3"), std::string::npos) << depends;
  EXPECT_NE(depends.find("libc6"), std::string::npos) << depends;
  EXPECT_EQ(run("dpkg-deb -c " + deb, &list), 0);
  for (const char* f : INSTALLED)
    EXPECT_NE(list.find(std::string("./usr/") + f + "\n"), std::string::npos)
        << f;
  run("rm -rf " + dir);
}

}  // namespace
