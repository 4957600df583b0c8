// Still image: makes its buffer show an image's own pixels; it draws nothing itself.
#include <algorithm>

#include "fx/fx_table.h"

namespace fx {
namespace {

struct StillFx : FxInstance {
  engine::BufferEntry* entry = nullptr;  // the Buffer is looked up at each parameter
};

std::unique_ptr<FxInstance> create(engine::BufferEntry& entry) {
  auto fx = std::make_unique<StillFx>();
  fx->entry = &entry;
  return fx;
}

void render(FxInstance&, uint32_t) {}

void set_param(FxInstance& instance, uint8_t id, const ParamValue& value) {
  if (id != 0x80) return;
  engine::Buffer& buffer = **static_cast<StillFx&>(instance).entry;
  const datafile::ImageChunk& image = image_param(value);
  if (image.pixel_count() >= buffer.pixel_count()) {
    buffer.pixels = image.pixels;  // shared: what is drawn into the buffer changes the image
    return;
  }
  // An image smaller than the buffer cannot be shared without effects writing past its end:
  // the buffer gets a copy of it instead, black where the image has no pixels.
  engine::PixelBlock copy = engine::allocate_pixels(buffer.pixel_count());
  std::copy_n(image.pixels.get(), image.pixel_count(), copy.get());
  buffer.pixels = std::move(copy);
}

}  // namespace

const FxClass still_fx_class = {create, destroy_nothing, render, set_param};

}  // namespace fx
