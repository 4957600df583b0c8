// The effects' random numbers: one stream per show, the same numbers on every machine and libc.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace fx {

// The additive-feedback generator an unseeded glibc rand() runs, written out so that a show looks
// the same wherever it is built. Words r[0..30] come from the seed 1 by r[i] = 16807 r[i - 1]
// mod (2^31 - 1); from then on r[i] = r[i - 3] + r[i - 31] mod 2^32 (r[31..33] repeat r[0..2]).
// The first 310 sums past r[33] are thrown away, and each later one gives a number, r[i] >> 1.
// A show owns one and hands it to its effects when it creates them; shows never share one.
class Random {
 public:
  Random() { reset(); }
  // Effects keep a pointer to their show's stream; a copy would draw the same numbers twice.
  Random(const Random&) = delete;
  Random& operator=(const Random&) = delete;

  // Back to the first number, as a show does when it is made and when it is reset.
  void reset();

  // The next number, 0 .. 2^31 - 1.
  int32_t next() {
    // The ring holds the last 31 words: r[i - 31] sits where r[i] goes, and r[i - 3] 28 past it.
    uint32_t& word = words_[position_];
    word += words_[(position_ + 28) % WORDS];
    position_ = (position_ + 1) % WORDS;
    return static_cast<int32_t>(word >> 1);
  }

  // The next number scaled to 0 .. m - 1 as trunc(r x m x 2^-31), exact in integers for any m
  // from 0 to 2^31.
  int32_t below(int64_t m) { return static_cast<int32_t>(int64_t{next()} * m >> 31); }

 private:
  static constexpr size_t WORDS = 31;
  std::array<uint32_t, WORDS> words_{};
  size_t position_ = 0;  // where r[i] for the next i goes: i mod 31
};

}  // namespace fx
