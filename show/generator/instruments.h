// The soundtrack's instruments, synthesised: a pad, a bass, a bell and three noise drums.
#pragma once

#include <vector>

#include "xm_module.h"

namespace show {

// In the order the score numbers them, each named as the score calls it. The same every run.
std::vector<xm::Instrument> make_instruments();

}  // namespace show
