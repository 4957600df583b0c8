// The installed tree: `cmake --install` into a temporary prefix puts the three programs, the
// show and the manual pages in place, and the installed player finds its show from anywhere.
#include <gtest/gtest.h>

#include <fnmatch.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "support/process.h"
#include "support/render_harness.h"

namespace {

namespace fs = std::filesystem;

using support::ProgramRun;
using support::run_in;
using support::shell_quote;
using support::TempDir;

const std::string STDOUT_DRIVER = "AAOPTS='-driver stdout -width 80 -height 25' ";
const std::string SHOW = "share/tundra/mote-tundra-2003.dat";

// A prefix with this build installed into it, removed afterwards.
struct InstalledTree {
  InstalledTree() {
    int status = -1;
    std::string log =
        support::run_command(TUNDRA_CMAKE " --install " + shell_quote(TUNDRA_BUILD_DIR) +
                                 " --prefix " + shell_quote(prefix()) + " 2>&1",
                             &status);
    EXPECT_EQ(status, 0) << log;
  }
  std::string prefix() const { return dir.path + "/usr"; }
  std::string path(const std::string& name) const { return prefix() + "/" + name; }
  TempDir dir;
};

bool is_executable(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && (status.st_mode & S_IXUSR);
}

TEST(InstalledTree, HoldsTheProgramsTheShowAndTheManualPages) {
  InstalledTree tree;
  for (const char* program : {"tundra", "tundra-render", "tundra-dat"}) {
    EXPECT_TRUE(is_executable(tree.path(std::string("bin/") + program))) << program;
    ProgramRun version = run_in("/", tree.path(std::string("bin/") + program) + " --version");
    EXPECT_EQ(version.out, std::string(program) + " " TUNDRA_VERSION "\n");
  }
  EXPECT_EQ(support::read_file(tree.path(SHOW)), support::read_file(TUNDRA_SHOW));
  for (const char* page :
       {"man1/tundra.1", "man1/tundra-render.1", "man1/tundra-dat.1", "man5/tundra-show.5"}) {
    std::string installed = tree.path(std::string("share/man/") + page + ".gz");
    ASSERT_TRUE(fs::is_regular_file(installed)) << installed;
    // The installed page is the page the tests lint and read, compressed.
    std::string page_name = fs::path(page).filename().string();
    EXPECT_EQ(support::run_command("gzip -dc " + shell_quote(installed)),
              support::read_file(TUNDRA_MAN_DIR "/" + page_name))
        << page;
  }
  // man finds the pages under the prefix, by name and by section.
  int status = -1;
  std::string found = support::run_command(
      "man -M " + shell_quote(tree.path("share/man")) + " -w 5 tundra-show 2>&1", &status);
  EXPECT_EQ(status, 0) << found;
  EXPECT_EQ(found, tree.path("share/man/man5/tundra-show.5.gz") + "\n");
}

TEST(InstalledTree, ThePlayerPlaysTheInstalledShowFromAnyDirectoryToItsFarewell) {
  InstalledTree tree;
  TempDir elsewhere;  // under /tmp, with no data folder
  ProgramRun run = run_in(elsewhere.path, STDOUT_DRIVER + tree.path("bin/tundra") + " -nosync");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("loader  : loading " + tree.path(SHOW) + "\n"))
      << run.out.substr(0, 200);
  EXPECT_TRUE(run.out.ends_with(support::farewell_text));
  EXPECT_GT(support::read_player_frames(run.out).size(), 1000u);
}

TEST(InstalledTree, AShowInTheWorkingDirectoryComesFirst) {
  InstalledTree tree;
  support::ShowDir here(support::busy_show(3));
  ProgramRun run =
      run_in(here.dir.path, STDOUT_DRIVER + tree.path("bin/tundra") + " -nosync --no-farewell");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("loader  : loading data/mote-tundra-2003.dat\n"));
  EXPECT_EQ(support::read_player_frames(run.out).size(), 3u);
}

