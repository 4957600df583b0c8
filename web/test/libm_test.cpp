// The C library's sin, cos and pow in the module (wasi-libc) against the native one (glibc) on
// every argument the effects can give them: what the effects keep of the results must agree.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>
#include <vector>

#include "fixtures/process.h"

namespace {

using support::shell_quote;

// The probe's output, natively and in Node, as lines of words.
std::vector<std::vector<std::string>> probe(bool in_module, const std::string& arguments) {
  const std::string command =
      in_module ? std::string(TUNDRA_NODE) + " --no-warnings " + shell_quote(TUNDRA_WASI_RUNNER) +
                      " " + shell_quote(std::string(TUNDRA_WEB_MODULE) + "/libm_probe.wasm")
                : shell_quote(TUNDRA_LIBM_PROBE);
  int status = -1;
  std::istringstream text(support::run_command(command + " " + arguments, &status));
  EXPECT_EQ(status, 0) << command << " " << arguments;
  std::vector<std::vector<std::string>> lines;
  for (std::string line; std::getline(text, line);) {
    std::istringstream words(line);
    lines.emplace_back();
    for (std::string word; words >> word;) lines.back().push_back(word);
  }
  return lines;
}

// The rotozoom's sine table and the light map's pow and cos: the doubles may differ by an ulp
// (the count is printed), the floats the effects keep of them may not. Then the light's place,
// frame by frame, from sin(7t) and cos(2.3t): hashes of its columns and rows per million frames.
TEST(WebLibm, WhatTheEffectsKeepOfSinCosAndPowIsGlibcs) {
  if (!std::filesystem::exists(std::string(TUNDRA_WEB_MODULE) + "/libm_probe.wasm"))
    GTEST_SKIP() << "the module was not built";
  const auto native = probe(false, "tables"), module = probe(true, "tables");
  ASSERT_EQ(native.size(), module.size());
  ASSERT_GT(native.size(), 18000u);  // 256 sines, then three lines per distance
  std::map<std::string, int> doubles_differ;
  for (size_t i = 0; i < native.size(); ++i) {
    ASSERT_EQ(native[i].size(), 4u);
    EXPECT_EQ(native[i][1], module[i][1]) << "argument of " << native[i][0];
    if (native[i][2] != module[i][2]) ++doubles_differ[native[i][0]];
    EXPECT_EQ(native[i][3], module[i][3]) << native[i][0] << " of " << native[i][1];
  }
  for (const auto& [function, count] : doubles_differ)
    std::cout << function << ": " << count << " double results differ by an ulp\n";

  const auto native_frames = probe(false, "frames 0 10000000 1000000");
  const auto module_frames = probe(true, "frames 0 10000000 1000000");
  ASSERT_EQ(native_frames.size(), 10u);
  ASSERT_EQ(module_frames.size(), 10u);
  for (size_t i = 0; i < native_frames.size(); ++i)
    EXPECT_EQ(native_frames[i][3], module_frames[i][3]) << "frames from " << native_frames[i][0];
}

}  // namespace
