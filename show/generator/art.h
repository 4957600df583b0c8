// The show's text art: the font the scroller uses, and pictures drawn in characters.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "canvas.h"

namespace show {

// The font art tundra-dat compiles: `glyph c` lines, rows of '#' and '.', ';' comments.
struct Font {
  struct Glyph {
    int width = 0;
    std::vector<std::string> rows;
  };
  std::map<char, Glyph> glyphs;
  int height = 0;

  static Font load(const std::string& path);
  // Width of `text` as draw_text lays it out at the given scale.
  int text_width(const std::string& text, int scale = 1) const;
};

// Draws `text` as the scroller would: each glyph followed by two more columns, characters
// without a glyph (the space) a quarter of a 32-pixel cell wide. Lit pixels become `colour`,
// each font pixel a scale x scale square; unlit pixels are left alone. Returns the width.
int draw_text(Canvas& canvas, const Font& font, const std::string& text, int x, int y,
              uint16_t colour, int scale = 1);
// The same, centred on column `centre_x`.
void draw_text_centred(Canvas& canvas, const Font& font, const std::string& text, int centre_x,
                       int y, uint16_t colour, int scale = 1);

// A picture drawn in characters, one character a cell of pixels (2 x 2 by default, one
// character of the ASCII screen):
//
//   ; comment
//   size 80 25        characters a row and rows (longer rows are cut, shorter end in black)
//   cell 2 2          pixels a character covers
//   key # 255         the display grey of a character ('.' and ' ' are 0)
//   key * 159 A5      the same with the pixel's high byte in hex (red and green's top bits),
//                     which only the colour display shows; without it the grey is repeated
//   art               every line after this one is a row of cells
Canvas load_text_art(const std::string& path);

}  // namespace show
