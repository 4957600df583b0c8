// tundra-dat's command line, callable in-process so that tests see exactly what users see.
#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "command_line/command_line.h"

namespace tools {

// A subcommand built on this library rather than in it (play, whose preview links the
// compiler): the program hands it in, and its name, help and options read like the others'.
struct OuterCommand {
  std::string_view name;
  std::string_view operands;
  std::string_view help;  // '\n' begins a continuation line
  std::span<const engine::OptionText> options;
  // Takes the words after the command's name, options included, and returns the exit status.
  int (*run)(const std::vector<std::string>& args, FILE* out, FILE* err);
};

// Runs one subcommand; `args` excludes the program name. Returns the exit status: 0 done, 1
// errors in the input or a file that cannot be read or written, 2 a bad command line.
int run_tool(const std::vector<std::string>& args, FILE* out, FILE* err,
             std::span<const OuterCommand> outer = {});

// The options the subcommands take, and the subcommands' names, as --help lists them.
std::vector<engine::OptionText> dat_option_texts();
std::vector<std::string_view> command_names();

}  // namespace tools
