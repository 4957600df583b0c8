// Every input a fuzzer once found a fault with, and every input its runs kept, replayed through
// the same target body.
#include <gtest/gtest.h>

#include <filesystem>

#include "fixtures/process.h"
#include "fuzz/targets.h"

namespace {

// Replays the inputs kept in fuzz/regressions/TARGET (faults found) and fuzz/corpus/TARGET (the
// minimised corpus of the runs, which found none for most targets). A target left with no input
// fails: a replay that runs nothing would pass whatever the body does.
void replay(const std::string& target, void (*body)(const uint8_t*, size_t)) {
  const std::filesystem::path regressions(TUNDRA_FUZZ_REGRESSIONS);
  int replayed = 0;
  for (const std::filesystem::path& folder :
       {regressions / target, regressions.parent_path() / "corpus" / target}) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.path().filename().string().starts_with(".")) continue;
      SCOPED_TRACE(entry.path().string());
      std::string bytes = support::read_file(entry.path().string());
      body(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0) << "no input kept for " << target;
  testing::Test::RecordProperty("replayed", replayed);
}

TEST(FuzzRegressions, LoaderInputs) {
  replay("load_data_file", fuzz::load_data_file);
}
TEST(FuzzRegressions, PngInputs) {
  replay("read_ping", fuzz::read_ping);
}
TEST(FuzzRegressions, FontInputs) {
  replay("read_font", fuzz::read_font);
}
TEST(FuzzRegressions, EngineInputs) {
  replay("run_engine", fuzz::run_engine);
}
TEST(FuzzRegressions, MusicInputs) {
  replay("open_music", fuzz::open_music);
}

}  // namespace
