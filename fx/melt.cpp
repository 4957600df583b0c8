// Melting relief: an image's brightness becomes a mass that flows sideways and down under a
// per-pixel gravity map, drawn as an embossed relief lit by a light spot that wanders with the
// frame counter.
#include "fx/melt.h"

#include <algorithm>
#include <cmath>

#include "fx/extended.h"
#include "fx/fx_table.h"

namespace fx {
namespace {

// Sums and products are worked in extended precision from the constants as given (doubles,
// except the float flow factors) and rounded only where they are stored: the mass and the light
// map's intermediate values are 32-bit floats.
using real = real80;

constexpr float SIDEWAYS_FLOW = 0.4f;
constexpr float DOWNWARD_FLOW = 0.51f;
constexpr real PI = 3.141592653589793;
// The light map and its centring place the light on a 320 x 200 picture.
constexpr int LIGHT_CENTRE_X = 160, LIGHT_CENTRE_Y = 100;

constexpr uint8_t SOURCE = 0x80, GRAVITY_MAP = 0x81, FLOWING = 0x82;

constexpr ParamInfo params[] = {
    {SOURCE,
     "source",
     ParamKind::IMAGE,
     "image whose brightness becomes the mass",
     {.never_shown = true}},
    {GRAVITY_MAP,
     "gravity_map",
     ParamKind::IMAGE,
     "per-pixel gravity in the blue field; runs one flow step",
     {.needed = {Condition::NOT_ZERO, FLOWING}, .never_shown = true}},
    {FLOWING, "flowing", ParamKind::NUMBER, "nonzero: the mass flows every render"},
};

// The light colour for a pair of slope bytes: a white core of radius about 5 inside an orange
// glow (red : green = 50 : 40) that fades to black at radius 190 / 1.2.
// `distance2` is the squared distance from the map's centre (128, 128).
// The C library's pow and cos are kept, not replaced: the reference is glibc's, whose pow(d, 0.5)
// is not the correctly rounded square root on 28 of these d, and wasi-libc's differ from it by
// an ulp on 5 pows and 188 cosines of the map's arguments, yet never in the float kept of them.
// The map's arguments are a fixed set, so the module's test checks every one.
uint16_t light_colour(int distance2) {
  const float t =
      static_cast<float>(std::pow(static_cast<double>(distance2), 0.5) / real{190} * real{1.2});
  const real glow = std::clamp<real>(t, 0, 1), core = std::clamp<real>(30 * real{t}, 0, 1);
  const float c1 = static_cast<float>(std::cos(static_cast<double>(glow * PI / 2)));
  const float c2 = static_cast<float>(std::cos(static_cast<double>(core * PI / 2)));
  const int white = static_cast<int>(63 * real{c2});
  const int red6 = std::min(63, static_cast<int>(50 * real{c1}) + white);
  const int green6 = std::min(63, static_cast<int>(40 * real{c1}) + white);
  const int blue6 = std::min(63, white);
  return static_cast<uint16_t>((red6 >> 1) << 11 | green6 << 5 | blue6 >> 1);
}

// The maps follow the target's size. A target re-created at another size gets new maps; the
// mass is loaded again from the image, if one is set, and the relief waits for the next step.
void fit_maps(MeltFx& fx) {
  const engine::Buffer& target = *fx.target;
  if (!fx.mass.empty() && fx.map_width == target.width && fx.map_height == target.height) return;
  fx.map_width = target.width;
  fx.map_height = target.height;
  fx.mass.assign(target.pixel_count() + target.width + 1, 0.0f);
  fx.relief.assign(target.pixel_count() + RELIEF_MARGIN, 0);
  if (fx.source.pixels) load_mass(fx);
}

std::unique_ptr<FxInstance> create(engine::BufferEntry& entry, Random&) {
  auto fx = std::make_unique<MeltFx>();
  fx->target = entry.get();
  fit_maps(*fx);
  // A colour depends only on the squared distance from the centre, and the map's 65536 entries
  // hold far fewer distinct distances (about 7,000): each is worked out once.
  std::vector<int32_t> by_distance(2 * 128 * 128 + 1, -1);
  fx->light_map.resize(256 * 256);
  for (int j = 0; j < 256; ++j) {
    for (int i = 0; i < 256; ++i) {
      const int distance2 = (i - 128) * (i - 128) + (j - 128) * (j - 128);
      if (by_distance[distance2] < 0) by_distance[distance2] = light_colour(distance2);
      fx->light_map[i + 256 * j] = static_cast<uint16_t>(by_distance[distance2]);
    }
  }
  return fx;
}

void render(FxInstance& instance, uint32_t frame_counter) {
  auto& fx = static_cast<MeltFx&>(instance);
  fit_maps(fx);
  if (fx.flowing != 0) flow_step(fx);

  // The light swings through columns 60 to 260 and rows 60 to 140 of the 320 x 200 picture.
  // wasi-libc's sin and cos differ from glibc's by an ulp on some frames, but the truncated
  // place has been the same on every frame checked (the module's test: the first 10 million).
  const real t = static_cast<real>(frame_counter) / 70;
  const int lx = static_cast<int>(std::sin(static_cast<double>(7 * t)) * real{50} + 128);
  const int ly = static_cast<int>(std::cos(static_cast<double>(real{2.3} * t)) * real{20} + 128);

  const int width = fx.map_width, height = fx.map_height;
  const uint8_t* relief = fx.relief.data();
  uint16_t* pixels = fx.target->pixels.get();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const size_t k = static_cast<size_t>(y) * width + x;
      const int e = relief[k];
      if (e == 0) continue;  // no relief: the pixel keeps what it shows
      // Slopes toward the next pixel and toward the one 320 on, plus the light's place; the
      // halves round toward zero and the sums wrap to a byte.
      const int u = (e - relief[k + 1] + lx + (x - LIGHT_CENTRE_X) / 2) & 0xFF;
      const int v = (e - relief[k + RELIEF_MARGIN] + ly + (y - LIGHT_CENTRE_Y) / 2) & 0xFF;
      pixels[k] = fx.light_map[u + 256 * v];
    }
  }
}

