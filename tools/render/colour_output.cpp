// Writing the colour view's frames.
#include "tools/render/colour_output.h"

#include <algorithm>

#include "display/flash.h"
#include "tools/render/contact_sheet.h"
#include "tools/render/text_art.h"

namespace tools::render {
namespace {

// Cells of 8 pixels across in the font: thumbnails of 640 pixels, shrunk by 2 on the sheet.
constexpr int FONT_CELL_WIDTH = 8;
constexpr int SHRINK = 2;
constexpr int GAP = 4;
constexpr int MARGIN = 12;
constexpr int COLUMNS = 4;
constexpr uint8_t SHEET_GREY = 0x28;
constexpr uint8_t LABEL_GREY = 0xE0;

}  // namespace

ColourOutput::ColourOutput(const RenderOptions& options)
    : options_(options), view_({display::ColourMode::TRUECOLOR, display::PixelMode::SYMBOLS}) {}

bool ColourOutput::wanted(const RenderOptions& options) {
  return !options.ansi_path.empty() || !options.colour_sheet_path.empty();
}

std::string ColourOutput::open(OutputFiles& files) {
  std::string error;
  if (!options_.ansi_path.empty()) {
    ansi_ = files.create(options_.ansi_path, error);
    if (ansi_ == nullptr) return error;
  }
  if (options_.colour_sheet_path.empty()) return {};
  sheet_ = files.create(options_.colour_sheet_path, error);
  return sheet_ == nullptr ? error : font_.open(TUNDRA_CELL_FONT, FONT_CELL_WIDTH);
}

std::string ColourOutput::add(FrameViews& views) {
  const RenderedFrame& frame = views.frame;
  const bool sheet_due =
      !options_.colour_sheet_path.empty() && frame.number % options_.sheet_every() == 0;
  if (ansi_ == nullptr && !sheet_due) return {};
  const display::CellGrid& cells =
      view_.draw_cells(frame.picture, display::flash_at(frame.number), TEXT_COLUMNS, TEXT_ROWS);
  if (sheet_due) {
    thumbnails_.push_back({frame.number, cells});
    label_font_ = &frame.font;
  }
  if (ansi_ == nullptr) return {};
  std::string text;
  display::append_lines(text, cells);
  text += std::to_string(frame.number) + "\n";
  return ansi_->write(text.data(), text.size());
}

Image ColourOutput::compose_sheet(const aa_font* label_font) {
  const int thumb_width = TEXT_COLUMNS * font_.cell_width() / SHRINK;
  const int thumb_height = TEXT_ROWS * font_.cell_height() / SHRINK;
  const int label_height = label_font != nullptr ? label_font->height : 0;
  const int cell_width = thumb_width + MARGIN;
  const int cell_height = thumb_height + GAP + label_height + MARGIN;
  const int count = std::max<int>(1, int(thumbnails_.size()));
  const int columns = std::min(COLUMNS, count);
  const int rows = (count + COLUMNS - 1) / COLUMNS;
  Image sheet(MARGIN + columns * cell_width, MARGIN + rows * cell_height, 3, SHEET_GREY);
  Image screen(TEXT_COLUMNS * font_.cell_width(), TEXT_ROWS * font_.cell_height(), 3);
  for (size_t i = 0; i < thumbnails_.size(); ++i) {
    const Thumbnail& thumbnail = thumbnails_[i];
    const int x = MARGIN + int(i % COLUMNS) * cell_width;
    const int y = MARGIN + int(i / COLUMNS) * cell_height;
    font_.draw(screen, 0, 0, thumbnail.cells);
    paste(sheet, shrink(screen, SHRINK), x, y);
    if (label_font == nullptr) continue;
    const std::string label =
        "frame " + std::to_string(thumbnail.frame) + "  " + show_time(thumbnail.frame);
    draw_text(sheet, x, y + thumb_height + GAP, label, *label_font, LABEL_GREY, SHEET_GREY);
  }
  return sheet;
}

std::string ColourOutput::finish(const aa_font*) {
  return sheet_ != nullptr ? write_png(compose_sheet(label_font_), *sheet_) : std::string();
}

}  // namespace tools::render
