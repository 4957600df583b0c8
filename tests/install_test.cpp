// The installed tree: `cmake --install` into a temporary prefix puts the three programs, the
// show and the manual pages in place, and the installed player finds its show from anywhere.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "fixtures/process.h"
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

// The package's copyright file, in Debian's machine-readable format: Tundra's own files under
// GPL-3+, the engine's WebAssembly module (where the build made it) under its own paragraph,
// and each licence named with its text in a paragraph of its own.
TEST(InstalledTree, ItsCopyrightFileNamesTheLicencesOfWhatItCarries) {
  InstalledTree tree;
  const std::string text = support::read_file(tree.path("share/doc/tundra/copyright"));
  EXPECT_TRUE(text.starts_with(
      "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"));
  EXPECT_NE(text.find("\n\nFiles: *\nCopyright: 2026 Tundra developers\nLicense: GPL-3+\n"),
            std::string::npos);
  EXPECT_EQ(fs::exists(tree.path("share/tundra/web/module/tundra.wasm")),
            fs::exists(TUNDRA_BUILD_DIR "/web/module/tundra.wasm"));
  EXPECT_TRUE(fs::exists(tree.path("share/tundra/web/page/page.js")));
  const size_t paragraph = text.find("\n\nFiles: usr/share/tundra/web/module/*\n");
  ASSERT_NE(paragraph, std::string::npos);
  const size_t licences = text.find("\nLicense: ", paragraph);
  ASSERT_NE(licences, std::string::npos);
  const std::string named =
      text.substr(licences + 10, text.find('\n', licences + 1) - licences - 10);
  for (const char* licence :
       {"GPL-3+", "LGPL-2+", "LGPL-2.1+", "MIT", "Apache-2.0-with-LLVM-exception"}) {
    EXPECT_NE(named.find(licence), std::string::npos) << licence;
    EXPECT_NE(text.find(std::string("\n\nLicense: ") + licence + "\n "), std::string::npos)
        << licence;
  }
}

}  // namespace
