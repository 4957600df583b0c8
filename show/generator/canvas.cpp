// Canvas drawing and PNG output for the show's pictures.
#include "canvas.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace show {

Canvas::Canvas(int w, int h, uint16_t colour)
    : width(w), height(h), pixels(size_t(w) * h, colour) {}

void Canvas::fill_rect(int x, int y, int w, int h, uint16_t colour) {
  for (int row = std::max(y, 0); row < std::min(y + h, height); ++row)
    for (int column = std::max(x, 0); column < std::min(x + w, width); ++column)
      at(column, row) = colour;
}

void Canvas::fill_ellipse(double cx, double cy, double rx, double ry, uint16_t colour) {
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
      if (dx * dx + dy * dy <= 1.0) at(x, y) = colour;
    }
}

void Canvas::fill_polygon(const std::vector<std::pair<double, double>>& points, uint16_t colour) {
  const size_t n = points.size();
  for (int y = 0; y < height; ++y) {
    const double py = y + 0.5;
    std::vector<double> crossings;
    for (size_t i = 0; i < n; ++i) {
      const auto [x0, y0] = points[i];
      const auto [x1, y1] = points[(i + 1) % n];
      if ((y0 <= py) != (y1 <= py)) crossings.push_back(x0 + (py - y0) / (y1 - y0) * (x1 - x0));
    }
    std::sort(crossings.begin(), crossings.end());
    for (size_t i = 0; i + 1 < crossings.size(); i += 2)
      for (int x = std::max(0, int(std::ceil(crossings[i] - 0.5)));
           x < width && x + 0.5 <= crossings[i + 1]; ++x)
        at(x, y) = colour;
  }
}

void Canvas::paste(const Canvas& other, int x, int y, int transparent) {
  for (int row = 0; row < other.height; ++row)
    for (int column = 0; column < other.width; ++column) {
      const uint16_t p = other.at(column, row);
      if (int(p) != transparent) put(x + column, y + row, p);
    }
}

void write_png(const Canvas& canvas, const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot write " + path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    throw std::runtime_error("libpng failed on " + path);
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, png_uint_32(canvas.width), png_uint_32(canvas.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> row(size_t(canvas.width) * 3);
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) {
      const uint16_t p = canvas.at(x, y);
      row[size_t(x) * 3 + 0] = png_byte((p >> 11) << 3);          // red, 5 bits
      row[size_t(x) * 3 + 1] = png_byte(((p >> 5) & 0x3F) << 2);  // green, 6 bits
      row[size_t(x) * 3 + 2] = png_byte((p & 0x1F) << 3);         // blue, 5 bits
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(file) != 0) throw std::runtime_error("cannot finish " + path);
}

uint32_t hash(uint32_t x, uint32_t y, uint32_t seed) {
  uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u ^ seed * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

}  // namespace show
