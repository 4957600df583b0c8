// tundra-dat: builds, checks, takes apart and plays Tundra data files and shows.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/dat/cli.h"
#include "tools/preview/play.h"
#include "tools/preview/play_options.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const std::vector<engine::OptionText> play_options = engine::option_texts(preview::play_options);
  const tools::OuterCommand outer[] = {
      {"play", preview::PLAY_OPERANDS, preview::PLAY_SUMMARY, play_options, preview::run_play},
  };
  return tools::run_tool(args, stdout, stderr, outer);
}
