// The colour view: its modes from chafa's terminal database, where the picture goes on
// terminals of any size, cells exactly as chafa converts a whole canvas, and the flash.
#include <gtest/gtest.h>

#include <chafa.h>

#include <array>
#include <map>
#include <random>

#include "display/colour_view.h"

namespace {

using display::CellFit;
using display::ColourMode;
using display::ColourModes;
using display::ColourView;
using display::Picture;
using display::PixelFit;
using display::PixelMode;

ColourModes detect(std::vector<std::string> variables, display::DisplayOptions asked = {}) {
  std::vector<char*> environment;
  for (std::string& variable : variables) environment.push_back(variable.data());
  environment.push_back(nullptr);
  return display::detect_modes(asked, environment.data());
}

TEST(ColourModes, TheTerminalDatabaseChoosesUnlessTheCommandLineSays) {
  using M = ColourModes;
  EXPECT_EQ(detect({"TERM=xterm-256color", "COLORTERM=truecolor"}),
            (M{ColourMode::TRUECOLOR, PixelMode::SYMBOLS}));
  EXPECT_EQ(detect({"TERM=xterm-256color"}).colours, ColourMode::TRUECOLOR);  // chafa's verdict
  EXPECT_EQ(detect({"TERM=xterm"}), (M{ColourMode::INDEXED_256, PixelMode::SYMBOLS}));
  EXPECT_EQ(detect({"TERM=linux"}).colours, ColourMode::INDEXED_16);
  EXPECT_EQ(detect({"TERM=xterm-kitty"}), (M{ColourMode::TRUECOLOR, PixelMode::KITTY}));
  EXPECT_EQ(detect({"TERM=mlterm"}).pixels, PixelMode::SIXELS);
  // No TERM at all: chafa's fallback, 256 colours and symbols.
  EXPECT_EQ(detect({}), (M{ColourMode::INDEXED_256, PixelMode::SYMBOLS}));
  // What the command line says wins, each mode on its own.
  EXPECT_EQ(detect({"TERM=xterm-kitty"}, {ColourMode::INDEXED_16, PixelMode::DETECT}),
            (M{ColourMode::INDEXED_16, PixelMode::KITTY}));
  EXPECT_EQ(detect({"TERM=xterm-kitty"}, {ColourMode::DETECT, PixelMode::SYMBOLS}),
            (M{ColourMode::TRUECOLOR, PixelMode::SYMBOLS}));
  EXPECT_EQ(detect({"TERM=dumb"}, {ColourMode::TRUECOLOR, PixelMode::SIXELS}),
            (M{ColourMode::TRUECOLOR, PixelMode::SIXELS}));
}

void expect_fit(int columns, int rows, CellFit expected) {
  CellFit fit = display::fit_cells(columns, rows);
  EXPECT_EQ(fit.columns, expected.columns) << columns << " x " << rows;
  EXPECT_EQ(fit.rows, expected.rows) << columns << " x " << rows;
  EXPECT_EQ(fit.at.column, expected.at.column) << columns << " x " << rows;
  EXPECT_EQ(fit.at.row, expected.at.row) << columns << " x " << rows;
}

TEST(ColourFit, ThePictureKeepsItsShapeAndIsCentredOnAnyTerminal) {
  expect_fit(80, 25, {80, 25, {0, 0}});  // 2 x 2 pixels a cell
  expect_fit(80, 24, {77, 24, {1, 0}});  // 24 rows hold 76.8 columns' worth
  expect_fit(160, 50, {160, 50, {0, 0}});
  expect_fit(200, 60, {192, 60, {4, 0}});
  expect_fit(100, 60, {100, 31, {0, 14}});  // narrow and tall: the width decides
  expect_fit(60, 20, {60, 19, {0, 0}});
  expect_fit(1, 1, {1, 1, {0, 0}});
  expect_fit(3, 40, {3, 1, {0, 19}});
  // Past 320 x 100 cells the picture grows no more and sits in the middle.
  expect_fit(4096, 4096, {320, 100, {1888, 1998}});
  expect_fit(0, 0, {1, 1, {0, 0}});
}

TEST(ColourFit, PixelsAreScaledByWholeFactorsAboveTheLastRow) {
  // xterm's default 80 x 24 in the 6 x 13 font: 480 x 312 pixels, 299 above the last row.
  PixelFit fit = display::fit_pixels({80, 24, 480, 312}, PixelMode::SIXELS);
  EXPECT_EQ(fit.scale, 3);  // 480 x 150
  EXPECT_EQ(fit.cell_width, 6);
  EXPECT_EQ(fit.cell_height, 13);
  EXPECT_EQ(fit.columns, 80);
  EXPECT_EQ(fit.rows, 12);  // 156 rows of pixels: whole sixel bands that hold 150
  EXPECT_EQ(fit.image_width, 480);
  EXPECT_EQ(fit.image_height, 156);
  EXPECT_EQ(fit.at.row, 5);
  // Kitty takes images of whole cells.
  fit = display::fit_pixels({80, 24, 480, 312}, PixelMode::KITTY);
  EXPECT_EQ(fit.rows, 12);
  EXPECT_EQ(fit.image_height, 156);
  // A terminal that does not tell its pixels is taken to have cells of 10 x 20.
  fit = display::fit_pixels({200, 60, 0, 0}, PixelMode::KITTY);
  EXPECT_EQ(fit.scale, 8);  // the largest: 1280 x 400 of 2000 x 1180
  EXPECT_EQ(fit.columns, 128);
  EXPECT_EQ(fit.rows, 20);
  EXPECT_EQ(fit.at.column, 36);
  // Too small for the picture: it is still drawn once, whole, from the corner.
  fit = display::fit_pixels({1, 1, 5, 5}, PixelMode::SIXELS);
  EXPECT_EQ(fit.scale, 1);
  EXPECT_EQ(fit.image_width, 160);
  EXPECT_GE(fit.image_height, 50);
  EXPECT_EQ(fit.at.column, 0);
  EXPECT_EQ(fit.at.row, 0);
  // A terminal that claims cells of 65535 pixels is taken to have cells of 64.
  fit = display::fit_pixels({1, 1, 65535, 65535}, PixelMode::KITTY);
  EXPECT_EQ(fit.scale, 1);
  EXPECT_EQ(fit.image_width, 3 * 64);
  EXPECT_EQ(fit.image_height, 64);
}

TEST(ColourView, PixelImagesAreSentAtTheirOwnSizeSoChafaScalesNothing) {
  Picture picture;
  picture.pixels.fill(0xF800);
  ColourView view({ColourMode::TRUECOLOR, PixelMode::SIXELS});
  const PixelFit fit = display::fit_pixels({80, 24, 480, 312}, PixelMode::SIXELS);
  std::string sixels = view.draw_pixels(picture, display::CALM, fit);
  EXPECT_TRUE(sixels.starts_with("\x1bP")) << sixels.substr(0, 20);
  EXPECT_NE(sixels.find("\"1;1;480;156"), std::string::npos) << sixels.substr(0, 40);
  EXPECT_TRUE(sixels.ends_with("\x1b\\"));
  ColourView kitty({ColourMode::TRUECOLOR, PixelMode::KITTY});
  const PixelFit kitty_fit = display::fit_pixels({80, 24, 480, 312}, PixelMode::KITTY);
  std::string graphics = kitty.draw_pixels(picture, display::CALM, kitty_fit);
  EXPECT_TRUE(graphics.starts_with("\x1b_Ga=T,f=32,s=480,v=156,c=80,r=12"))
      << graphics.substr(0, 40);
}

// A picture with flat areas, edges, gradients and a sprinkle of lone pixels: cells of one
// colour, of two, and of more than two.
Picture varied_picture() {
  Picture picture;
  std::mt19937 random(3);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 160; ++x) {
      uint16_t pixel = x < 40   ? 0xF800
                       : x < 80 ? uint16_t((x / 3) << 11 | (y & 0x3F) << 5 | 7)
                                : uint16_t(y < 25 ? 0x001F : 0x07E0);
      if (random() % 7 == 0) pixel = uint16_t(random());
      picture.pixels[size_t(y) * 160 + x] = pixel;
    }
  return picture;
}

