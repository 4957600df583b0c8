// Rotozoomer: a 256 x 256 texture, turned a step, zoomed between 1 and 4.5 texels a pixel and
// scrolled a texel every render, tiled without end in 8.8 fixed-point texture coordinates.
#include "fx/rotozoom.h"

#include <cmath>

#include "fx/extended.h"
#include "fx/fx_table.h"

namespace fx {
namespace {

constexpr uint8_t TEXTURE = 0x80;

constexpr ParamInfo params[] = {
    {TEXTURE,
     "texture",
     ParamKind::IMAGE,
     "the texture it turns",
     {.image = ImageUse::TEXTURE, .texture_size = TEXTURE_SIZE}},
};

std::unique_ptr<FxInstance> create(engine::BufferEntry& entry, Random&) {
  auto fx = std::make_unique<RotozoomFx>();
  fx->target = entry.get();
  // The argument and the sine in double, the entry kept as a float. wasi-libc's sine differs
  // from glibc's by an ulp on 12 of the 256 arguments, never in the float: the module's test
  // checks all 256.
  for (size_t i = 0; i < fx->sine.size(); ++i)
    fx->sine[i] = static_cast<float>(std::sin(static_cast<double>(i) * 3.14 * 0.0078125));
  return fx;
}

void render(FxInstance& instance, uint32_t) {
  auto& fx = static_cast<RotozoomFx&>(instance);
  if (fx.texture.empty()) return;  // the animation waits for its texture
  fx.angle = static_cast<uint8_t>(fx.angle + 1);
  const uint8_t a = fx.angle;
  // 1.0 at entry 0 up to 4.499999 at entry 64: formed in 80 bits, kept as a float.
  const float zoom =
      static_cast<float>((1 + static_cast<real80>(fx.sine[fx.pan_u % 128])) * 3.5 - 2.5);
  fx.pan_u = static_cast<uint16_t>(fx.pan_u - 1);
  fx.pan_v = static_cast<uint16_t>(fx.pan_v - 1);
  // Steps through texture space, 8.8 fixed point: (n, s) along a row, (s, k) down a column.
  // Their magnitudes stay below 1153, so truncation to int cannot overflow.
  auto step = [&](int index) {
    return static_cast<uint16_t>(
        static_cast<int32_t>(static_cast<real80>(zoom) * fx.sine[index & 255] * 256));
  };
  const uint16_t s = step(a), k = step(a + 64), n = step(a + 192);
  uint16_t u = static_cast<uint16_t>(fx.pan_u * 256 - n - s);
  uint16_t v = static_cast<uint16_t>(fx.pan_v * 256 - s - k);

  engine::Buffer& target = *fx.target;
  const uint16_t* texels = fx.texture.pixels.get();
  uint16_t* out = target.pixels.get();
  for (int row = 0; row < target.height; ++row) {
    const uint16_t row_u = u, row_v = v;
    for (int column = 0; column < target.width; ++column) {
      u = static_cast<uint16_t>(u + n);
      v = static_cast<uint16_t>(v + s);
      *out++ = texels[(v >> 8) << 8 | u >> 8];  // 16-bit coordinates: always inside 256 x 256
    }
    u = static_cast<uint16_t>(row_u + s);
    v = static_cast<uint16_t>(row_v + k);
  }
}

void set_param(FxInstance& instance, uint8_t id, const ParamValue& value) {
  if (id != TEXTURE) return;
  auto& fx = static_cast<RotozoomFx&>(instance);
  const datafile::ImageChunk& image = image_param(value);
  if (image.pixel_count() >= TEXTURE_TEXELS) {
    fx.texture = ImagePixels(image);  // shared; read as rows of 256 whatever its width
    return;
  }
  // An image of fewer than 65536 pixels would be read past its end: the effect takes a copy
  // padded with black instead, so the render loop needs no bound. Texel i is still element i.
  engine::PixelBlock copy = engine::allocate_pixels(TEXTURE_TEXELS);
  ImagePixels(image).copy(0, TEXTURE_TEXELS, copy.get());
  fx.texture = ImagePixels(std::move(copy), TEXTURE_TEXELS);
}

}  // namespace

const FxClass rotozoom_fx_class = {"rotozoom",      "rotozoomer", params,   create,
                                   destroy_nothing, render,       set_param};

}  // namespace fx
