// The static check: runs the script through a model of the engine's tables (buffers with their
// sizes, slots with their classes and parameters, chunks with their kinds and sizes, the frame
// clock) and reports what the engine would refuse as errors and what would not be seen as
// intended as warnings.
#pragma once

#include <cstdint>
#include <string>

#include "engine/opcodes.h"
#include "tools/dat/assembler.h"
#include "tools/dat/container.h"
#include "tools/dat/diagnostics.h"

namespace tools {

struct ScriptSummary {
  int instructions = 0;   // up to and including END
  bool ends = false;      // END is reached
  int64_t end_frame = 0;  // the frame in which END runs: the show's length in frames
};

struct CheckResult {
  Diagnostics diagnostics;  // the container's own, then the script's in script order
  ScriptSummary summary;
};

// Checks the loaded chunks and the script of `container`. With a source map, every finding
// points at the statement (and operand) it came from; without one, at the script byte.
CheckResult check_show(const Container& container, const SourceMap* source_map = nullptr);

// "NEWFX 2, 4, 3": an instruction by its mnemonic, operands in decimal.
std::string instruction_text(const engine::Instruction& instruction);

}  // namespace tools
