// The x87 80-bit extended format in software, and `real80`, the type the effects compute in.
#pragma once

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <utility>

namespace fx {

// One sign bit, a 15-bit exponent (bias 16383) and a 64-bit significand whose leading bit is
// explicit, rounded to nearest with ties to even after every operation: the results an x87
// gives with its precision control at 64 bits, as it runs under glibc on x86-64. The effects
// depend on those exact roundings (a product that rounds one way truncates to another pixel),
// and long double is this format only on x86; elsewhere (wasm32: IEEE binary128) it rounds
// differently. An overflow gives the x87's infinity and an invalid operation its default NaN;
// NaN operands are not propagated with their payloads (the effects never form NaNs).
class Extended {
 public:
  constexpr Extended() = default;
  // Integers up to 64 bits and floats convert exactly, as on the x87, and implicitly, as they
  // do to long double: the effects' mixed expressions read the same with either type.
  template <typename T>
  requires std::is_integral_v<T>
  constexpr Extended(T value) {
    const bool negative = value < 0;
    const uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    *this = from_integer(negative, magnitude);
  }
  constexpr Extended(double value) { *this = from_binary(std::bit_cast<uint64_t>(value), 52, 11); }
  constexpr Extended(float value) { *this = from_binary(std::bit_cast<uint32_t>(value), 23, 8); }

  // To integers: truncation toward zero (the effects keep within the target type's range).
  template <typename T>
  requires std::is_integral_v<T>
  constexpr explicit operator T() const { return static_cast<T>(to_int64()); }
  // To double and float: rounded to nearest, ties to even, as the x87's stores round.
  constexpr explicit operator double() const { return std::bit_cast<double>(to_binary(52, 11)); }
  constexpr explicit operator float() const {
    return std::bit_cast<float>(static_cast<uint32_t>(to_binary(23, 8)));
  }

  constexpr Extended operator-() const { return Extended(significand_, sign_exponent_ ^ 0x8000); }
  friend constexpr Extended operator+(Extended a, Extended b) { return add(a, b, false); }
  friend constexpr Extended operator-(Extended a, Extended b) { return add(a, b, true); }
  friend constexpr Extended operator*(Extended a, Extended b) { return multiply(a, b); }
  friend constexpr Extended operator/(Extended a, Extended b) { return divide(a, b); }
  constexpr Extended& operator+=(Extended b) { return *this = *this + b; }
  constexpr Extended& operator-=(Extended b) { return *this = *this - b; }
  constexpr Extended& operator*=(Extended b) { return *this = *this * b; }
  constexpr Extended& operator/=(Extended b) { return *this = *this / b; }

  friend constexpr bool operator==(Extended a, Extended b) { return compare(a, b) == 0; }
  friend constexpr bool operator<(Extended a, Extended b) { return compare(a, b) == -1; }
  friend constexpr bool operator>(Extended a, Extended b) { return compare(a, b) == 1; }
  friend constexpr bool operator<=(Extended a, Extended b) {
    const int c = compare(a, b);
    return c == -1 || c == 0;
  }
  friend constexpr bool operator>=(Extended a, Extended b) {
    const int c = compare(a, b);
    return c == 1 || c == 0;
  }

  // The fraction dropped, toward zero (std::trunc).
  friend constexpr Extended trunc(Extended a) {
    const int e = a.exponent();
    if (a.is_special() || e >= 63) return a;
    if (e < 0) return Extended(0, a.sign_exponent_ & 0x8000);
    const uint64_t kept = ~uint64_t{0} << (63 - e);
    return Extended(a.significand_ & kept, a.sign_exponent_);
  }

  // The 80 bits as the x87 stores them: significand, then sign and exponent.
  constexpr uint64_t significand() const { return significand_; }
  constexpr uint16_t sign_exponent() const { return sign_exponent_; }
  static constexpr Extended from_bits(uint64_t significand, uint16_t sign_exponent) {
    return Extended(significand, sign_exponent);
  }

 private:
  using Wide = unsigned __int128;
  static constexpr int BIAS = 16383;
  static constexpr int MAX_BIASED = 0x7FFF;

  constexpr Extended(uint64_t significand, uint16_t sign_exponent)
      : significand_(significand), sign_exponent_(sign_exponent) {}

  constexpr bool negative() const { return (sign_exponent_ & 0x8000) != 0; }
  constexpr int biased() const { return sign_exponent_ & 0x7FFF; }
  constexpr bool is_special() const { return biased() == MAX_BIASED; }
  constexpr bool is_nan() const { return is_special() && (significand_ << 1) != 0; }
  constexpr bool is_zero() const { return significand_ == 0 && !is_special(); }
  // The unbiased exponent of the significand's bit 63 (subnormals read with exponent 1).
  constexpr int exponent() const { return (biased() == 0 ? 1 : biased()) - BIAS; }

  // A finite nonzero value as significand * 2^(exponent - 63) with bit 63 set.
  struct Unpacked {
    uint64_t significand;
    int exponent;
  };
  constexpr Unpacked unpack() const {
    const int shift = std::countl_zero(significand_);
    return {significand_ << shift, exponent() - shift};
  }

