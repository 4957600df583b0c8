// The --stats summary: how many frames, when END came, which FX classes ran in which slots, and
// what a frame cost the engine and AA-lib's render.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "tools/render/render_display.h"

namespace tools::render {

// How the show ended, as the renderer saw it.
enum class Ending { END, FRAME_LIMIT, INTERRUPTED, OUTPUT_ERROR };

class ShowStats {
 public:
  // Reads the slot table as it was while `frame` was rendered.
  void add(const RenderedFrame& frame, const engine::Engine& engine);
  // `end_frame` is the frame counter when the show stopped.
  void print(FILE* out, Ending ending, uint32_t end_frame) const;

 private:
  std::vector<int64_t> engine_nanoseconds_;
  std::vector<int64_t> render_nanoseconds_;
  std::array<uint32_t, fx::FX_CLASS_COUNT> slots_of_class_{};  // bit s: ran in slot s
};

}  // namespace tools::render
