// Terminal cells drawn with a real monospace font through FreeType, as a terminal shows them:
// each symbol's coverage mixes the cell's foreground into its background.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "display/cell_grid.h"
#include "tools/render/image.h"

namespace tools::render {

class CellFont {
 public:
  CellFont();
  ~CellFont();
  CellFont(const CellFont&) = delete;
  CellFont& operator=(const CellFont&) = delete;

  // Loads the font at `path` at the size whose full block is `cell_width` pixels wide; the
  // cell is then as tall as that block, so blocks tile without seams. Returns an error text.
  std::string open(const std::string& path, int cell_width);

  int cell_width() const { return cell_width_; }
  int cell_height() const { return cell_height_; }

  // Draws `grid` into the RGB `image` with its top-left cell at (x, y). Only 24-bit colours are
  // drawn as they are; the terminal's default colours are black and light grey.
  void draw(Image& image, int x, int y, const display::CellGrid& grid);

 private:
  struct Face;
  // The symbol's coverage of its cell, 0 to 255, row by row; a symbol the font lacks is blank.
  const std::vector<uint8_t>& coverage(char32_t symbol);

  std::unique_ptr<Face> face_;
  int cell_width_ = 0;
  int cell_height_ = 0;
  int baseline_ = 0;  // rows from the cell's top to the baseline
  std::unordered_map<char32_t, std::vector<uint8_t>> glyphs_;
};

}  // namespace tools::render
