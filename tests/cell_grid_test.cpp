// Cell grids as ANSI text: the bytes of small updates as worked examples, and libvterm, a real
// terminal emulator, showing exactly the grid after any run of updates.
#include <gtest/gtest.h>
#include <vterm.h>

#include <random>

#include "display/cell_grid.h"

namespace {

using display::Cell;
using display::CellGrid;
using display::Colour;

constexpr char32_t UPPER_HALF = U'\u2580', QUADRANT = U'\u259A';

Colour indexed16(uint32_t i) {
  return {Colour::Kind::INDEXED_16, i};
}
Colour indexed256(uint32_t i) {
  return {Colour::Kind::INDEXED_256, i};
}

TEST(CellGridText, EachKindOfColourHasItsOwnCodes) {
  CellGrid grid(5, 1);
  grid.at(0, 0) = {U'a', indexed16(1), indexed16(12)};  // red on bright blue
  grid.at(1, 0) = {U'b', indexed256(196), indexed256(21)};
  grid.at(2, 0) = {U'c', Colour::direct(0xFF8000), Colour::direct(0x000102)};
  grid.at(3, 0) = {U'd', Colour{}, Colour{}};  // the terminal's own colours
  grid.at(4, 0) = {UPPER_HALF, Colour{}, Colour{}};
  std::string out;
  display::append_lines(out, grid);
  EXPECT_EQ(out,
            "\x1b[31;104ma"
            "\x1b[38;5;196;48;5;21mb"
            "\x1b[38;2;255;128;0;48;2;0;1;2mc"
            "\x1b[39;49md"
            "\xE2\x96\x80"  // the half block in UTF-8, in the colours already set
            "\x1b[0m\n");
}

TEST(CellGridText, AnUpdateWritesOnlyTheRunsThatChangedAfterCursorMoves) {
  const Colour red = Colour::direct(0xFF0000), blue = Colour::direct(0x0000FF);
  CellGrid before(6, 3);
  for (Cell& cell : before.cells) cell = {U' ', blue, blue};
  before.at(4, 1) = {display::FULL_BLOCK, blue, blue};
  CellGrid after = before;
  after.at(1, 0) = {U' ', red, red};
  after.at(2, 0) = {U' ', red, red};
  after.at(5, 0) = {QUADRANT, red, blue};
  after.at(0, 2) = {display::FULL_BLOCK, red, blue};
  // A space shows only its background and a full block only its foreground: these two cells
  // look as before, whatever colour they do not show.
  after.at(3, 1) = {U' ', red, blue};
  after.at(4, 1) = {display::FULL_BLOCK, blue, red};
  std::string out;
  display::append_changes(out, before, after, {10, 4});  // the grid's corner at column 11, row 5
  EXPECT_EQ(out,
            "\x1b[5;12H\x1b[48;2;255;0;0m  "          // two red cells from the second column
            "\x1b[2C\x1b[38;2;255;0;0;48;2;0;0;255m"  // forward over two cells, both colours
            "\xE2\x96\x9A"                            // the quadrant
            "\x1b[7;11H\xE2\x96\x88"                  // a red block: the foreground is set
            "\x1b[0m");
  out.clear();
  display::append_changes(out, after, after, {10, 4});
  EXPECT_EQ(out, "");
}

// libvterm's picture of the screen after `text`.
class Emulator {
 public:
  Emulator(int columns, int rows) : vt_(vterm_new(rows, columns)) {
    vterm_set_utf8(vt_, 1);
    screen_ = vterm_obtain_screen(vt_);
    vterm_screen_reset(screen_, 1);
  }
  ~Emulator() { vterm_free(vt_); }
  void write(const std::string& text) { vterm_input_write(vt_, text.data(), text.size()); }
  VTermScreenCell cell(int column, int row) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen_, VTermPos{row, column}, &cell);
    return cell;
  }

 private:
  VTerm* vt_;
  VTermScreen* screen_;
};

