// The flash schedule.
#include "display/flash.h"

#include <algorithm>

namespace display {
namespace {

constexpr uint32_t FLASH_EVERY = 200;
constexpr uint32_t FIRST_FLASH_AFTER = 500;  // the first flash follows frame 600
constexpr int FLASH_BRIGHT = 100, BRIGHT_DECAY = 10;
constexpr int FLASH_NOISE = 150, NOISE_DECAY = 5;

}  // namespace

// A flash begins once frame n is shown, n above 500 and a multiple of 200; the frames after it
// are shown k frames into the flash, with the brightness falling 10 and the noise 5 a frame from
// 100 and 150, down to where they rest. Flashes are 200 frames apart and the noise settles in
// 30, so one flash never runs into the next.
Flash flash_at(uint32_t frame) {
  if (frame == 0) return CALM;
  const uint32_t began = (frame - 1) / FLASH_EVERY * FLASH_EVERY;
  if (began <= FIRST_FLASH_AFTER) return CALM;
  const int k = static_cast<int>(frame - began);  // 1 to 200
  return {std::max(CALM.bright, FLASH_BRIGHT - BRIGHT_DECAY * k),
          std::max(CALM.noise, FLASH_NOISE - NOISE_DECAY * k)};
}

}  // namespace display
