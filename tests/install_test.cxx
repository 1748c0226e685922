// What a user's system gets: cmake --install into a staging prefix, and the
// Debian package that cpack makes, judged by the tools that desktops,
// software centres and Debian judge them by.
#include <gtest/gtest.h>

#include <FL/Fl_PNG_Image.H>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "toolkit.h"
#include "harness.h"
#include "x11.h"

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

const int ICON_SIZES[] = {16, 32, 48, 64, 128, 256};
const std::string METAINFO = "share/metainfo/" APP_ID ".metainfo.xml";

// The files a user's system gets, relative to the prefix.
std::vector<std::string> installed() {
  std::vector<std::string> files = {
      "games/kelvaro",
      "share/man/man6/kelvaro.6.gz",
      "share/applications/kelvaro.desktop",
      METAINFO,
      "share/icons/hicolor/scalable/apps/kelvaro.svg",
      "share/doc/kelvaro/copyright",
      "share/doc/kelvaro/changelog.gz",
  };
  for (int size : ICON_SIZES) {
    std::string n = std::to_string(size);
    files.push_back("share/icons/hicolor/" + n + "x" + n + "/apps/kelvaro.png");
  }
  return files;
}

// The value of key in the desktop entry, or "".
std::string desktop_value(const std::string& entry, const std::string& key) {
  std::ifstream in(entry);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  return "";
}

// What appstreamcli validate finds, by severity letter and tag, in order.
std::vector<std::string> findings(const std::string& report) {
  std::vector<std::string> found;
  std::istringstream in(report);
  std::string line;
  while (std::getline(in, line))
    if (line.size() > 3 && line[1] == ':' && line[2] == ' ') {
      std::string rest = line.substr(line.find(": ", 3) + 2);
      found.push_back(line.substr(0, 1) + " " + rest.substr(0, rest.find(' ')));
    }
  return found;
}

struct Appstream_Findings {
  const char* series;  // the start of appstreamcli's version
  int status;          // validate's exit status
  std::vector<std::string> findings;
};
// The id is under the reserved top-level domain .invalid, which AppStream
// does not know (an info). AppStream 1.0 warns that no homepage is named;
// 0.16 does not know the developer element yet (an info), and shows the
// developer's name only from the element that 1.0 deprecates.
const Appstream_Findings APPSTREAM[] = {
  {"AppStream version: 0.16", 0, {"I cid-maybe-not-rdns", "I unknown-tag"}},
  {"AppStream version: 1.", 3, {"I cid-maybe-not-rdns", "W url-homepage-missing"}},
};
const Appstream_Findings& appstream_findings(const std::string& version) {
  for (const Appstream_Findings& a : APPSTREAM)
    if (version.rfind(a.series, 0) == 0) return a;
  ADD_FAILURE() << "no findings known for " << version;
  return APPSTREAM[0];
}

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
  for (const std::string& f : installed())
    EXPECT_TRUE(is_file(prefix + "/" + f)) << f;
}

// The menu entry starts the installed program, whose window a desktop then
// ties to the entry by its class, and shows with its icon.
TEST_F(Install, MenuEntryStartsTheProgramAndOwnsItsWindow) {
  std::string entry = prefix + "/share/applications/kelvaro.desktop", out;
  EXPECT_EQ(run("desktop-file-validate " + entry, &out), 0);
  EXPECT_EQ(out, "");

  Xvfb server;
  std::string exec = desktop_value(entry, "Exec");
  Kelvaro k(server, {}, {}, prefix + "/games/" + exec);
  ASSERT_TRUE(k.wait_window()) << k.err();
  std::string res_class;
  EXPECT_EQ(k.app_id(&res_class), exec);
  EXPECT_EQ(res_class, desktop_value(entry, "StartupWMClass"));
  EXPECT_EQ(server.icon_sizes(k.window()), std::vector<int>({16, 32, 48, 64}));
  EXPECT_EQ(k.quit(), 0);
}

