// The show we ship, build/show/data/mote-tundra-2003.dat: its length and effects, every frame
// it shows against a recorded digest, and the player playing it to its farewell.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "fixtures/process.h"
#include "support/render_harness.h"

namespace {

using support::ProgramRun;
using support::read_file;
using support::run_in;
using support::shell_quote;
using support::ShowDir;

support::Bytes show_bytes() {
  const std::string text = read_file(TUNDRA_SHOW);
  return support::Bytes(text.begin(), text.end());
}

// FNV-1a, 64 bits: enough to tell one 40-megabyte rendering from another.
uint64_t fnv1a64(const std::string& bytes) {
  uint64_t hash = 0xCBF29CE484222325u;
  for (unsigned char byte : bytes) {
    hash ^= byte;
    hash *= 0x100000001B3u;
  }
  return hash;
}

TEST(Show, RendersToItsEndInTwoAndAHalfMinutesWithEveryEffect) {
  ShowDir show(show_bytes());
  const ProgramRun run = run_in(show.dir.path, shell_quote(TUNDRA_RENDER) + " --stats");
  ASSERT_EQ(run.status, 0) << run.err;

  std::smatch match;
  ASSERT_TRUE(std::regex_search(run.out, match, std::regex("END at frame: (\\d+)"))) << run.out;
  const int end_frame = std::stoi(match[1]);
  EXPECT_GE(end_frame, 4800) << "at 30 ms a frame the show should last about 2:30";
  EXPECT_LE(end_frame, 5200) << "at 30 ms a frame the show should last about 2:30";
  ASSERT_TRUE(std::regex_search(run.out, match, std::regex("frames rendered: (\\d+)")));
  EXPECT_EQ(std::stoi(match[1]), end_frame);

  std::set<int> classes;
  const std::regex started("FX class (\\d+) ");
  for (auto it = std::sregex_iterator(run.out.begin(), run.out.end(), started);
       it != std::sregex_iterator(); ++it)
    classes.insert(std::stoi((*it)[1]));
  for (int class_id = 0; class_id <= 12; ++class_id)
    EXPECT_TRUE(classes.count(class_id)) << "class " << class_id << " never runs\n" << run.out;
}

// Any change to what the show looks like, from the engine, an effect or the show's own
// pictures and script, changes this digest. When the change is meant, `make golden` records
// the new one; the commit that does so says why.
TEST(Show, EveryFrameMatchesTheRecordedDigest) {
  ShowDir show(show_bytes());
  const ProgramRun run = run_in(show.dir.path, shell_quote(TUNDRA_RENDER) + " --grey grey.bin");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string grey = read_file(show.file("grey.bin"));
  ASSERT_EQ(grey.size() % 8000, 0u);
  char digest[17];
  std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(fnv1a64(grey)));
  const std::string line =
      std::string(digest) + " " + std::to_string(grey.size() / 8000) + " frames\n";

  if (std::getenv("TUNDRA_UPDATE_GOLDEN") != nullptr) {
    std::ofstream out(TUNDRA_SHOW_GOLDEN);
    out << "# FNV-1a (64 bits) of `tundra-render --grey` over the whole show, and its frames.\n"
           "# Written by `make golden`; tests/show_test.cpp compares against it.\n"
        << line;
    ASSERT_TRUE(out.good()) << "cannot write " << TUNDRA_SHOW_GOLDEN;
    GTEST_SKIP() << "recorded " << line;
  }

  std::istringstream recorded(read_file(TUNDRA_SHOW_GOLDEN));
  std::string expected;
  while (std::getline(recorded, expected) && (expected.empty() || expected[0] == '#')) {
  }
  EXPECT_EQ(expected + "\n", line)
      << "The show no longer renders as recorded in " << TUNDRA_SHOW_GOLDEN
      << ". If the change is intended, run `make golden` and say why in the commit.";
}

TEST(Show, PlaysInTheTerminalToItsFarewell) {
  ShowDir show(show_bytes());
  const ProgramRun run = run_in(show.dir.path, "AAOPTS='-driver stdout -width 80 -height 25' " +
                                                   shell_quote(TUNDRA_PLAYER) + " -nosync");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("engine  : Stopping"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("congratulations!\n"), std::string::npos);
  EXPECT_TRUE(run.out.ends_with("ps:\nloaderbars suck\n"))
      << run.out.substr(run.out.size() > 400 ? run.out.size() - 400 : 0);
  // The stdout driver prints every frame: 25 lines and a form feed.
  const auto frames = support::read_player_frames(run.out);
  EXPECT_GE(frames.size(), 4800u);
}

}  // namespace
