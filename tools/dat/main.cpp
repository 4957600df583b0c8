// tundra-dat: builds, checks and takes apart Tundra data files.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/dat/cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return tools::run_tool(args, stdout, stderr);
}
