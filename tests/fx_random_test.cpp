// The effects' random stream: glibc's unseeded rand() sequence, from any libc.
#include <gtest/gtest.h>

#include <cstdlib>

#include "fx/random.h"

namespace {

TEST(RandomStream, DrawsWhatThisMachinesUnseededRandDrawsAndStartsOverOnReset) {
  // The one use of libc's generator in the project: the reference the stream is held to.
  std::srand(1);
  fx::Random random;
  for (int i = 0; i < 1000000; ++i) ASSERT_EQ(random.next(), std::rand()) << "number " << i;
  random.reset();
  EXPECT_EQ(random.next(), 1804289383);
  EXPECT_EQ(random.below(400), 157);  // trunc(846930886 x 400 / 2^31)
}

}  // namespace
