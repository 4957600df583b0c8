// The colour display's sixels where a user meets them: in a real xterm started as a VT340 under
// Xvfb, whose screenshot must hold the picture's colours.
#include <gtest/gtest.h>

#include "fixtures/process.h"
#include "support/show_harness.h"

namespace {

using support::Rgb;

struct Screenshot {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0xRRGGBB
};

// The root window through xwd: a header of big-endian 32-bit fields, a colour table, then
// 32-bit pixels at depth 24.
Screenshot screenshot(const std::string& display) {
  const std::string shot = support::run_command("DISPLAY=" + display + " xwd -root -silent");
  Screenshot result;
  if (shot.size() < 100) return result;
  auto card32 = [&](size_t field) {
    const auto* p = reinterpret_cast<const unsigned char*>(shot.data()) + 4 * field;
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
  };
  result.width = int(card32(4));
  result.height = int(card32(5));
  const bool msb_first = card32(7) == 1;
  const size_t bytes_per_line = card32(12);
  const size_t at = card32(0) + 12 * size_t(card32(19));
  for (int y = 0; y < result.height; ++y)
    for (int x = 0; x < result.width; ++x) {
      const size_t i = at + size_t(y) * bytes_per_line + 4 * size_t(x);
      if (i + 4 > shot.size()) return result;
      const auto* p = reinterpret_cast<const unsigned char*>(shot.data()) + i;
      const uint32_t v = msb_first ? uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]
                                   : uint32_t{p[3]} << 24 | p[2] << 16 | p[1] << 8 | p[0];
      result.pixels.push_back(v & 0xFFFFFF);
    }
  return result;
}

TEST(ColourXterm, SixelsInAVt340XtermShowRedOnTheLeftAndBlueOnTheRight) {
  support::XServer x;
  ASSERT_FALSE(x.display.empty()) << "Xvfb did not start";
  support::TempDir dir;
  auto halves = [](int px, int) { return px < 80 ? Rgb{255, 0, 0} : Rgb{0, 0, 255}; };
  dir.write("data/mote-tundra-2003.dat",
            support::still_show(support::make_png(160, 50, halves), 3000));
  // Declared after the server, so the terminal is ended before the server it draws on.
  support::ProcessGuard terminal;
  terminal.start("cd " + support::shell_quote(dir.path) + " && DISPLAY=" + x.display +
                 " exec xterm -ti vt340 -geometry 100x30+0+0 -xrm 'XTerm*numColorRegisters: 256'"
                 " -e sh -c '" TUNDRA_PLAYER
                 " --display colour --pixel-mode sixels --no-farewell; echo $? > status'");
  int red = 0, blue = 0;
  Screenshot shot;
  support::wait_until(
      [&] {
        shot = screenshot(x.display);
        red = int(std::count(shot.pixels.begin(), shot.pixels.end(), 0xFF0000u));
        blue = int(std::count(shot.pixels.begin(), shot.pixels.end(), 0x0000FFu));
        return red > 5000 && blue > 5000;
      },
      30);
  ASSERT_GT(shot.width, 0) << "no screenshot";
  EXPECT_GT(red, 5000);
  EXPECT_GT(blue, 5000);
  // Red left of blue: the picture's halves side by side.
  long red_x = 0, blue_x = 0;
  for (size_t i = 0; i < shot.pixels.size(); ++i) {
    if (shot.pixels[i] == 0xFF0000u) red_x += long(i % size_t(shot.width));
    if (shot.pixels[i] == 0x0000FFu) blue_x += long(i % size_t(shot.width));
  }
  if (red > 0 && blue > 0) {
    EXPECT_LT(red_x / red, blue_x / blue);
  }
}

}  // namespace