  static constexpr Extended infinity(bool negative) {
    return Extended(uint64_t{1} << 63, static_cast<uint16_t>((negative ? 0x8000 : 0) | MAX_BIASED));
  }
  // The x87's default NaN ("real indefinite"), negative.
  static constexpr Extended nan() { return Extended(uint64_t{3} << 62, 0xFFFF); }
  static constexpr Extended zero(bool negative) { return Extended(0, negative ? 0x8000 : 0); }

  // Rounds w * 2^(e127 - 127) to the format, w != 0: the one rounding every operation ends in.
  // Bits below the significand's 64 are the guard bit (the highest of them) and the sticky
  // rest; an exact remainder jammed into bit 0 by the caller counts in the sticky rest.
  static constexpr Extended round(bool negative, int e127, Wide w) {
    const int shift = std::countl_zero(static_cast<uint64_t>(w >> 64)) +
                      ((w >> 64) == 0 ? std::countl_zero(static_cast<uint64_t>(w)) : 0);
    w <<= shift;
    int e = e127 - shift;  // the exponent of bit 127, now the leading one
    int biased = e + BIAS;
    if (biased <= 0) {
      // Below the normal range: shift right to exponent 1, keeping what falls off as sticky.
      const int down = 1 - biased;
      w = down >= 127 ? Wide{1} : (w >> down) | Wide{(w & ((Wide{1} << down) - 1)) != 0};
      biased = 0;
    }
    uint64_t significand = static_cast<uint64_t>(w >> 64);
    const uint64_t rest = static_cast<uint64_t>(w);
    const uint64_t half = uint64_t{1} << 63;
    if (rest > half || (rest == half && (significand & 1) != 0)) {
      ++significand;
      if (significand == 0) {  // carried out of bit 63: 1.000... at the next exponent
        significand = half;
        ++biased;
      } else if (biased == 0 && significand == half) {
        biased = 1;  // a subnormal rounded up into the smallest normal
      }
    }
    if (biased >= MAX_BIASED) return infinity(negative);
    return Extended(significand, static_cast<uint16_t>((negative ? 0x8000 : 0) | biased));
  }

  static constexpr Extended from_integer(bool negative, uint64_t magnitude) {
    if (magnitude == 0) return zero(false);
    return round(negative, 127 - 64, Wide{magnitude} << 64);  // 64 bits: always exact
  }

  // IEEE binary formats in (double: 52 fraction bits, 11 exponent bits; float: 23, 8).
  static constexpr Extended from_binary(uint64_t bits, int fraction_bits, int exponent_bits) {
    const bool negative = (bits >> (fraction_bits + exponent_bits)) != 0;
    const int max_biased = (1 << exponent_bits) - 1, bias = max_biased / 2;
    const int biased = static_cast<int>((bits >> fraction_bits) & uint64_t(max_biased));
    const uint64_t fraction = bits & ((uint64_t{1} << fraction_bits) - 1);
    if (biased == max_biased) return fraction != 0 ? nan() : infinity(negative);
    if (biased == 0 && fraction == 0) return zero(negative);
    const uint64_t significand = biased == 0 ? fraction : fraction | uint64_t{1} << fraction_bits;
    const int e = (biased == 0 ? 1 : biased) - bias - fraction_bits;  // of the significand's bit 0
    return round(negative, e + 127, Wide{significand});
  }

  constexpr uint64_t to_binary(int fraction_bits, int exponent_bits) const {
    const uint64_t sign = uint64_t{negative()} << (fraction_bits + exponent_bits);
    const int max_biased = (1 << exponent_bits) - 1, bias = max_biased / 2;
    if (is_nan())
      return sign | uint64_t(max_biased) << fraction_bits | uint64_t{1} << (fraction_bits - 1);
    if (is_special()) return sign | uint64_t(max_biased) << fraction_bits;
    if (is_zero()) return sign;
    const auto [significand, e] = unpack();
    int biased = e + bias;
    // Bits dropped from the 64: 63 - fraction_bits for a normal result, more below its range.
    int drop = 63 - fraction_bits;
    if (biased >= max_biased) return sign | uint64_t(max_biased) << fraction_bits;
    if (biased <= 0) {
      drop += 1 - biased;
      biased = 0;
    }
    if (drop > 64) return sign;  // below half the smallest subnormal: rounds to zero
    const uint64_t kept = drop == 64 ? 0 : significand >> drop;
    const uint64_t dropped = drop == 64 ? significand : significand & ((uint64_t{1} << drop) - 1);
    const uint64_t half = uint64_t{1} << (drop - 1);
    uint64_t result = kept;
    if (dropped > half || (dropped == half && (kept & 1) != 0)) ++result;
    // A carry into the hidden bit's place moves the exponent up by one; the sum does it.
    const uint64_t hidden = uint64_t{1} << fraction_bits;
    uint64_t bits =
        (biased == 0 ? result : (result - hidden) + (uint64_t(biased) << fraction_bits));
    if ((bits >> fraction_bits) >= uint64_t(max_biased))
      bits = uint64_t(max_biased) << fraction_bits;
    return sign | bits;
  }

