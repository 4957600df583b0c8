// Still image: makes its buffer show an image's own pixels; it draws nothing itself.
#include "fx/fx_table.h"
#include "fx/image_pixels.h"

namespace fx {
namespace {

constexpr uint8_t IMAGE = 0x80;

constexpr ParamInfo params[] = {
    {IMAGE, "image", ParamKind::IMAGE, "the buffer shows this image's pixels"},
};

struct StillFx : FxInstance {
  engine::BufferEntry* entry = nullptr;  // the Buffer is looked up at each parameter
};

std::unique_ptr<FxInstance> create(engine::BufferEntry& entry, Random&) {
  auto fx = std::make_unique<StillFx>();
  fx->entry = &entry;
  return fx;
}

void render(FxInstance&, uint32_t) {}

void set_param(FxInstance& instance, uint8_t id, const ParamValue& value) {
  if (id != IMAGE) return;
  show_image_pixels(**static_cast<StillFx&>(instance).entry, image_param(value));
}

}  // namespace

const FxClass still_fx_class = {"still",         "still image", params,   create,
                                destroy_nothing, render,        set_param};

}  // namespace fx
