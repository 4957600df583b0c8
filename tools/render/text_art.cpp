// Drawing characters from AA-lib's font bitmaps.
#include "tools/render/text_art.h"

namespace tools::render {

void draw_text(Image& image, int x, int y, std::string_view text, const aa_font& font, uint8_t lit,
               uint8_t unlit) {
  if (y < 0 || y + font.height > image.height) return;
  for (size_t i = 0; i < text.size(); ++i) {
    const int left = x + static_cast<int>(i) * CELL_WIDTH;
    if (left < 0 || left + CELL_WIDTH > image.width) continue;
    // Character c's rows are bytes c * height to c * height + height - 1; the leftmost pixel of a
    // row is its most significant bit.
    const unsigned char* glyph = font.data + static_cast<unsigned char>(text[i]) * font.height;
    for (int row = 0; row < font.height; ++row) {
      uint8_t* pixel = image.at(left, y + row);
      for (int bit = 0; bit < CELL_WIDTH; ++bit) {
        const uint8_t grey = (glyph[row] << bit & 0x80) != 0 ? lit : unlit;
        for (int channel = 0; channel < image.channels; ++channel) *pixel++ = grey;
      }
    }
  }
}

Image draw_screen(std::string_view text, int columns, int rows, const aa_font& font) {
  Image image(columns * CELL_WIDTH, rows * font.height, 1, BACKGROUND_GREY);
  for (int row = 0; row < rows; ++row)
    draw_text(image, 0, row * font.height, text.substr(size_t(row) * columns, size_t(columns)),
              font);
  return image;
}

}  // namespace tools::render
