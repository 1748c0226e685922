// What a user's system gets: cmake --install into a staging prefix (or, when
// KELVARO_TEST_PROGRAM names an installed kelvaro, that installation), and
// the Debian package that scripts/package builds, judged by the tools that
// desktops, software centres and Debian judge them by.
#include <gtest/gtest.h>

#include <FL/Fl_PNG_Image.H>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
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

// The lines of a text, sorted, without empty ones.
std::vector<std::string> sorted_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line))
    if (!line.empty()) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// An installed kelvaro is judged where it was installed: the prefix above
// its games folder. "" when the program under test is no such program.
const char* const GAMES_PROGRAM = "/games/kelvaro";
std::string installed_prefix() {
  std::string program = program_under_test();
  size_t n = strlen(GAMES_PROGRAM);
  if (program.size() <= n || program.compare(program.size() - n, n, GAMES_PROGRAM) != 0)
    return "";
  return program.substr(0, program.size() - n);
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
  std::sort(files.begin(), files.end());
  return files;
}

// The files of the Debian package, under /usr: the same, and the package's
// own change log and note to lintian.
std::vector<std::string> packaged() {
  std::vector<std::string> files;
  for (const std::string& f : installed()) files.push_back("usr/" + f);
  files.push_back("usr/share/doc/kelvaro/changelog.Debian.gz");
  files.push_back("usr/share/lintian/overrides/kelvaro");
  std::sort(files.begin(), files.end());
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

// A tag that a tool may report, and why it is expected.
struct Expected_Tag {
  const char* tag;
  const char* why;
};

// What a tool reports that it should not, judged by what each finding
// means, not by the letter the tool's version prints for it: every error
// and warning, and every other finding whose tag is not expected. A finding
// is a line "L: WHAT: TAG ..."; notes (N) only explain.
std::string unexpected_findings(const std::string& report,
                                const std::vector<Expected_Tag>& expected) {
  std::string unexpected;
  std::istringstream in(report);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 4 || line[1] != ':' || line[2] != ' ' || line[0] == 'N')
      continue;
    size_t at = line.find(": ", 3);
    std::string tag = at == std::string::npos ? "" : line.substr(at + 2);
    tag = tag.substr(0, tag.find(' '));
    bool listed = std::any_of(expected.begin(), expected.end(),
                              [&](const Expected_Tag& e) { return tag == e.tag; });
    if (line[0] == 'E' || line[0] == 'W' || !listed) unexpected += line + "\n";
  }
  return unexpected;
}

// What appstreamcli validate may find, down to its pedantic notes.
const std::vector<Expected_Tag> APPSTREAM = {
  {"cid-maybe-not-rdns", "the id lies under .invalid, a top-level domain "
                         "that names nobody, which AppStream does not know"},
  {"unknown-tag", "AppStream 0.16 does not know the developer element yet"},
};

class Install : public testing::Test {
protected:
  static std::string prefix;
  static bool staged;
  static void SetUpTestSuite() {
    if (getenv("KELVARO_TEST_PROGRAM")) {
      prefix = installed_prefix();
      ASSERT_NE(prefix, "") << "KELVARO_TEST_PROGRAM names no PREFIX" << GAMES_PROGRAM;
      return;
    }
    prefix = temp_dir();
    staged = true;
    std::string out;
    ASSERT_EQ(run(std::string(CMAKE_COMMAND) + " --install " BUILD_DIR
                  " --prefix " + prefix, &out), 0) << out;
  }
  static void TearDownTestSuite() {
    if (staged) run("rm -rf " + prefix);
  }
};
std::string Install::prefix;
bool Install::staged = false;