// What chafa makes of the whole picture on one canvas of 80 x 25 cells, given at chafa's own
// 640 x 200 pixels (4 x 4 a picture pixel) so that it scales nothing.
display::CellGrid whole_canvas(const Picture& picture, ColourMode colours) {
  std::vector<uint32_t> pixels(640 * 200);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 640; ++x) {
      uint16_t p = picture.at(x / 4, y / 4);
      uint32_t r = p >> 11, g = p >> 5 & 0x3F, b = p & 0x1F;
      pixels[size_t(y) * 640 + x] =
          (r << 3 | r >> 2) | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2) << 16 | 0xFFu << 24;
    }
  ChafaCanvasConfig* config = chafa_canvas_config_new();
  chafa_canvas_config_set_geometry(config, 80, 25);
  chafa_canvas_config_set_canvas_mode(
      config, colours == ColourMode::TRUECOLOR     ? CHAFA_CANVAS_MODE_TRUECOLOR
              : colours == ColourMode::INDEXED_256 ? CHAFA_CANVAS_MODE_INDEXED_240
                                                   : CHAFA_CANVAS_MODE_INDEXED_16);
  ChafaSymbolMap* symbols = chafa_symbol_map_new();
  chafa_symbol_map_add_by_tags(
      symbols,
      ChafaSymbolTags(CHAFA_SYMBOL_TAG_BLOCK | CHAFA_SYMBOL_TAG_SPACE | CHAFA_SYMBOL_TAG_SOLID));
  chafa_canvas_config_set_symbol_map(config, symbols);
  chafa_canvas_config_set_preprocessing_enabled(config, FALSE);
  ChafaCanvas* canvas = chafa_canvas_new(config);
  chafa_canvas_draw_all_pixels(canvas, CHAFA_PIXEL_RGBA8_UNASSOCIATED,
                               reinterpret_cast<const guint8*>(pixels.data()), 640, 200, 640 * 4);
  display::CellGrid grid(80, 25);
  for (int row = 0; row < 25; ++row)
    for (int column = 0; column < 80; ++column) {
      gint fg = 0, bg = 0;
      chafa_canvas_get_raw_colors_at(canvas, column, row, &fg, &bg);
      auto colour = [&](gint raw) -> display::Colour {
        if (colours == ColourMode::TRUECOLOR) return display::Colour::direct(uint32_t(raw));
        return {colours == ColourMode::INDEXED_256 ? display::Colour::Kind::INDEXED_256
                                                   : display::Colour::Kind::INDEXED_16,
                uint32_t(raw)};
      };
      grid.at(column, row) =
          display::Cell{chafa_canvas_get_char_at(canvas, column, row), colour(fg), colour(bg)}
              .shown();
    }
  chafa_canvas_unref(canvas);
  chafa_symbol_map_unref(symbols);
  chafa_canvas_config_unref(config);
  return grid;
}