bool same_colour(const VTermColor& shown, Colour expected, bool foreground) {
  if (expected.kind == Colour::Kind::DEFAULT)
    return foreground ? VTERM_COLOR_IS_DEFAULT_FG(&shown) : VTERM_COLOR_IS_DEFAULT_BG(&shown);
  if (VTERM_COLOR_IS_DEFAULT_FG(&shown) || VTERM_COLOR_IS_DEFAULT_BG(&shown)) return false;
  if (expected.kind == Colour::Kind::DIRECT)
    return VTERM_COLOR_IS_RGB(&shown) &&
           (uint32_t{shown.rgb.red} << 16 | uint32_t{shown.rgb.green} << 8 | shown.rgb.blue) ==
               expected.value;
  return VTERM_COLOR_IS_INDEXED(&shown) && shown.indexed.idx == expected.value;
}

// Every cell of `grid` at (left, top) looks on the emulator's screen as it should.
void expect_shown(const Emulator& emulator, const CellGrid& grid, int left, int top) {
  for (int row = 0; row < grid.rows; ++row)
    for (int column = 0; column < grid.columns; ++column) {
      const Cell expected = grid.at(column, row);
      const VTermScreenCell shown = emulator.cell(left + column, top + row);
      SCOPED_TRACE(testing::Message() << "cell " << column << ", " << row);
      ASSERT_EQ(char32_t(shown.chars[0] == 0 ? U' ' : shown.chars[0]), expected.symbol);
      if (expected.symbol != U' ') {
        ASSERT_TRUE(same_colour(shown.fg, expected.foreground, true));
      }
      if (expected.symbol != display::FULL_BLOCK) {
        ASSERT_TRUE(same_colour(shown.bg, expected.background, false));
      }
    }
}

TEST(CellGridText, ATerminalShowsTheGridAfterEveryUpdateAndNothingAroundIt) {
  std::mt19937 random(16);  // the test's own generator, apart from the effects' stream
  const char32_t symbols[] = {U' ',      U' ',      display::FULL_BLOCK, UPPER_HALF, QUADRANT,
                              U'\u2584', U'\u258C', U'\u2597',           U'x'};
  auto any_colour = [&]() -> Colour {
    switch (random() % 4) {
      case 0:
        return {};
      case 1:
        return indexed16(random() % 16);
      case 2:
        return indexed256(random() % 256);
      default:
        return Colour::direct(random() % 4 * 0x3F1F0F);  // few: runs share colours
    }
  };
  auto any_cell = [&]() {
    return Cell{symbols[random() % std::size(symbols)], any_colour(), any_colour()};
  };
  constexpr int COLUMNS = 30, ROWS = 9, LEFT = 5, TOP = 2;
  Emulator emulator(COLUMNS + 2 * LEFT, ROWS + 2 * TOP);
  CellGrid shown(COLUMNS, ROWS);
  for (Cell& cell : shown.cells) cell = any_cell();
  std::string all;
  display::append_grid(all, shown, {LEFT, TOP});
  emulator.write(all);
  expect_shown(emulator, shown, LEFT, TOP);

  size_t update_bytes = 0;
  for (int update = 0; update < 40; ++update) {
    SCOPED_TRACE(update);
    CellGrid next = shown;
    const int changes = update % 5 == 0 ? COLUMNS * ROWS : int(random() % 25);
    for (int i = 0; i < changes; ++i) next.cells[random() % next.cells.size()] = any_cell();
    std::string text;
    display::append_changes(text, shown, next, {LEFT, TOP});
    update_bytes += text.size();
    emulator.write(text);
    expect_shown(emulator, next, LEFT, TOP);
    shown = next;
  }
  // Around the grid the screen is as blank as it began.
  for (int row = 0; row < ROWS + 2 * TOP; ++row)
    for (int column = 0; column < COLUMNS + 2 * LEFT; ++column) {
      if (row >= TOP && row < TOP + ROWS && column >= LEFT && column < LEFT + COLUMNS) continue;
      const VTermScreenCell cell = emulator.cell(column, row);
      EXPECT_EQ(cell.chars[0], 0u) << column << ", " << row;
      EXPECT_TRUE(VTERM_COLOR_IS_DEFAULT_BG(&cell.bg));
    }
  // Forty updates, eight of them whole, cost far less than forty whole grids.
  EXPECT_LT(update_bytes, all.size() * 20);
}

}  // namespace
