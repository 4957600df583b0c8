// Cells in a FreeType font.
#include "tools/render/cell_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace tools::render {

struct CellFont::Face {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~Face() {
    if (face != nullptr) FT_Done_Face(face);
    if (library != nullptr) FT_Done_FreeType(library);
  }
};

CellFont::CellFont() = default;
CellFont::~CellFont() = default;

std::string CellFont::open(const std::string& path, int cell_width) {
  face_ = std::make_unique<Face>();
  glyphs_.clear();
  if (FT_Init_FreeType(&face_->library) != 0) return "cannot start FreeType";
  if (FT_New_Face(face_->library, path.c_str(), 0, &face_->face) != 0)
    return "cannot read the font " + path;
  FT_Face face = face_->face;
  // The smallest size whose full block is as wide as the cell asked for.
  for (int pixels = cell_width; pixels < 8 * cell_width; ++pixels) {
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(pixels)) != 0) break;
    if (FT_Load_Char(face, display::FULL_BLOCK, FT_LOAD_RENDER) != 0 ||
        FT_Get_Char_Index(face, display::FULL_BLOCK) == 0)
      return "the font " + path + " has no full block";
    if (int(face->glyph->bitmap.width) < cell_width) continue;
    cell_width_ = cell_width;
    cell_height_ = int(face->glyph->bitmap.rows);
    baseline_ = face->glyph->bitmap_top;
    return {};
  }
  return "the font " + path + " has no size with " + std::to_string(cell_width) + "-pixel cells";
}

const std::vector<uint8_t>& CellFont::coverage(char32_t symbol) {
  auto [entry, added] = glyphs_.try_emplace(symbol);
  std::vector<uint8_t>& cell = entry->second;
  if (!added) return cell;
  cell.assign(size_t(cell_width_) * cell_height_, 0);
  FT_Face face = face_->face;
  if (symbol == U' ' || FT_Get_Char_Index(face, symbol) == 0 ||
      FT_Load_Char(face, symbol, FT_LOAD_RENDER) != 0)
    return cell;
  const FT_Bitmap& bitmap = face->glyph->bitmap;
  const int left = face->glyph->bitmap_left, top = baseline_ - face->glyph->bitmap_top;
  for (int row = 0; row < int(bitmap.rows); ++row)
    for (int column = 0; column < int(bitmap.width); ++column) {
      const int x = left + column, y = top + row;
      if (x < 0 || y < 0 || x >= cell_width_ || y >= cell_height_) continue;
      cell[size_t(y) * cell_width_ + x] = bitmap.buffer[row * bitmap.pitch + column];
    }
  return cell;
}

namespace {

Rgb rgb_of(const display::Colour& colour, Rgb default_colour) {
  if (colour.kind != display::Colour::Kind::DIRECT) return default_colour;
  return {uint8_t(colour.value >> 16), uint8_t(colour.value >> 8), uint8_t(colour.value)};
}

uint8_t mix(uint8_t background, uint8_t foreground, uint8_t cover) {
  return uint8_t((background * (255 - cover) + foreground * cover + 127) / 255);
}

}  // namespace

void CellFont::draw(Image& image, int x, int y, const display::CellGrid& grid) {
  if (face_ == nullptr || cell_width_ == 0) return;
  for (int row = 0; row < grid.rows; ++row)
    for (int column = 0; column < grid.columns; ++column) {
      const display::Cell& cell = grid.at(column, row);
      const Rgb fg = rgb_of(cell.foreground, {0xAA, 0xAA, 0xAA});
      const Rgb bg = rgb_of(cell.background, {0, 0, 0});
      const std::vector<uint8_t>& cover = coverage(cell.symbol);
      const int left = x + column * cell_width_, top = y + row * cell_height_;
      for (int dy = 0; dy < cell_height_; ++dy)
        for (int dx = 0; dx < cell_width_; ++dx) {
          const int px = left + dx, py = top + dy;
          if (px < 0 || py < 0 || px >= image.width || py >= image.height) continue;
          const uint8_t c = cover[size_t(dy) * cell_width_ + dx];
          uint8_t* pixel = image.at(px, py);
          pixel[0] = mix(bg.r, fg.r, c);
          pixel[1] = mix(bg.g, fg.g, c);
          pixel[2] = mix(bg.b, fg.b, c);
        }
    }
}

}  // namespace tools::render
