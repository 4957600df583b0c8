// The renderer's display: composes the colour picture and renders it as ASCII art on an 80 x 25
// screen of AA-lib's memory driver, exactly as the player's display presents it, then hands
// every frame to its owner. It never waits.
#pragma once

#include <aalib.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "display/picture.h"
#include "engine/display_driver.h"
#include "engine/show.h"

namespace tools::render {

// The screen the ASCII art is rendered on: AA-lib's image is then the 160 x 50 picture itself.
inline constexpr int TEXT_COLUMNS = 80;
inline constexpr int TEXT_ROWS = 25;

struct RenderedFrame {
  uint32_t number;                       // the frame counter while the frame was made
  const display::Picture& picture;       // the colour picture after this frame's blits
  std::string_view text;                 // TEXT_ROWS rows of TEXT_COLUMNS characters, no line ends
  const aa_font& font;                   // the font AA-lib measured its characters with
  std::chrono::nanoseconds engine_time;  // script, effects and blits since the previous frame
  std::chrono::nanoseconds render_time;  // aa_render alone
  const engine::Show* show = nullptr;    // the show being rendered, for what it carries (music)
};

// What the owner of the driver tells it, and what the driver tells back.
struct RenderControl {
  std::function<bool(const RenderedFrame&)> on_frame;  // false: stop before the next frame
  const engine::Show* show = nullptr;                  // the show being rendered, once loaded

  const aa_font* font = nullptr;      // AA-lib's font, once the display is open
  std::optional<uint32_t> closed_at;  // the show's frame counter when the display was closed
  bool reached_end = false;           // whether the show had reached END by then
};

// `control` must outlive the driver.
engine::DisplayConstructor render_display(RenderControl& control);

}  // namespace tools::render
