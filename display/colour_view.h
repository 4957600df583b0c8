// The picture in colour through libchafa: as cells of block symbols in 24-bit, 256 or 16
// colours, or as sixel or kitty pixels; with the flash applied in colour terms, and its noise
// drawn from a random source of the view's own (each show's effects have a stream of theirs).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "display/cell_grid.h"
#include "display/colour_modes.h"
#include "display/flash.h"
#include "display/picture.h"
#include "display/terminal.h"
#include "engine/display_driver.h"

namespace display {

// The modes a view draws in, worked out: neither is DETECT.
struct ColourModes {
  ColourMode colours = ColourMode::TRUECOLOR;
  PixelMode pixels = PixelMode::SYMBOLS;
  friend bool operator==(const ColourModes&, const ColourModes&) = default;
};

// What `asked` leaves to detection comes from chafa's terminal database for `environment`
// (TERM, COLORTERM, the variables terminals set of their own): the richest colours and the
// pixels the terminal is known for (kitty's, else sixels, else symbols).
ColourModes detect_modes(const DisplayOptions& asked, char** environment);

// The largest cell grid of the picture's shape, 16 columns to 5 rows as 80 x 25 cells show it
// (2 x 2 pixels a cell), that fits a terminal, and where it goes to be centred. Grids stay
// within MAX_COLUMNS x MAX_ROWS however large the terminal says it is, and are at least 1 x 1.
struct CellFit {
  int columns = 0;
  int rows = 0;
  Placement at;
};
// Two cells a pixel on each side: chafa converts some thousands of cells a frame in real time,
// and a picture larger than this would take it longer than a frame lasts.
inline constexpr int MAX_COLUMNS = 320;
inline constexpr int MAX_ROWS = 100;
CellFit fit_cells(int terminal_columns, int terminal_rows);

// Pixel modes: the picture scaled by a whole factor, nearest neighbour, to the largest size that
// fits the terminal's pixels above its last row (an image that touched the last row would
// scroll the screen), in an image of whole cells; at least 1, at most MAX_PIXEL_SCALE. A
// terminal that does not tell its pixel size is taken to have cells of FALLBACK_CELL pixels.
struct PixelFit {
  int scale = 1;
  int cell_width = 0;  // pixels
  int cell_height = 0;
  int columns = 0;  // cells the image covers
  int rows = 0;
  int image_width = 0;  // pixels of the image sent: whole cells, the scaled picture centred
  int image_height = 0;
  Placement at;
};
inline constexpr int MAX_PIXEL_SCALE = 8;
inline constexpr int FALLBACK_CELL_WIDTH = 10;
inline constexpr int FALLBACK_CELL_HEIGHT = 20;
PixelFit fit_pixels(const TerminalSize& terminal, PixelMode mode);

class ColourView {
 public:
  explicit ColourView(ColourModes modes);
  ~ColourView();
  ColourView(const ColourView&) = delete;
  ColourView& operator=(const ColourView&) = delete;

  ColourModes modes() const { return modes_; }

  // Symbol modes: `picture` under `flash` on a grid of `columns` x `rows` cells. In 24-bit
  // colour, cells whose quadrants each fall on one picture pixel (grids of 80 x 25 and 160 x 50)
  // are worked out by the view itself: the quadrant symbol and two colours with the least error.
  // Other cells are converted by chafa once for each look of the pixels under them and
  // remembered, so a frame costs chafa only the cells that look as no cell has looked before.
  const CellGrid& draw_cells(const Picture& picture, Flash flash, int columns, int rows);

  // Pixel modes: the escape sequence that draws `picture` under `flash` at the cursor, an image
  // of fit.image_width x fit.image_height pixels over fit.columns x fit.rows cells.
  std::string draw_pixels(const Picture& picture, Flash flash, const PixelFit& fit);

  // How many cells chafa has converted, and how many were found remembered (for the tests).
  uint64_t cells_converted() const { return converted_; }
  uint64_t cells_remembered() const { return remembered_; }

 private:
  struct Chafa;
  struct Memory;
  void flash_pixels(const Picture& picture, Flash flash);
  void flash_cells(Flash flash);

  ColourModes modes_;
  std::unique_ptr<Chafa> chafa_;
  std::unique_ptr<Memory> memory_;
  std::vector<uint32_t> rgba_;  // the picture as chafa reads it: R, G, B, A bytes a pixel
  CellGrid grid_;
  uint64_t noise_state_;
  uint64_t converted_ = 0;
  uint64_t remembered_ = 0;
};

}  // namespace display
