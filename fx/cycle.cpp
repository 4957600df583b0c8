// Colour cycle fill: fills the leading part of a buffer with a colour that rotates one bit a
// frame; the filled stretch is one pixel shorter for every frame the show has run.
#include <algorithm>

#include "fx/fx_table.h"

namespace fx {
namespace {

constexpr uint8_t COLOUR = 0x80;

constexpr ParamInfo params[] = {
    {COLOUR, "colour", ParamKind::NUMBER, "RGB565 colour of the next render (low 16 bits)"},
};

struct CycleFx : FxInstance {
  engine::Buffer* target = nullptr;
  uint16_t colour = 0xF000;  // red 30: the cycle runs F000, E001, C003, 8007, 000F, ...
};

std::unique_ptr<FxInstance> create(engine::BufferEntry& entry, Random&) {
  auto fx = std::make_unique<CycleFx>();
  fx->target = entry.get();
  return fx;
}

void render(FxInstance& instance, uint32_t frame_counter) {
  auto& fx = static_cast<CycleFx&>(instance);
  // Pixel i of N is written when N - 1 - i > F, F the counter read as signed: the first
  // N - 1 - F pixels, none once F reaches N - 1, and never the last one.
  const int64_t count = static_cast<int64_t>(fx.target->pixel_count());
  const int64_t frame = static_cast<int32_t>(frame_counter);
  const int64_t filled = std::clamp<int64_t>(count - 1 - frame, 0, count);
  std::fill_n(fx.target->pixels.get(), filled, fx.colour);
  fx.colour = static_cast<uint16_t>(fx.colour << 1 | fx.colour >> 15);
}

void set_param(FxInstance& instance, uint8_t id, const ParamValue& value) {
  if (id == COLOUR) static_cast<CycleFx&>(instance).colour = static_cast<uint16_t>(value.number);
}

}  // namespace

const FxClass cycle_fx_class = {
    "cycle", "colour cycle fill", params, create, destroy_nothing, render, set_param};

}  // namespace fx
