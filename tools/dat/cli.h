// tundra-dat's command line, callable in-process so that tests see exactly what users see.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace tools {

// Runs one subcommand; `args` excludes the program name. Returns the exit status: 1 when there
// were errors (or usage was wrong), 0 otherwise.
int run_tool(const std::vector<std::string>& args, FILE* out, FILE* err);

}  // namespace tools