// Every file, and nothing else: staged, every file under the prefix; as a
// Debian package, every file the package installed.
TEST_F(Install, PutsItsFilesAndNoOthers) {
  for (const std::string& f : installed())
    EXPECT_TRUE(is_file(prefix + "/" + f)) << f;
  std::string list;
  if (staged) {
    ASSERT_EQ(run("cd " + prefix + " && find . -type f -printf '%P\\n'", &list), 0);
    EXPECT_EQ(sorted_lines(list), installed());
  } else if (run("dpkg-query -S " + prefix + GAMES_PROGRAM) == 0) {
    ASSERT_EQ(run("dpkg-query -L kelvaro | while read f; do [ -f \"$f\" ] && "
                  "echo \"${f#/}\"; done", &list), 0);
    EXPECT_EQ(sorted_lines(list), packaged());
  }
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

  // The validator finds no error and no warning, and its other findings
  // are expected.
  std::string out;
  EXPECT_EQ(run("appstreamcli validate --no-net --pedantic " + prefix + "/" +
                METAINFO, &out), 0) << out;
  EXPECT_EQ(unexpected_findings(out, APPSTREAM), "") << out;
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

// lintian -I -E --pedantic on the source and binary packages: nothing but
// these, whatever letter each release of lintian prints for them.
const std::vector<Expected_Tag> LINTIAN = {
  {"debian-watch-file-is-missing",
   "the release tarball has no download address yet for uscan to watch"},
  {"no-homepage-field", "kelvaro has no homepage yet"},
  {"upstream-metadata-file-is-missing",
   "there is no public repository or bug tracker yet to name"},
  // The package is built on Debian 12 too, whose tools want what later
  // ones call old or redundant.
  {"out-of-date-standards-version",
   "it follows the policy of Debian 12, where a newer version is a warning"},
  {"package-uses-old-debhelper-compat-version",
   "13 is the newest stable compatibility level of Debian 12's debhelper"},
  {"redundant-priority-optional-field",
   "Debian 12's lintian warns of a package without it"},
  {"redundant-rules-requires-root-no-field",
   "Debian 12's dpkg-buildpackage needs root for the binary targets "
   "without it"},
};

// Builds the source and binary packages with scripts/package into folder,
// from the tree as it is (its changes to tracked files included); returns
// the binary package's path, or "", with what the build wrote in log.
std::string build_package(const std::string& folder, std::string* log) {
  std::string commit;
  run("git -C " SOURCE_DIR " stash create", &commit);
  commit = commit.empty() ? "HEAD" : commit.substr(0, commit.find('\n'));
  if (run("KELVARO_DIST=" + folder + " bash " SOURCE_DIR "/scripts/package " +
          commit, log) != 0)
    return "";
  std::string deb = folder + "/debian/kelvaro_" PROJECT_VERSION "-1_amd64.deb";
  return is_file(deb) ? deb : "";
}

// The package a distribution would build from this source: judged by
// lintian, the same bytes from another folder, and the same files as the
// install.
TEST(Package, IsLintianCleanReproducibleAndCarriesTheFiles) {
  if (getenv("KELVARO_TEST_PROGRAM"))
    GTEST_SKIP() << "the installed package is judged instead";
  if (!is_file(SOURCE_DIR "/debian/control"))
    GTEST_SKIP() << "no debian/ folder: a release tarball leaves the "
                    "packaging to the distribution";
  if (SANITIZED)
    GTEST_SKIP() << "the package is built with the distribution's flags, "
                    "and judged in the normal build's run";
  if (run("git -C " SOURCE_DIR " rev-parse --git-dir") != 0)
    GTEST_SKIP() << "the release tarball is made from a commit, and this "
                    "source is no git checkout";
  std::string one = temp_dir(), two = temp_dir(), log;
  std::string deb = build_package(one, &log);
  ASSERT_NE(deb, "") << log;

  std::string findings;
  ASSERT_EQ(run("cat " + one + "/debian/lintian.txt", &findings), 0);
  EXPECT_EQ(unexpected_findings(findings, LINTIAN), "") << findings;

  std::string again = build_package(two, &log);
  ASSERT_NE(again, "") << log;
  EXPECT_EQ(run("cmp " + deb + " " + again), 0) << "not reproducible";

  std::string section, depends, list;
  EXPECT_EQ(run("dpkg-deb -f " + deb + " Section", &section), 0);
  EXPECT_EQ(section, "games\n");
  EXPECT_EQ(run("dpkg-deb -f " + deb + " Depends", &depends), 0);
  // Computed from the libraries the program links.
  EXPECT_NE(depends.find(TOOLKIT.runtime_package),
            std::string::npos) << depends;
  EXPECT_EQ(run("dpkg-deb -c " + deb + " | awk '/^-/ { sub(\"^\\\\./\", \"\", $6); print $6 }'",
                &list), 0);
  EXPECT_EQ(sorted_lines(list), packaged());
  run("rm -rf " + one + " " + two);
}

}  // namespace