void set_param(FxInstance& instance, uint8_t id, const ParamValue& value) {
  auto& fx = static_cast<MeltFx&>(instance);
  if (id == SOURCE) {
    fx.source = ImagePixels(image_param(value));
    fit_maps(fx);
    load_mass(fx);
  } else if (id == GRAVITY_MAP) {
    fx.gravity_map = ImagePixels(image_param(value));
    fit_maps(fx);
    flow_step(fx);
  } else if (id == FLOWING) {
    fx.flowing = value.number;
  }
}

}  // namespace

// Images are read with the target's width as their row length. Past an image's last pixel, or
// without an image, the picture reads black: no mass, and gravity's full pull.
void load_mass(MeltFx& fx) {
  const size_t count = size_t{fx.map_width} * fx.map_height;
  for (size_t k = 0; k < count; ++k) {
    const unsigned p = fx.source.at(k);
    const unsigned level = ((p & 0xF800) >> 10) + ((p & 0x07E0) >> 5) + 2 * (p & 0x001F);
    fx.mass[k] = static_cast<float>(level / real{63} / 3);  // white: 187 / 189
  }
  // A new image starts the melt afresh: the catch cells are emptied too.
  std::fill(fx.mass.begin() + static_cast<ptrdiff_t>(count), fx.mass.end(), 0.0f);
}

// Pixel k and its right neighbour k + 1 (at a row's end, the next row's first; after the last
// pixel, the first catch cell). Mass moves from the fuller to the emptier, faster the more
// there is; above a combined mass of about 1.077 the pair is levelled.
void sideways_pass(MeltFx& fx) {
  const size_t width = fx.map_width, end = width * fx.map_height;
  float* mass = fx.mass.data();
  for (size_t k = width; k < end; ++k) {
    const real a = mass[k], b = mass[k + 1], s = a + b;
    const real c = SIDEWAYS_FLOW * s * s * s;
    if (c > real{0.5}) {
      mass[k] = mass[k + 1] = static_cast<float>(s * real{0.5});
    } else {
      const real d = c * (a - b);
      mass[k + 1] = static_cast<float>(b + d);
      mass[k] = static_cast<float>(a - d);
    }
  }
}

// Pixel k and the pixel below, k + W (for the last row, a catch cell). Gravity adds
// 1 - blue / 32 to the difference: downhill moves go ten times faster than uphill ones, and
// no move takes more than half the difference. Only pixel k is limited to 0..1 here; the one
// below is limited at its own turn.
void downward_pass(MeltFx& fx) {
  const size_t width = fx.map_width, end = width * fx.map_height;
  float* mass = fx.mass.data();
  for (size_t k = width; k < end; ++k) {
    const real a = mass[k], b = mass[k + width], s = a + b;
    real c = DOWNWARD_FLOW * s * s * s;
    const unsigned blue = fx.gravity_map.at(k) & 0x1F;
    const float g = static_cast<float>((a - b) + (1 - blue * real{0.03125}));
    if (g > 0) c = 10 * c;
    if (c > real{0.5}) c = 0.5;
    const real q = c * g;
    mass[k] = static_cast<float>(a - q);
    mass[k + width] = static_cast<float>(b + q);
    mass[k] = std::clamp(mass[k], 0.0f, 1.0f);
  }
}

// relief[k] = low 8 bits of trunc(16 S(k-2) + 32 S(k-1) + 16 S(k)), S(j) being the vertical
// 1-2-1 sum of the column right of j: 256 times the 3 x 3 average (weights 1 2 1 / 2 4 2 /
// 1 2 1) around k, taken along the linear run, so a row's edge borrows from the next row. The
// run starts with S(W - 2) = S(W - 1) = 0. A block of mass 1.0 gives 256, which is drawn as 0.
void rebuild_relief(MeltFx& fx) {
  const size_t width = fx.map_width, end = width * fx.map_height;
  const float* mass = fx.mass.data();
  real before_last = 0, last = 0;
  for (size_t k = width; k < end; ++k) {
    const real now = mass[k - width + 1] + 2 * real{mass[k + 1]} + mass[k + width + 1];
    // Masses stay within a few units (only catch cells exceed 1), so the sum fits easily.
    fx.relief[k] =
        static_cast<uint8_t>(static_cast<int64_t>(16 * before_last + 32 * last + 16 * now));
    before_last = last;
    last = now;
  }
}

void flow_step(MeltFx& fx) {
  sideways_pass(fx);
  downward_pass(fx);
  rebuild_relief(fx);
}

const FxClass melt_fx_class = {"melt",          "melting relief", params,   create,
                               destroy_nothing, render,           set_param};

}  // namespace fx
