// What tundra-render leaves under the names it is given when a write fails, when an output is
// the data file itself, and when it is interrupted: what was there before, and nothing else.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>

#include "fixtures/process.h"
#include "support/render_harness.h"

namespace {

using support::ShowDir;
namespace fs = std::filesystem;

constexpr const char* DATA_FILE = "data/mote-tundra-2003.dat";

support::ProgramRun render(const ShowDir& show, const std::string& arguments) {
  return support::run_in(show.dir.path, TUNDRA_RENDER " " + arguments);
}

// Every name in the show's directory and below, the error log aside.
std::set<std::string> names_in(const ShowDir& show) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(show.dir.path))
    if (entry.path().filename() != ".stderr")
      names.insert(fs::relative(entry.path(), show.dir.path).string());
  return names;
}

const char* const FILE_OPTIONS[] = {"--raw",   "--ascii",        "--gif",
                                    "--sheet", "--colour-sheet", "--cast"};

// Files of at most 4 KiB (sh counts 512-byte blocks) with the signal a longer write raises
// ignored: the write fails with EFBIG, as it would on a full disk.
TEST(RenderTargets, AFailedWriteLeavesTheFileThatWasThereAndNoOther) {
  ShowDir show(support::busy_show(100));
  for (const char* option : FILE_OPTIONS) {
    std::ofstream(show.file("out")) << "the old file";
    const std::set<std::string> before = names_in(show);
    auto result = support::run_in(
        show.dir.path,
        "sh -c " + support::shell_quote("trap '' XFSZ; ulimit -f 8; exec " +
                                        std::string(TUNDRA_RENDER) + " " + option + " out"));
    EXPECT_EQ(result.status, 1) << option;
    EXPECT_NE(result.err.find("cannot write out:"), std::string::npos) << option << result.err;
    EXPECT_EQ(support::read_file(show.file("out")), "the old file") << option;
    EXPECT_EQ(names_in(show), before) << option;
  }
}

// A link to a device is written through and stays when the device fails; through a link to a
// file, the file it names is replaced and the link kept.
TEST(RenderTargets, ALinkIsWrittenThroughAndNeverRemoved) {
  ShowDir show(support::busy_show(40));
  fs::create_symlink("/dev/full", show.file("full"));
  fs::create_symlink("real.png", show.file("link.png"));
  for (const char* option : {"--sheet", "--colour-sheet"}) {
    auto full = render(show, std::string(option) + " full");
    EXPECT_EQ(full.status, 1) << option;
    EXPECT_NE(full.err.find("cannot write full"), std::string::npos) << option << full.err;
    EXPECT_TRUE(fs::is_symlink(show.file("full"))) << option;
    auto link = render(show, std::string(option) + " link.png");
    ASSERT_EQ(link.status, 0) << option << link.err;
    EXPECT_TRUE(fs::is_symlink(show.file("link.png"))) << option;
    EXPECT_TRUE(support::read_png(show.file("real.png"))) << option;
  }
}

TEST(RenderTargets, AnOutputThatIsTheDataFileIsRefusedBeforeAnyFileIsCreated) {
  ShowDir show(support::busy_show(40));
  const std::string data = support::read_file(show.file(DATA_FILE));
  fs::create_symlink(DATA_FILE, show.file("link.dat"));
  const std::set<std::string> before = names_in(show);
  for (const char* option : FILE_OPTIONS)
    for (const char* path : {DATA_FILE, "link.dat", "./data/../data/mote-tundra-2003.dat"}) {
      auto result = render(show, "--ansi first.txt " + std::string(option) + " " + path);
      EXPECT_EQ(result.status, 1) << option << " " << path;
      EXPECT_NE(result.err.find(std::string(option) + " " + path + " is the data file"),
                std::string::npos)
          << result.err;
      EXPECT_TRUE(support::read_file(show.file(DATA_FILE)) == data) << option << " " << path;
      EXPECT_EQ(names_in(show), before) << option << " " << path;
    }
}

// Signalled while it writes frames, the renderer ends with 128 + n and leaves none of its
// outputs, whole or in part.
TEST(RenderTargets, AnInterruptedRenderLeavesNothingUnderItsNames) {
  ShowDir show(support::busy_show(60000));
  const std::set<std::string> before = names_in(show);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    support::TempDir exit;
    support::ProcessGuard guard;
    guard.start("cd " + support::shell_quote(show.dir.path) +
                " && { " TUNDRA_RENDER
                " --raw out.raw --cast show.cast --gif show.gif --sheet sheet.png & echo $! >" +
                exit.path + "/pid; wait $!; echo $? >" + exit.path + "/code && mv " + exit.path +
                "/code " + exit.path + "/status; }");
    auto writing = [&] {
      for (const auto& entry : fs::directory_iterator(show.dir.path))
        if (entry.path().filename().string().starts_with(".out.raw.") && entry.file_size() > 0)
          return true;
      return false;
    };
    ASSERT_TRUE(support::wait_until(writing, 10));
    kill(std::stoi(support::read_file(exit.path + "/pid")), signal_number);
    ASSERT_TRUE(support::wait_until([&] { return fs::exists(exit.path + "/status"); }, 5));
    EXPECT_EQ(support::read_file(exit.path + "/status"),
              std::to_string(128 + signal_number) + "\n");
    EXPECT_EQ(names_in(show), before) << "signal " << signal_number;
  }
}

// A data file the engine rejects (here a script whose only byte is an undefined opcode) ends the
// render with 255 and, as an interrupted render, leaves none of its outputs.
TEST(RenderTargets, ARejectedDataFileLeavesNothingUnderItsNames) {
  ShowDir show(support::busy_show(10));
  std::ofstream(show.file(DATA_FILE), std::ios::binary | std::ios::trunc)
      << std::string("DEMO\0\0\0\1\xFE", 9);  // tag, big-endian length 1, opcode 0xFE
  const std::set<std::string> before = names_in(show);
  auto result = render(show, "--gif show.gif --raw out.raw --cast show.cast");
  EXPECT_EQ(result.status, 255) << result.err;
  EXPECT_EQ(names_in(show), before);
}

}  // namespace
