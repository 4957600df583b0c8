// The record of operations through which the engine drives a screen; the engine touches no
// screen itself. Drivers: AA-lib's ASCII art for the player, a recording one for tests and tools.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/buffer.h"

namespace engine {

// A driver's private state; each driver derives its own record from it.
struct DisplayState {
  virtual ~DisplayState() = default;
};

struct DisplayDriver {
  void (*close)(DisplayDriver& display);
  void (*init)(DisplayDriver& display);  // opens it for a PICTURE_WIDTH x PICTURE_HEIGHT picture
  void (*blit)(DisplayDriver& display, const Buffer& buffer);
  void (*present)(DisplayDriver& display, uint32_t frame);  // `frame`: the frame counter
  void (*start)(DisplayDriver& display);
  // Nonzero asks the engine to end the show; `frame` is the frame about to be made.
  int (*poll_quit)(DisplayDriver& display, uint32_t frame);
  // Shows `lines` under the picture from the next present on (none: the picture has the whole
  // screen). Null for a display that shows no text, which then shows only the picture.
  void (*set_text_band)(DisplayDriver& display, std::vector<std::string> lines);
  // Fits the picture to the terminal's new size at once, for an owner that reads the keys itself
  // and so never polls. Null for a display that follows a resize by itself at its next present.
  void (*take_resize)(DisplayDriver& display);
  std::unique_ptr<DisplayState> state;
};

// Thrown by a display whose output failed; the player closes it and prints `message`.
struct OutputFailed {
  std::string message;  // the complete text, final newline included
};

// Makes a driver, or returns null when none can be made.
using DisplayConstructor = std::function<std::unique_ptr<DisplayDriver>()>;

// The picture the engine composes, in pixels.
inline constexpr int PICTURE_WIDTH = 160;
inline constexpr int PICTURE_HEIGHT = 50;

}  // namespace engine
