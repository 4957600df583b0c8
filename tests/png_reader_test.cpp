// The PNG reader the engine and the tools share: what it promises a caller whatever the caller's
// prepare function does. What each caller makes of it is tested with the caller.
#include <gtest/gtest.h>

#include "datafile/png_reader.h"
#include "support/show_harness.h"

namespace {

using datafile::PngHeader;
using datafile::PngPixels;
using support::Bytes;
using support::make_png;
using support::PngKind;
using support::Rgb;

void filler_first(png_structp png, const PngHeader&, std::string&) {
  png_set_filler(png, 0, PNG_FILLER_BEFORE);
}
void no_transforms(png_structp, const PngHeader&, std::string&) {}
void refuse_all(png_structp, const PngHeader& header, std::string& refusal) {
  refusal = std::to_string(header.width) + " x " + std::to_string(header.height);
}

TEST(PngReader, AllocatesOnlyFourBytesAPixelWithinTheLimitsAndSaysWhyNot) {
  const Bytes small = make_png(3, 2, Rgb{10, 20, 30});
  const Bytes cut(small.begin(), small.end() - 20);
  const Bytes tall = make_png(1, 3000, Rgb{1, 2, 3});
  struct Case {
    const char* name;
    Bytes png;
    void (*prepare)(png_structp, const PngHeader&, std::string&);
    PngPixels::Outcome outcome;
    std::string problem;
  };
  const Case cases[] = {
      {"decoded", small, filler_first, PngPixels::DECODED, ""},
      {"cut short, in the caller's words", cut, filler_first, PngPixels::LIBPNG_ERROR, "cut"},
      {"refused", small, refuse_all, PngPixels::REFUSED, "3 x 2"},
      {"rows of 3 bytes a pixel", small, no_transforms, PngPixels::LIBPNG_ERROR,
       "the rows do not come out as 4 bytes a pixel"},
      {"3000 rows", tall, filler_first, PngPixels::TOO_LARGE, ""},
      {"no signature", Bytes(16, 'x'), filler_first, PngPixels::NOT_PNG, ""},
  };
  for (const Case& c : cases) {
    PngPixels read = datafile::read_png(c.png, {.prepare = c.prepare, .cut_short = "cut"});
    EXPECT_EQ(read.outcome, c.outcome) << c.name;
    EXPECT_EQ(read.problem, c.problem) << c.name;
    if (c.outcome == PngPixels::DECODED) {
      EXPECT_EQ(read.bytes.size(), size_t{3} * 2 * 4);
      EXPECT_EQ(Bytes(read.bytes.begin(), read.bytes.begin() + 4), (Bytes{0, 10, 20, 30}));
      EXPECT_EQ(read.consumed, c.png.size());
    } else if (c.outcome != PngPixels::LIBPNG_ERROR) {
      EXPECT_TRUE(read.bytes.empty()) << c.name;  // refused on the header's word alone
    }
  }
  // The caller words the refusal of a picture too large from the size the header claims.
  PngPixels too_large = datafile::read_png(tall, {.prepare = filler_first});
  EXPECT_EQ(too_large.width, 1u);
  EXPECT_EQ(too_large.height, 3000u);
}

}  // namespace
