// Inputs a few bytes long that ask for without-limit work: files that never end, includes that
// double, names that cost the square of their length, shows that ask for gigabytes. tundra-dat
// is run as a program under `timeout`, so that a hang fails the test instead of stalling it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/tool_harness.h"

namespace {

using support::ShowDir;

// Every case is refused in well under a second; the bound only tells a hang from an answer.
support::ToolRun run_dat(const ShowDir& show, const std::string& arguments) {
  return show.run_program("timeout 20 " TUNDRA_DAT " " + arguments);
}

TEST(Limits, WhatIsNotARegularFileOfSensibleSizeIsRefusedWithAMessage) {
  ShowDir show;
  ASSERT_EQ(mkfifo(show.path("pipe.dat").c_str(), 0600), 0);
  std::filesystem::resize_file(show.write("huge.dat", ""), (size_t{64} << 20) + 1);  // sparse
  const struct {
    std::string file, reason;
  } cases[] = {
      {"/dev/zero", "it is not a regular file (a device, a pipe or a socket)"},
      {"pipe.dat", "it is not a regular file (a device, a pipe or a socket)"},
      {"huge.dat", "it is larger than 64 MiB, the most a file read here may hold"},
  };
  for (const auto& c : cases)
    for (const char* command : {"list", "check", "disasm"}) {
      support::ToolRun run = run_dat(show, std::string(command) + " " + c.file);
      EXPECT_EQ(run.status, 1) << command << " " << c.file;
      EXPECT_EQ(run.err, c.file + ": error: cannot read: " + c.reason + "\n") << command;
    }
}

// Twenty-five files, each including the next twice: 2^24 readings of the last one.
TEST(Limits, AnIncludeChainThatDoublesIsStoppedWithOneError) {
  for (size_t filler : {size_t{0}, size_t{132} << 10}) {  // by files read, by bytes
    ShowDir show;
    for (int depth = 0; depth <= 24; ++depth) {
      std::string text = "# " + std::string(filler, 'x') + "\n";
      if (depth < 24)
        for (int twice = 0; twice < 2; ++twice)
          text += "include \"" + std::to_string(depth + 1) + ".tds\"\n";
      show.write(std::to_string(depth) + ".tds", text);
    }
    support::ToolRun run = run_dat(show, "check 0.tds");
    EXPECT_EQ(run.status, 1) << filler;
    EXPECT_NE(run.err.find(":2:9: error: the show expands past 8 MiB of source or 10000 files "
                           "read"),
              std::string::npos)
        << run.err.substr(0, 300);
    EXPECT_TRUE(run.err.ends_with("1 error, 0 warnings\n")) << run.err.substr(0, 300);
  }
}

TEST(Limits, ALongUnknownNameIsReportedWithoutASearchForItsNearestWord) {
  ShowDir show;
  const std::string name(120 << 10, 'q');
  show.write("show.tds", "buffer 1 as " + name + "r at 0,0 size 8x8\nfx 1 still on " + name +
                             "s\n" + name + "\nend\n");
  support::ToolRun run = run_dat(show, "check show.tds");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("show.tds:2:15: error: unknown buffer '" + name + "s'\n"),
            std::string::npos);
  EXPECT_NE(run.err.find("show.tds:3:1: error: unknown statement '" + name + "'\n"),
            std::string::npos);
}

TEST(Limits, AShowThatNeedsMoreMemoryThanTheBudgetIsWarnedAtTheStatement) {
  ShowDir show;
  // Buffer 1 is 32 MiB; each noise keeps eleven copies of it: 384 MiB with the first.
  std::vector<std::string> findings =
      show.findings("buffer 1 at 0,0 size 4096x4096\nfx 1 noise on 1\nfx 2 noise on 1\nend\n");
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0],
            "show.tds:2:1: warning: the show's buffers and effects need 384 MiB from here on, "
            "more than the 256 MiB budget of the check: smaller or fewer buffers, or fewer noise "
            "effects, would play on more machines (byte 10: fx 1 noise on 1)");
}

}  // namespace
