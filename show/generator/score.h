// The soundtrack's score: patterns as text, read into a module for the XM writer.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "xm_module.h"

namespace show {

// A mistake in the score, its message starting "FILE:LINE: ".
struct ScoreError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A row lasts 4 of the show's 30 ms frames: 6 ticks at 125 BPM, 20 ms each.
constexpr int FRAMES_PER_ROW = 4;

// Reads a score (at most 1 MB) whose cells name the instruments given, which the module then
// carries in the same order. Throws ScoreError.
xm::Module read_score(const std::string& path, std::vector<xm::Instrument> instruments);
xm::Module parse_score(const std::string& text, const std::string& file_name,
                       std::vector<xm::Instrument> instruments);

}  // namespace show
