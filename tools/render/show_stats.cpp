// Gathering and printing the --stats summary.
#include "tools/render/show_stats.h"

#include <algorithm>

#include "fx/fx_info.h"

namespace tools::render {
namespace {

struct Spread {
  double median_ms = 0;
  double max_ms = 0;
};

// The median of an even count is the upper of the two middle values.
Spread spread_of(std::vector<int64_t> nanoseconds) {
  if (nanoseconds.empty()) return {};
  auto middle = nanoseconds.begin() + nanoseconds.size() / 2;
  std::nth_element(nanoseconds.begin(), middle, nanoseconds.end());
  return {*middle / 1e6, *std::max_element(nanoseconds.begin(), nanoseconds.end()) / 1e6};
}

}  // namespace

void ShowStats::add(const RenderedFrame& frame, const engine::Engine& engine) {
  engine_nanoseconds_.push_back(frame.engine_time.count());
  render_nanoseconds_.push_back(frame.render_time.count());
  // The slots the render pass visited in this frame.
  for (int slot = 0; slot < engine::DISPATCHED_SLOTS; ++slot) {
    const std::unique_ptr<engine::FxSlot>& entry = engine.slots[slot];
    if (entry && entry->state == engine::SlotState::RUNNING && entry->class_id < fx::FX_CLASS_COUNT)
      slots_of_class_[entry->class_id] |= uint32_t{1} << slot;
  }
}

void ShowStats::print(FILE* out, Ending ending, uint32_t end_frame) const {
  std::fprintf(out, "frames rendered: %zu\n", engine_nanoseconds_.size());
  switch (ending) {
    case Ending::END:
      std::fprintf(out, "END at frame: %u\n", end_frame);
      break;
    case Ending::FRAME_LIMIT:
      std::fprintf(out, "END at frame: not reached (stopped by --frames before frame %u)\n",
                   end_frame);
      break;
    case Ending::INTERRUPTED:
      std::fprintf(out, "END at frame: not reached (interrupted before frame %u)\n", end_frame);
      break;
    case Ending::OUTPUT_ERROR:
      std::fprintf(out, "END at frame: not reached (an output failed before frame %u)\n",
                   end_frame);
      break;
  }
  for (int class_id = 0; class_id < fx::FX_CLASS_COUNT; ++class_id) {
    const uint32_t slots = slots_of_class_[class_id];
    if (slots == 0) continue;
    const fx::FxClass& info = *fx::fx_classes[class_id];
    std::fprintf(out, "FX class %d %.*s (%.*s): slots", class_id, int(info.name.size()),
                 info.name.data(), int(info.summary.size()), info.summary.data());
    for (int slot = 0; slot < engine::DISPATCHED_SLOTS; ++slot)
      if ((slots >> slot & 1) != 0) std::fprintf(out, " %d", slot);
    std::fputc('\n', out);
  }
  const Spread engine_spread = spread_of(engine_nanoseconds_);
  const Spread render_spread = spread_of(render_nanoseconds_);
  std::fprintf(out, "engine ms per frame: median %.3f, max %.3f\n", engine_spread.median_ms,
               engine_spread.max_ms);
  std::fprintf(out, "aa_render ms per frame: median %.3f, max %.3f\n", render_spread.median_ms,
               render_spread.max_ms);
}

}  // namespace tools::render
