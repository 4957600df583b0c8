// Every input a fuzzer once found a fault with, replayed through the same target body.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/targets.h"
#include "support/process.h"

namespace {

void replay(const std::string& target, void (*body)(const uint8_t*, size_t)) {
  int replayed = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(TUNDRA_FUZZ_REGRESSIONS) + "/" + target)) {
    if (entry.path().filename().string().starts_with(".")) continue;
    SCOPED_TRACE(entry.path().string());
    std::string bytes = support::read_file(entry.path().string());
    body(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ++replayed;
  }
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

}  // namespace
