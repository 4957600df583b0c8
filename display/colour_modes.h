// The colour and pixel modes a command line may ask of a display.
#pragma once

#include <cstdint>

namespace display {

// What a command line may ask of a display beyond choosing it; a display reads what concerns it
// (the ASCII display takes its settings from AAOPTS instead). DETECT leaves the choice to what
// the display finds out about the terminal from the environment.
enum class ColourMode : uint8_t { DETECT, TRUECOLOR, INDEXED_256, INDEXED_16 };
enum class PixelMode : uint8_t { DETECT, SYMBOLS, SIXELS, KITTY };

struct DisplayOptions {
  ColourMode colours = ColourMode::DETECT;
  PixelMode pixels = PixelMode::DETECT;
};

}  // namespace display
