// The static check: runs the script through a model of the engine's tables (buffers with their
// sizes, slots with their classes and parameters, chunks with their kinds and sizes, the frame
// clock) and reports what the engine would refuse as errors and what would not be seen as
// intended as warnings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/opcodes.h"
#include "tools/dat/assembler.h"
#include "tools/dat/data_file.h"
#include "tools/dat/diagnostics.h"

namespace tools {

// A wait of the script and the frame in which the script goes on after it.
struct WaitPoint {
  uint32_t byte = 0;    // script offset of the wait instruction
  int64_t resumes = 0;  // the frame whose run of the script continues after it
};

struct ScriptSummary {
  int instructions = 0;          // up to and including END
  bool ends = false;             // END is reached
  int64_t end_frame = 0;         // the frame in which END runs: the show's length in frames
  uint32_t end_byte = 0;         // script offset of the END that is reached
  std::vector<WaitPoint> waits;  // every wait run before END, in script (and so time) order
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
