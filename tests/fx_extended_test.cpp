// The software extended format against the x87's own long double, bit for bit.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

#include "fx/extended.h"

namespace {

#if defined(__x86_64__) && LDBL_MANT_DIG == 64

using fx::Extended;

// SplitMix64: a fixed stream, so a failure names an operand that can be run again.
struct Stream {
  uint64_t state;
  uint64_t next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
    return z ^ (z >> 31);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
};

long double native(Extended x) {
  long double value = 0;
  const uint64_t significand = x.significand();
  const uint16_t sign_exponent = x.sign_exponent();
  std::memcpy(&value, &significand, 8);
  std::memcpy(reinterpret_cast<char*>(&value) + 8, &sign_exponent, 2);
  return value;
}

Extended soft(long double value) {
  uint64_t significand = 0;
  uint16_t sign_exponent = 0;
  std::memcpy(&significand, &value, 8);
  std::memcpy(&sign_exponent, reinterpret_cast<const char*>(&value) + 8, 2);
  return Extended::from_bits(significand, sign_exponent);
}

std::string show(Extended x) {
  char text[64];
  std::snprintf(text, sizeof text, "%04x:%016llx (%La)", x.sign_exponent(),
                static_cast<unsigned long long>(x.significand()), native(x));
  return text;
}

// Significands that make carries (all ones), exact halves and near-ties (one bit at either
// end), or anything.
uint64_t significand(Stream& s) {
  switch (s.below(6)) {
    case 0:
      return ~uint64_t{0} - static_cast<uint64_t>(s.below(4));
    case 1:
      return uint64_t{1} << 63 | static_cast<uint64_t>(s.below(4));
    case 2:
      return uint64_t{1} << 63 | uint64_t{1} << s.below(63);
    default:
      return s.next() | uint64_t{1} << 63;
  }
}

// An operand near `exponent` (biased), mostly in the effects' range of a few hundred down to
// 2^-40, sometimes at the ends of the format (huge, tiny, subnormal) or a signed zero.
Extended operand(Stream& s, int exponent) {
  const uint16_t sign = s.below(2) ? 0x8000 : 0;
  switch (s.below(40)) {
    case 0:
      return Extended::from_bits(0, sign);
    case 1:
      return Extended::from_bits(significand(s) >> (1 + s.below(63)), sign);  // subnormal
    case 2:
      return Extended::from_bits(significand(s), sign | static_cast<uint16_t>(1 + s.below(80)));
    case 3:
      return Extended::from_bits(significand(s),
                                 sign | static_cast<uint16_t>(0x7FFE - s.below(80)));
    case 4:
      return Extended(
          static_cast<double>(std::bit_cast<double>(s.next() >> 12)));  // subnormal double
    case 5:
      return Extended(static_cast<int32_t>(s.next()));
    case 6:
      return Extended(std::bit_cast<float>(static_cast<uint32_t>(s.next())) / 1e30f);
    default:
      return Extended::from_bits(significand(s), sign | static_cast<uint16_t>(exponent));
  }
}

bool same(Extended a, Extended b) {
  return a.significand() == b.significand() && a.sign_exponent() == b.sign_exponent();
}

TEST(Extended, EveryOperationRoundsAsTheX87Does) {
  struct Case {
    const char* name;
    std::function<Extended(Extended, Extended)> soft;
    std::function<long double(long double, long double)> native;
  };
  const Case cases[] = {
      {"+", [](Extended a, Extended b) { return a + b; }, std::plus<long double>()},
      {"-", [](Extended a, Extended b) { return a - b; }, std::minus<long double>()},
      {"*", [](Extended a, Extended b) { return a * b; }, std::multiplies<long double>()},
      {"/", [](Extended a, Extended b) { return a / b; }, std::divides<long double>()},
      {"trunc", [](Extended a, Extended) { return trunc(a); },
       [](long double a, long double) { return std::trunc(a); }},
      // The stores and the casts, read back into the format.
      {"double", [](Extended a, Extended) { return Extended(static_cast<double>(a)); },
       [](long double a, long double) { return static_cast<long double>(static_cast<double>(a)); }},
      {"float", [](Extended a, Extended) { return Extended(static_cast<float>(a)); },
       [](long double a, long double) { return static_cast<long double>(static_cast<float>(a)); }},
      {"int64",
       [](Extended a, Extended) {
         return Extended(fabsl(native(a)) < 0x1p63L ? static_cast<int64_t>(a) : 0);
       },
       [](long double a, long double) {
         return static_cast<long double>(fabsl(a) < 0x1p63L ? static_cast<int64_t>(a) : 0);
       }},
      {"compare",
       [](Extended a, Extended b) {
         return Extended((a < b) | (a == b) << 1 | (a > b) << 2 | (a <= b) << 3 | (a >= b) << 4);
       },
       [](long double a, long double b) {
         return static_cast<long double>((a < b) | (a == b) << 1 | (a > b) << 2 | (a <= b) << 3 |
                                         (a >= b) << 4);
       }},
  };
  Stream s{20261208};
  for (const Case& c : cases) {
    int failures = 0;
    for (int i = 0; i < 1'500'000 && failures < 5; ++i) {
      const int exponent = 16383 - 40 + s.below(50);
      const Extended a = operand(s, exponent);
      // b is a's neighbour in exponent, or up to 70 binades apart: ties, carries, cancellation.
      const int apart = s.below(3) == 0 ? s.below(3) : s.below(72);
      const Extended b = operand(s, s.below(2) ? exponent - apart : exponent + apart);
      const Extended want = soft(c.native(native(a), native(b)));
      const Extended got = c.soft(a, b);
      if (!same(want, got)) {
        ++failures;
        ADD_FAILURE() << show(a) << ' ' << c.name << ' ' << show(b) << ": " << show(got)
                      << ", the x87 gives " << show(want);
      }
    }
  }
}

// From double (subnormals among them, a random shift makes them often), float and integers.
TEST(Extended, ConvertsTheEffectsOperandsExactly) {
  Stream s{7};
  for (int i = 0; i < 1'000'000; ++i) {
    const uint64_t bits = (s.next() >> (s.below(2) * 12)) ^ (i % 2 ? uint64_t{1} << 63 : 0);
    const auto d = std::bit_cast<double>(bits);
    const auto f = std::bit_cast<float>(static_cast<uint32_t>(bits));
    ASSERT_TRUE(!std::isfinite(d) || same(Extended(d), soft(d))) << d;
    ASSERT_TRUE(!std::isfinite(f) || same(Extended(f), soft(f))) << f;
    ASSERT_TRUE(same(Extended(int64_t(bits)), soft(int64_t(bits)))) << bits;
    ASSERT_TRUE(same(Extended(uint16_t(bits)), soft(uint16_t(bits)))) << bits;
  }
  EXPECT_TRUE(same(Extended(-0.0), soft(-0.0L)));
}

#endif

}  // namespace