  constexpr int64_t to_int64() const {
    if (is_special() || is_zero()) return 0;
    const int e = exponent();
    if (e < 0) return 0;
    if (e > 62) return INT64_MIN;  // out of range: the x87's "integer indefinite"
    const int64_t magnitude = static_cast<int64_t>(significand_ >> (63 - e));
    return negative() ? -magnitude : magnitude;
  }

  static constexpr Extended add(Extended a, Extended b, bool subtract) {
    if (subtract) b = -b;
    if (a.is_nan() || b.is_nan()) return nan();
    if (a.is_special() || b.is_special()) {
      if (a.is_special() && b.is_special() && a.negative() != b.negative()) return nan();
      return a.is_special() ? a : b;
    }
    if (a.is_zero() && b.is_zero()) return zero(a.negative() && b.negative());
    if (a.is_zero()) return b;
    if (b.is_zero()) return a;
    Unpacked x = a.unpack(), y = b.unpack();
    bool x_negative = a.negative(), y_negative = b.negative();
    if (x.exponent < y.exponent || (x.exponent == y.exponent && x.significand < y.significand)) {
      std::swap(x, y);
      std::swap(x_negative, y_negative);
    }
    // |x| >= |y|. Both at bit 126 of 128 leaves a bit for the carry and 63 exact bits below
    // the significand, so a shift of up to 63 loses nothing; beyond, only the sticky bit counts.
    const Wide wx = Wide{x.significand} << 63;
    const int distance = x.exponent - y.exponent;
    Wide wy = Wide{y.significand} << 63;
    if (distance >= 127)
      wy = 1;
    else if (distance > 0)
      wy = (wy >> distance) | Wide{(wy & ((Wide{1} << distance) - 1)) != 0};
    const Wide w = x_negative == y_negative ? wx + wy : wx - wy;
    if (w == 0) return zero(false);  // exact cancellation: +0 when rounding to nearest
    return round(x_negative, x.exponent + 1, w);
  }

  static constexpr Extended multiply(Extended a, Extended b) {
    const bool negative = a.negative() != b.negative();
    if (a.is_nan() || b.is_nan()) return nan();
    if (a.is_special() || b.is_special()) {
      if (a.is_zero() || b.is_zero()) return nan();
      return infinity(negative);
    }
    if (a.is_zero() || b.is_zero()) return zero(negative);
    const Unpacked x = a.unpack(), y = b.unpack();
    return round(negative, x.exponent + y.exponent + 1, Wide{x.significand} * y.significand);
  }

  static constexpr Extended divide(Extended a, Extended b) {
    const bool negative = a.negative() != b.negative();
    if (a.is_nan() || b.is_nan()) return nan();
    if (a.is_special()) return b.is_special() ? nan() : infinity(negative);
    if (b.is_special()) return zero(negative);
    if (b.is_zero()) return a.is_zero() ? nan() : infinity(negative);
    if (a.is_zero()) return zero(negative);
    const Unpacked x = a.unpack(), y = b.unpack();
    // Long division in two 64-bit digits: the first holds the quotient's leading 64 bits
    // (the dividend is placed so that it has its bit 63 set), the second the guard and the
    // round bits, the remainder after it the sticky bit.
    const bool at_least = x.significand >= y.significand;
    const Wide dividend = Wide{x.significand} << (at_least ? 63 : 64);
    const uint64_t high = static_cast<uint64_t>(dividend / y.significand);
    const Wide remainder = (dividend % y.significand) << 64;
    const uint64_t low = static_cast<uint64_t>(remainder / y.significand);
    const bool sticky = remainder % y.significand != 0;
    const Wide w = (Wide{high} << 64 | low) | Wide{sticky};
    return round(negative, x.exponent - y.exponent - (at_least ? 0 : 1), w);
  }

  // -1, 0 or 1 as a < b, a == b or a > b; 2 when either is a NaN.
  static constexpr int compare(Extended a, Extended b) {
    if (a.is_nan() || b.is_nan()) return 2;
    if (a.is_zero() && b.is_zero()) return 0;
    if (a.negative() != b.negative()) return a.negative() ? -1 : 1;
    const int order = a.magnitude_order(b);
    return a.negative() ? -order : order;
  }
  constexpr int magnitude_order(Extended b) const {
    if (is_zero()) return -1;
    if (b.is_zero()) return 1;
    const Unpacked x = unpack(), y = b.unpack();
    if (x.exponent != y.exponent) return x.exponent < y.exponent ? -1 : 1;
    if (x.significand != y.significand) return x.significand < y.significand ? -1 : 1;
    return 0;
  }

  uint64_t significand_ = 0;
  uint16_t sign_exponent_ = 0;
};

// The effects' type: the native long double where it is the x87 format (so the x86-64 build
// keeps its speed and its bits), the software format elsewhere, or when TUNDRA_SOFT_EXTENDED
// asks for it to be compared with the native one.
#if LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384 && !defined(TUNDRA_SOFT_EXTENDED)
using real80 = long double;
inline long double trunc(long double value) {
  return std::trunc(value);
}
#else
using real80 = Extended;
#endif

}  // namespace fx
