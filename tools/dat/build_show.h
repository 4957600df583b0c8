// A show compiled and checked in memory, as `tundra-dat build` does before it writes anything:
// the data file's bytes, where each script byte came from, every file the show reads, and the
// script's waits and end as the check plays them.
#pragma once

#include <string>
#include <vector>

#include "tools/dat/assembler.h"
#include "tools/dat/checker.h"
#include "tools/dat/diagnostics.h"

namespace tools {

enum class CheckPass { RUN, SKIP };

struct BuiltShow {
  Bytes data_file;  // empty when the compiler found errors
  SourceMap source_map;
  Diagnostics diagnostics;  // the compiler's, then (when it found none) the check's
  ScriptSummary summary;    // the check's model of the script; empty when it did not compile
  std::vector<std::string> files;

  // The first error, or null: what a reload that fails reports.
  const Diagnostic* first_error() const;
  const Diagnostic* first_warning() const;
};

// Compiles the show at `source` and, unless `pass` skips it, checks the result. `name` is what
// the check calls the data file in findings that have no source position.
BuiltShow build_show(const std::string& source, const std::string& name,
                     CheckPass pass = CheckPass::RUN);

}  // namespace tools
