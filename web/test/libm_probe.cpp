// Every sin, cos and pow the effects can ask of the C library, with the arguments formed as the
// effects form them, printed so that the native and the WebAssembly builds can be compared.
// Usage: libm_probe tables
//        libm_probe frames FIRST COUNT BLOCK   (one line per BLOCK frames: hashes)
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fx/extended.h"

namespace {

using fx::real80;

uint64_t bits(double value) {
  uint64_t out;
  std::memcpy(&out, &value, sizeof out);
  return out;
}

// FNV-1a over 64-bit words.
struct Hash {
  uint64_t value = 0xCBF29CE484222325;
  void add(uint64_t word) {
    for (int i = 0; i < 8; ++i) value = (value ^ ((word >> (8 * i)) & 0xFF)) * 0x100000001B3;
  }
};

// Lines "kind argument result [what the effect keeps]", the arguments and results in hex bits.
void tables() {
  // The rotozoom's sine table: the argument in double, the entry kept as a float.
  for (int i = 0; i < 256; ++i) {
    const double argument = static_cast<double>(i) * 3.14 * 0.0078125;
    const double sine = std::sin(argument);
    std::printf("sin %016llx %016llx %a\n", static_cast<unsigned long long>(bits(argument)),
                static_cast<unsigned long long>(bits(sine)), static_cast<float>(sine));
  }
  // The light map's: every squared distance from (128, 128) in the 256 x 256 map, whatever
  // the target's size; the colour is made of the floats printed last.
  std::vector<bool> seen(2 * 128 * 128 + 1);
  for (int j = 0; j < 256; ++j)
    for (int i = 0; i < 256; ++i) seen[(i - 128) * (i - 128) + (j - 128) * (j - 128)] = true;
  constexpr real80 PI = 3.141592653589793;
  for (int d = 0; d < static_cast<int>(seen.size()); ++d) {
    if (!seen[d]) continue;
    const double root = std::pow(static_cast<double>(d), 0.5);
    const float t = static_cast<float>(root / real80{190} * real80{1.2});
    const real80 glow = std::clamp<real80>(t, 0, 1),
                 core = std::clamp<real80>(30 * real80{t}, 0, 1);
    const double a1 = static_cast<double>(glow * PI / 2), a2 = static_cast<double>(core * PI / 2);
    std::printf("pow %d %016llx %a\n", d, static_cast<unsigned long long>(bits(root)), t);
    std::printf("cos %016llx %016llx %a\n", static_cast<unsigned long long>(bits(a1)),
                static_cast<unsigned long long>(bits(std::cos(a1))),
                static_cast<float>(std::cos(a1)));
    std::printf("cos %016llx %016llx %a\n", static_cast<unsigned long long>(bits(a2)),
                static_cast<unsigned long long>(bits(std::cos(a2))),
                static_cast<float>(std::cos(a2)));
  }
}

// The light's place for each frame: sin(7t) and cos(2.3t), t = frame / 70 in 80 bits.
void frames(uint32_t first, uint32_t count, uint32_t block) {
  Hash sine, cosine, place;
  uint32_t block_start = first;
  for (uint32_t n = 0; n < count; ++n) {
    const uint32_t frame = first + n;
    const real80 t = static_cast<real80>(frame) / 70;
    const double s = std::sin(static_cast<double>(7 * t));
    const double c = std::cos(static_cast<double>(real80{2.3} * t));
    sine.add(bits(s));
    cosine.add(bits(c));
    place.add(static_cast<uint64_t>(static_cast<int>(s * real80{50} + 128)) << 32 |
              static_cast<uint32_t>(static_cast<int>(c * real80{20} + 128)));
    if ((n + 1) % block == 0 || n + 1 == count) {
      std::printf("%u %016llx %016llx %016llx\n", block_start,
                  static_cast<unsigned long long>(sine.value),
                  static_cast<unsigned long long>(cosine.value),
                  static_cast<unsigned long long>(place.value));
      sine = cosine = place = Hash();
      block_start = frame + 1;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "tables") == 0) {
    tables();
  } else if (argc == 5 && std::strcmp(argv[1], "frames") == 0) {
    frames(static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)),
           static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)),
           static_cast<uint32_t>(std::strtoul(argv[4], nullptr, 10)));
  } else {
    std::fprintf(stderr, "usage: libm_probe tables | frames FIRST COUNT BLOCK\n");
    return 2;
  }
  return 0;
}
