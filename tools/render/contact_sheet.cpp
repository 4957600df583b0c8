// Laying out the contact sheet.
#include "tools/render/contact_sheet.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "player/clock.h"
#include "tools/render/text_art.h"

namespace tools::render {
namespace {

// The colour picture's pixels are drawn 1 x 2, as tall as wide on a terminal whose characters
// are twice as tall as wide; the 640 x 400 ASCII art shrinks by 4 to the same 160 x 100.
constexpr int COLOUR_SCALE_X = 1;
constexpr int COLOUR_SCALE_Y = 2;
constexpr int ASCII_SHRINK = 4;
constexpr int THUMB_WIDTH = engine::PICTURE_WIDTH * COLOUR_SCALE_X;
constexpr int THUMB_HEIGHT = engine::PICTURE_HEIGHT * COLOUR_SCALE_Y;
constexpr int GAP = 4;      // between the two views, and above the label
constexpr int MARGIN = 12;  // around every cell
constexpr int COLUMNS = 4;
constexpr int PAIR_WIDTH = 2 * THUMB_WIDTH + GAP;

constexpr uint8_t SHEET_GREY = 0x28;
constexpr uint8_t LABEL_GREY = 0xE0;

}  // namespace

std::string show_time(uint32_t frame) {
  const uint64_t seconds = uint64_t{frame} * engine::TICK_MICROSECONDS / 1000000;
  char text[32];
  std::snprintf(text, sizeof text, "%02" PRIu64 ":%02" PRIu64, seconds / 60, seconds % 60);
  return text;
}

void ContactSheet::add(uint32_t frame, const display::Picture& picture, const Image& screen,
                       const aa_font& font) {
  font_ = &font;
  thumbnails_.push_back(
      {frame, colour_image(picture, COLOUR_SCALE_X, COLOUR_SCALE_Y), shrink(screen, ASCII_SHRINK)});
}

Image ContactSheet::compose() const {
  const int label_height = font_ != nullptr ? font_->height : 0;
  const int cell_width = PAIR_WIDTH + MARGIN;
  const int cell_height = THUMB_HEIGHT + GAP + label_height + MARGIN;
  const int count = std::max<int>(1, static_cast<int>(thumbnails_.size()));
  const int columns = std::min(COLUMNS, count);
  const int rows = (count + COLUMNS - 1) / COLUMNS;
  Image sheet(MARGIN + columns * cell_width, MARGIN + rows * cell_height, 3, SHEET_GREY);
  for (size_t i = 0; i < thumbnails_.size(); ++i) {
    const Thumbnail& thumbnail = thumbnails_[i];
    const int x = MARGIN + static_cast<int>(i % COLUMNS) * cell_width;
    const int y = MARGIN + static_cast<int>(i / COLUMNS) * cell_height;
    paste(sheet, thumbnail.colour, x, y);
    paste(sheet, thumbnail.ascii, x + THUMB_WIDTH + GAP, y);
    const std::string label =
        "frame " + std::to_string(thumbnail.frame) + "  " + show_time(thumbnail.frame);
    draw_text(sheet, x, y + THUMB_HEIGHT + GAP, label, *font_, LABEL_GREY, SHEET_GREY);
  }
  return sheet;
}

}  // namespace tools::render
