// Spark column: white sparks on every tenth row jump to random columns and are smeared by a
// four-neighbour average over two working pictures, leaving a flickering, fading glow.
#include "fx/sparks.h"

#include <algorithm>
#include <utility>

#include "fx/fx_table.h"

namespace fx {
namespace {

constexpr int SPARK_SPACING = 10;  // rows between sparks
// Rows are 16-bit, so spark 6553 (row 65530) is the last that could lie on any target; more are
// not kept, and a corrupt count cannot ask for gigabytes.
constexpr int32_t MAX_SPARKS = UINT16_MAX / SPARK_SPACING + 1;

constexpr uint8_t COUNT = 0x80;

constexpr ParamInfo params[] = {
    {COUNT,
     "count",
     ParamKind::NUMBER,
     "number of sparks",
     {.count = true, .row_spacing = SPARK_SPACING}},
};

// A column in the middle half of the target: trunc(trunc(r W 2^-31) / 2 + W / 4), 40 to 119 on a
// 160-wide target. The halves and quarters are exact in double.
uint16_t random_column(uint16_t width, Random& random) {
  const int32_t scaled = random.below(width);
  return static_cast<uint16_t>(static_cast<double>(scaled) * 0.5 + width * 0.25);
}

// The working pictures follow the target's size. A target re-created at another size starts
// them black again; the sparks keep their columns.
void fit_pictures(SparkFx& fx) {
  const engine::Buffer& target = *fx.target;
  if (fx.map_width == target.width && fx.map_height == target.height) return;
  fx.front.assign(target.pixel_count(), 0);
  fx.back.assign(target.pixel_count(), 0);
  fx.map_width = target.width;
  fx.map_height = target.height;
}

std::unique_ptr<FxInstance> create(engine::BufferEntry& entry, Random& random) {
  auto fx = std::make_unique<SparkFx>();
  fx->target = entry.get();
  fx->random = &random;
  fit_pictures(*fx);
  return fx;
}

// The mean of four RGB565 pixels, channel by channel, each sum shifted down by 2. Red and blue
// are summed together: blue's sum (7 bits) stays below green's place, red's sits above it.
uint16_t average(uint32_t left, uint32_t right, uint32_t up, uint32_t down) {
  const uint32_t red_blue = (left & 0xF81F) + (right & 0xF81F) + (up & 0xF81F) + (down & 0xF81F);
  const uint32_t green = (left & 0x07E0) + (right & 0x07E0) + (up & 0x07E0) + (down & 0x07E0);
  return static_cast<uint16_t>((red_blue >> 2 & 0xF81F) | (green >> 2 & 0x07E0));
}

void render(FxInstance& instance, uint32_t) {
  auto& fx = static_cast<SparkFx&>(instance);
  fit_pictures(fx);
  const size_t width = fx.map_width, height = fx.map_height;

  // The first and the last spark keep their columns; with fewer than three none moves.
  for (size_t i = 1; i + 1 < fx.sparks.size(); ++i)
    fx.sparks[i].x = random_column(fx.map_width, *fx.random);

  // Sparks below the bottom row (a count too high for the target) still jump, but are not
  // plotted; nor are columns left over from a wider target.
  for (const Spark& spark : fx.sparks)
    if (spark.y < height && spark.x < width) fx.front[spark.y * width + spark.x] = 0xFFFF;

  // One linear run from row 1, column 1 to row H - 2, column W - 2: a row's last pixel takes
  // the next row's first as its right neighbour. The pixel itself does not take part. Targets
  // of fewer than three such pixels have no run.
  const int64_t run_length = (static_cast<int64_t>(height) - 2) * static_cast<int64_t>(width) - 2;
  if (run_length > 0) {
    const uint16_t* in = fx.front.data();
    uint16_t* out = fx.back.data();
    const size_t first = width + 1, last = (height - 1) * width - 2;
    for (size_t k = first; k <= last; ++k)
      out[k] = average(in[k - 1], in[k + 1], in[k - width], in[k + width]);
    std::copy(out + first, out + last + 1, fx.target->pixels.get() + first);
  }
  // Pixels outside the run keep what they held in `back`: spark 0, on row 0, stays white.
  std::swap(fx.front, fx.back);
}

void set_param(FxInstance& instance, uint8_t id, const ParamValue& value) {
  if (id != COUNT) return;
  auto& fx = static_cast<SparkFx&>(instance);
  // A negative count means no sparks; lowering the count drops the last sparks, raising it adds
  // new ones, each with a random column.
  const size_t count = static_cast<size_t>(std::clamp(value.number, 0, MAX_SPARKS));
  fx.sparks.resize(std::min(count, fx.sparks.size()));
  while (fx.sparks.size() < count) {
    const auto y = static_cast<uint16_t>(fx.sparks.size() * SPARK_SPACING);
    fx.sparks.push_back({random_column(fx.target->width, *fx.random), y});
  }
}

}  // namespace

const FxClass sparks_fx_class = {"sparks",        "spark column", params,   create,
                                 destroy_nothing, render,         set_param};

}  // namespace fx
