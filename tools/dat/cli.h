// tundra-dat's command line, callable in-process so that tests see exactly what users see.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "engine/command_line.h"

namespace tools {

// Runs one subcommand; `args` excludes the program name. Returns the exit status: 0 done, 1
// errors in the input or a file that cannot be read or written, 2 a bad command line.
int run_tool(const std::vector<std::string>& args, FILE* out, FILE* err);

// The options the subcommands take, and the subcommands' names, as --help lists them.
std::vector<engine::OptionText> dat_option_texts();
std::vector<std::string_view> command_names();

}  // namespace tools