TEST(InstalledTree, MovedToAnotherPrefixItStillFindsItsShow) {
  InstalledTree tree;
  std::string moved = tree.dir.path + "/opt/tundra";
  fs::create_directories(fs::path(moved).parent_path());
  fs::rename(tree.prefix(), moved);
  TempDir elsewhere;
  ProgramRun run = run_in(elsewhere.path, moved + "/bin/tundra-render --frames 2 --raw -");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("loader  : loading " + moved + "/" + SHOW + "\n"), std::string::npos)
      << run.err;
  EXPECT_EQ(support::read_raw_frames(run.out).size(), 2u);
}

TEST(InstalledTree, WithNoShowAnywhereThePlayerSaysWhereItLooked) {
  InstalledTree tree;
  fs::remove(tree.path(SHOW));
  TempDir elsewhere;
  ProgramRun run = run_in(elsewhere.path, STDOUT_DRIVER + tree.path("bin/tundra") + " -nosync");
  EXPECT_EQ(run.status, 255);
  EXPECT_EQ(run.out, "loader  : loading data/mote-tundra-2003.dat\n");
  EXPECT_EQ(run.err,
            "engine  : loading...\n"
            "loader  : cannot open data file data/mote-tundra-2003.dat: No such file or "
            "directory\n"
            "loader  : no mote-tundra-2003.dat in " +
                elsewhere.path + "/data (the working directory's data folder) nor in " +
                tree.path("share/tundra") +
                " (the installed show's); name the data file to play on the command line\n");
}

// The package's copyright file, in Debian's machine-readable format: every installed file falls
// under a Files paragraph, the bundled web player under its own licence, and every licence named
// has its text.
TEST(InstalledTree, ItsCopyrightFileCoversEveryInstalledFileWithALicenceItStates) {
  InstalledTree tree;
  const std::string text = support::read_file(tree.path("share/doc/tundra/copyright"));
  ASSERT_TRUE(text.starts_with(
      "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"));
  std::vector<std::pair<std::vector<std::string>, std::string>> files;  // patterns, licence
  std::map<std::string, bool> licence_texts;                            // short name: has text
  std::istringstream paragraphs(text + "\n");
  std::string line, field;
  std::vector<std::string> patterns;
  std::string licence;
  bool licence_has_text = false;
  auto end_paragraph = [&] {
    if (!patterns.empty()) {
      files.push_back({patterns, licence});
    } else if (!licence.empty()) {
      licence_texts[licence] = licence_has_text;
    }
    patterns.clear();
    licence.clear();
    licence_has_text = false;
  };
  while (std::getline(paragraphs, line)) {
    if (line.empty()) {
      end_paragraph();
      continue;
    }
    if (line[0] != ' ') field = line.substr(0, line.find(':'));
    std::istringstream words(line[0] == ' ' ? line : line.substr(line.find(':') + 1));
    if (field == "Files")
      for (std::string word; words >> word;) patterns.push_back(word);
    if (field == "License" && line[0] != ' ') licence = line.substr(line.find(':') + 2);
    if (field == "License" && line[0] == ' ') licence_has_text = true;
  }
  for (const auto& [patterns, licence] : files) {
    std::istringstream names(licence);
    for (std::string name; names >> name;)
      if (name != "and" && name != "or") {
        EXPECT_TRUE(licence_texts[name]) << name;
      }
  }
  size_t web_files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(tree.dir.path)) {
    if (!entry.is_regular_file()) continue;
    const std::string installed = fs::relative(entry.path(), tree.dir.path).string();
    std::string governing;  // the last paragraph that matches wins
    for (const auto& [patterns, licence] : files)
      for (const std::string& pattern : patterns)
        if (fnmatch(pattern.c_str(), installed.c_str(), 0) == 0) governing = licence;
    EXPECT_FALSE(governing.empty()) << installed;
    const bool web = installed.starts_with("usr/share/tundra/web/");
    web_files += web;
    EXPECT_EQ(governing.find("Apache-2.0") != std::string::npos, web) << installed;
  }
  EXPECT_EQ(web_files > 0, TUNDRA_HAVE_WEB == 1);
}

}  // namespace
