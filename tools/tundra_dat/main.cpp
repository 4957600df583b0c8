// tundra-dat: builds, checks, takes apart and plays Tundra data files and shows.
#include <cstdio>
#include <new>
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
  // Every reader is bounded, so this is the last resort of a machine short of memory: a
  // message and the status of a file that cannot be handled, not an abort.
  try {
    return tools::run_tool(args, stdout, stderr, outer);
  } catch (const std::bad_alloc&) {
    std::fputs("tundra-dat: error: out of memory\n", stderr);
    return 1;
  }
}
