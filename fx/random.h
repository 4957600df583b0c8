// The effects' one random stream: libc's rand(), never seeded, so every run draws the same
// numbers, shared by all effects in slot order.
#pragma once

#include <cstdint>
#include <cstdlib>

namespace fx {

// The next rand() (0 .. 2^31 - 1) scaled to 0 .. m - 1 as trunc(r x m x 2^-31), exact in
// integers for any m from 0 to 2^31.
inline int32_t random_below(int64_t m) {
  return static_cast<int32_t>(static_cast<int64_t>(std::rand()) * m >> 31);
}

// Puts the stream back where an unseeded program's begins (glibc's seed 1). The one call that
// touches the stream's state: a show calls it when it is made and when it is reset, so that every
// run of a show draws the same numbers; tests and benchmarks call it to start effects from there.
inline void restart_random() {
  std::srand(1);
}

}  // namespace fx