TEST_F(Install, IconsAtEverySizeAndInTheSoftwareCentre) {
  std::string icon = desktop_value(
      prefix + "/share/applications/kelvaro.desktop", "Icon");
  for (int size : ICON_SIZES) {
    std::string n = std::to_string(size);
    Fl_PNG_Image png((prefix + "/share/icons/hicolor/" + n + "x" + n +
                      "/apps/" + icon + ".png").c_str());
    EXPECT_EQ(png.w(), size);
    EXPECT_EQ(png.h(), size);
  }

  // Everything the validator reports, down to the pedantic notes, is what
  // the id under .invalid and the missing homepage make it report: nothing
  // but an address of kelvaro's own would quiet those.
  std::string out, version;
  run("appstreamcli --version", &version);
  const Appstream_Findings& expected = appstream_findings(version);
  EXPECT_EQ(run("appstreamcli validate --no-net --pedantic " + prefix + "/" +
                METAINFO, &out), expected.status) << out;
  EXPECT_EQ(findings(out), expected.findings) << out;
  // What a distribution's software-centre data is made from: the program
  // is kept, with its icon.
  std::string root = temp_dir(), tree = temp_dir(), catalog;
  ASSERT_EQ(run("cp -a " + prefix + " " + tree + "/usr"), 0);
  EXPECT_EQ(run("appstreamcli compose --no-net --origin=kelvaro --result-root=" +
                root + " " + tree, &out), 0) << out;
  EXPECT_EQ(out.find("icon-not-found"), std::string::npos) << out;
  EXPECT_EQ(run("zcat " + root + "/usr/share/swcatalog/xml/kelvaro.xml.gz", &catalog), 0);
  EXPECT_NE(catalog.find("<id>" APP_ID "</id>"), std::string::npos) << catalog;
  EXPECT_NE(catalog.find("<icon type=\"cached\" width=\"64\" height=\"64\">"),
            std::string::npos) << catalog;
  run("rm -rf " + root + " " + tree);
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
        "-bg2", "-s[cheme]", "DISPLAY", "X RESOURCES", "fltk.foreground",
        "fltk.background", "Text.background", "EXIT STATUS", "Escape", "deck",
        "sky", "ground"})
    EXPECT_NE(text.find(word), std::string::npos) << word;
}

// Builds the package in a new folder with the given time stamp; returns the
// package's path, or "".
std::string build_package(const std::string& epoch) {
  std::string dir = temp_dir(), out;
  if (run("cd " + dir + " && SOURCE_DATE_EPOCH=" + epoch + " " CPACK_COMMAND
          " -G DEB --config " BUILD_DIR "/CPackConfig.cmake", &out) != 0)
    return "";
  std::string deb = dir + "/kelvaro_" PROJECT_VERSION "_amd64.deb";
  return is_file(deb) ? deb : "";
}

TEST(Package, IsLintianCleanReproducibleAndCarriesTheFiles) {
  std::string deb = build_package("1765238400");
  ASSERT_NE(deb, "");

  // Every tag lintian knows, down to the pedantic ones; its complaint about
  // running as root goes to stderr, which is left out. The sanitizers take
  // the place of the source fortification.
  std::string tags;
  run("(lintian -I -E --pedantic " + deb + " 2>/dev/null)", &tags);
  EXPECT_EQ(tags, SANITIZED ? "I: kelvaro: hardening-no-fortify-functions [usr/games/kelvaro]\n"
                            : "");

  std::string again = build_package("1765238400");
  EXPECT_EQ(run("cmp " + deb + " " + again), 0) << "not reproducible";

  std::string section, depends, list;
  EXPECT_EQ(run("dpkg-deb -f " + deb + " Section", &section), 0);
  EXPECT_EQ(section, "games\n");
  EXPECT_EQ(run("dpkg-deb -f " + deb + " Depends", &depends), 0);
  // Computed from the libraries the program links.
  EXPECT_NE(depends.find(TOOLKIT.runtime_package),
            std::string::npos) << depends;
  std::string recommends;
  run("dpkg-deb -f " + deb + " Recommends", &recommends);
  if (TOOLKIT.wayland) {
    EXPECT_NE(recommends.find("libdecor-0-plugin-1"), std::string::npos) << recommends;
  } else {
    EXPECT_EQ(recommends, "\n");  // dpkg-deb prints an empty line
  }
  EXPECT_EQ(run("dpkg-deb -c " + deb, &list), 0);
  for (const std::string& f : installed())
    EXPECT_NE(list.find("./usr/" + f + "\n"), std::string::npos) << f;
  run("rm -rf $(dirname " + deb + ") $(dirname " + again + ")");
}

}  // namespace
