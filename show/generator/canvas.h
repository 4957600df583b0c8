// Pictures for the show: RGB565 canvases, the display's grey palette, shapes, PNG output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace show {

// The ASCII display sees only a pixel's low 8 bits (blue's five bits and green's three low
// ones) as its grey. The high byte is free: grey(g) repeats g there, so that effects which
// compare whole 16-bit values (the fade) order pixels as the display orders their greys.
inline uint16_t grey(int g) {
  const uint16_t low = static_cast<uint16_t>(g < 0 ? 0 : g > 255 ? 255 : g);
  return static_cast<uint16_t>(low << 8 | low);
}

// A grey with a chosen high byte, for effects that read the channels themselves.
inline uint16_t grey_with_high(int g, int high) {
  return static_cast<uint16_t>((high & 0xFF) << 8 | (grey(g) & 0xFF));
}

// Row-major RGB565 pixels.
struct Canvas {
  Canvas(int width, int height, uint16_t colour = 0);

  uint16_t& at(int x, int y) { return pixels[size_t(y) * width + x]; }
  uint16_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  void put(int x, int y, uint16_t colour) {
    if (inside(x, y)) at(x, y) = colour;
  }

  void fill_rect(int x, int y, int w, int h, uint16_t colour);
  // An ellipse centred on (cx, cy) with half-axes rx and ry, in pixels.
  void fill_ellipse(double cx, double cy, double rx, double ry, uint16_t colour);
  // A convex or concave polygon, filled by the even-odd rule at pixel centres.
  void fill_polygon(const std::vector<std::pair<double, double>>& points, uint16_t colour);
  // Another canvas copied in with its top-left corner at (x, y); pixels of `transparent` skip.
  void paste(const Canvas& other, int x, int y, int transparent = -1);

  int width;
  int height;
  std::vector<uint16_t> pixels;
};

// Writes an 8-bit RGB PNG that the engine's reader turns back into exactly these RGB565
// values: each channel shifted up to 8 bits with zeros below.
void write_png(const Canvas& canvas, const std::string& path);

// A small integer hash for repeatable texture: the same inputs give the same bits everywhere.
uint32_t hash(uint32_t x, uint32_t y, uint32_t seed);

}  // namespace show