// The colours a quadrant or half block shows in its four quarters: top left, top right, bottom
// left, bottom right.
std::array<display::Colour, 4> quarters(const display::Cell& cell) {
  static const std::map<char32_t, int> covered = {
      {U' ', 0},       {U'\u2598', 1},  {U'\u259D', 2},  {U'\u2580', 3},
      {U'\u2596', 4},  {U'\u258C', 5},  {U'\u259E', 6},  {U'\u259B', 7},
      {U'\u2597', 8},  {U'\u259A', 9},  {U'\u2590', 10}, {U'\u259C', 11},
      {U'\u2584', 12}, {U'\u2599', 13}, {U'\u259F', 14}, {U'\u2588', 15}};
  const auto mask = covered.find(cell.symbol);
  EXPECT_NE(mask, covered.end()) << "not a quadrant symbol: " << uint32_t(cell.symbol);
  std::array<display::Colour, 4> shown;
  for (int q = 0; q < 4; ++q)
    shown[size_t(q)] =
        mask != covered.end() && (mask->second >> q & 1) ? cell.foreground : cell.background;
  return shown;
}

// How far the cell at (column, row) of an 80 x 25 grid looks from the picture's 2 x 2 pixels
// under it: the squared differences of every channel, summed.
int64_t error_of(const display::Cell& cell, const Picture& picture, int column, int row) {
  const std::array<display::Colour, 4> shown = quarters(cell);
  int64_t error = 0;
  for (int q = 0; q < 4; ++q) {
    const uint16_t p = picture.at(2 * column + q % 2, 2 * row + q / 2);
    const uint32_t r = p >> 11, g = p >> 5 & 0x3F, b = p & 0x1F;
    const int wanted[3] = {int(r << 3 | r >> 2), int(g << 2 | g >> 4), int(b << 3 | b >> 2)};
    for (int c = 0; c < 3; ++c) {
      const int got = int(shown[size_t(q)].value >> (16 - 8 * c) & 0xFF);
      error += int64_t(got - wanted[c]) * (got - wanted[c]);
    }
  }
  return error;
}

