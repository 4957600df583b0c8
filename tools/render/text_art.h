// Characters drawn with AA-lib's font bitmaps, as a terminal shows them: the ASCII frames of
// --ascii-png, --gif and the contact sheet, and the sheet's labels.
#pragma once

#include <aalib.h>

#include <string_view>

#include "tools/render/image.h"

namespace tools::render {

// The VGA text colours: light grey on black, the look of the font AA-lib measures by default.
inline constexpr uint8_t TEXT_GREY = 0xAA;
inline constexpr uint8_t BACKGROUND_GREY = 0x00;

// AA-lib's fonts are 8 pixels wide: one byte a row.
inline constexpr int CELL_WIDTH = 8;

// Draws `text` on one line with its top-left corner at (x, y): each character a cell of 8 x
// font.height pixels, `lit` where the font's bit is set and `unlit` elsewhere. An RGB image gets
// the grey in all three channels. Cells that do not fit inside the image are left out.
void draw_text(Image& image, int x, int y, std::string_view text, const aa_font& font,
               uint8_t lit = TEXT_GREY, uint8_t unlit = BACKGROUND_GREY);

// A grey picture of a whole screen of `columns` x `rows` characters given row by row.
Image draw_screen(std::string_view text, int columns, int rows, const aa_font& font);

}  // namespace tools::render
