// Seeding the effects' random stream.
#include "fx/random.h"

namespace fx {

void Random::reset() {
  // The seed 1 spread over 31 words by the multiplicative generator mod 2^31 - 1; from seed 1
  // every word stays positive, so a plain 64-bit remainder is exact.
  constexpr uint64_t MULTIPLIER = 16807, MODULUS = 2147483647;
  words_[0] = 1;
  for (size_t i = 1; i < WORDS; ++i)
    words_[i] = static_cast<uint32_t>(words_[i - 1] * MULTIPLIER % MODULUS);
  // r[31..33] copy r[0..2], which already sit in their places in the ring: the first sum is r[34].
  position_ = 34 % WORDS;
  for (int i = 0; i < 310; ++i) next();
}

}  // namespace fx
