// The show's one global effect: every 200 frames from frame 600 on, the picture flashes bright
// and noisy and settles back within a second. Worked out from the frame counter alone, so every
// display shows the same flash, whichever frames it was given.
#pragma once

#include <cstdint>

namespace display {

// In AA-lib's render parameters, which the ASCII display hands on as they are: `bright` is
// added to every grey (10 when calm), `noise` is the amplitude of the random dither (0 when calm).
struct Flash {
  int bright;
  int noise;
};

inline constexpr Flash CALM = {10, 0};

// The flash in which frame `frame` is shown.
Flash flash_at(uint32_t frame);

}  // namespace display