TEST(ColourView, TrueColourCellsLookAtLeastAsCloseAsChafasOwn) {
  // Cells of 2 x 2 pixels are parted into foreground and background by the view itself, for
  // the least squared error; chafa's whole canvas is the yardstick (it may part some cells
  // otherwise, never better; its means are rounded down as the view's are).
  const Picture picture = varied_picture();
  ColourView view({ColourMode::TRUECOLOR, PixelMode::SYMBOLS});
  const display::CellGrid chafas = whole_canvas(picture, ColourMode::TRUECOLOR);
  const display::CellGrid cells = view.draw_cells(picture, display::CALM, 80, 25);
  int same = 0;
  for (int row = 0; row < 25; ++row)
    for (int column = 0; column < 80; ++column) {
      const int64_t ours = error_of(cells.at(column, row), picture, column, row);
      ASSERT_LE(ours, error_of(chafas.at(column, row), picture, column, row))
          << "cell " << column << ", " << row;
      same += quarters(cells.at(column, row)) == quarters(chafas.at(column, row));
    }
  EXPECT_GT(same, 1900) << "most cells look exactly as chafa draws them";
  EXPECT_EQ(view.cells_converted() + view.cells_remembered(), 0u) << "chafa was asked";
}

TEST(ColourView, PaletteCellsLookAsChafaDrawsThemInTheWholePictureAndAreConvertedOnce) {
  const Picture picture = varied_picture();
  for (ColourMode colours : {ColourMode::INDEXED_256, ColourMode::INDEXED_16}) {
    SCOPED_TRACE(int(colours));
    ColourView view({colours, PixelMode::SYMBOLS});
    const display::CellGrid expected = whole_canvas(picture, colours);
    const display::CellGrid first = view.draw_cells(picture, display::CALM, 80, 25);
    for (int row = 0; row < 25; ++row)
      for (int column = 0; column < 80; ++column)
        ASSERT_EQ(quarters(first.at(column, row)), quarters(expected.at(column, row)))
            << "cell " << column << ", " << row;
    // The flat quarters repeat one look: far fewer conversions than cells.
    const uint64_t converted = view.cells_converted();
    EXPECT_LT(converted, 1500u);
    EXPECT_EQ(converted + view.cells_remembered(), 2000u);
    // Shown again, nothing is converted and the cells are the same.
    const display::CellGrid second = view.draw_cells(picture, display::CALM, 80, 25);
    EXPECT_EQ(view.cells_converted(), converted);
    EXPECT_EQ(second.cells, first.cells);
  }
}

display::Colour shown_colour(const display::Cell& cell) {
  return cell.symbol == U' ' ? cell.background : cell.foreground;
}

TEST(ColourView, RedOnTheLeftBlueOnTheRightOnAnyGrid) {
  Picture picture;
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 160; ++x) picture.pixels[size_t(y) * 160 + x] = x < 80 ? 0xF800 : 0x001F;
  ColourView view({ColourMode::TRUECOLOR, PixelMode::SYMBOLS});
  const display::Colour red = display::Colour::direct(0xFF0000);
  const display::Colour blue = display::Colour::direct(0x0000FF);
  for (auto [columns, rows] : {std::pair{80, 25}, {77, 24}, {192, 60}, {5, 2}}) {
    SCOPED_TRACE(testing::Message() << columns << " x " << rows);
    const display::CellGrid& grid = view.draw_cells(picture, display::CALM, columns, rows);
    ASSERT_EQ(grid.columns, columns);
    ASSERT_EQ(grid.rows, rows);
    for (int row = 0; row < rows; ++row) {
      EXPECT_EQ(shown_colour(grid.at(0, row)), red);
      EXPECT_EQ(shown_colour(grid.at(columns - 1, row)), blue);
    }
  }
  // One cell for the whole picture: a half block, red beside blue.
  const display::Cell cell = view.draw_cells(picture, display::CALM, 1, 1).at(0, 0);
  ASSERT_TRUE(cell.symbol == U'\u258C' || cell.symbol == U'\u2590') << uint32_t(cell.symbol);
  const bool left_half = cell.symbol == U'\u258C';
  EXPECT_EQ(left_half ? cell.foreground : cell.background, red);
  EXPECT_EQ(left_half ? cell.background : cell.foreground, blue);
}

TEST(ColourView, TheFlashBrightensAndAddsNoiseWithoutTouchingTheEffectsRandomStream) {
  Picture picture;
  picture.pixels.fill(0x8410);  // grey: 132, 130, 132
  const uint32_t grey = 0x848284;
  for (ColourMode colours : {ColourMode::TRUECOLOR, ColourMode::INDEXED_256}) {
    SCOPED_TRACE(int(colours));
    ColourView view({colours, PixelMode::SYMBOLS});
    // At rest: the picture's own colour, in every cell.
    const display::CellGrid calm = view.draw_cells(picture, display::flash_at(600), 80, 25);
    // One frame into a flash: brightness 90, 80 above rest's 10, and noise of 145.
    const display::Flash flash = display::flash_at(601);
    ASSERT_EQ(flash.bright, 90);
    ASSERT_EQ(flash.noise, 145);
    const display::CellGrid flashed = view.draw_cells(picture, flash, 80, 25);
    if (colours != ColourMode::TRUECOLOR) {
      EXPECT_NE(flashed.cells, calm.cells);
      continue;
    }
    for (const display::Cell& cell : calm.cells)
      ASSERT_EQ(shown_colour(cell), display::Colour::direct(grey));
    // Every channel raised by 80 plus noise from -72 to 72, and no two frames' noise alike.
    int64_t sum = 0;
    int lowest = 255, highest = 0;
    for (const display::Cell& cell : flashed.cells) {
      const int green = int(shown_colour(cell).value >> 8 & 0xFF);
      sum += green;
      lowest = std::min(lowest, green);
      highest = std::max(highest, green);
    }
    const double mean = double(sum) / double(flashed.cells.size());
    EXPECT_NEAR(mean, 130 + 80, 8);
    EXPECT_GE(lowest, 130 + 80 - 72);
    EXPECT_LE(highest, 130 + 80 + 72);
    EXPECT_GT(highest - lowest, 100);
    const display::CellGrid again = view.draw_cells(picture, flash, 80, 25);
    EXPECT_NE(again.cells, flashed.cells);
  }
}

}  // namespace
