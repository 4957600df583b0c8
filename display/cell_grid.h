// A screen of character cells with colours, and the ANSI text that shows it: the whole grid
// as lines for files, or only what changed since the grid the screen holds, for terminals and
// recordings where every byte counts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace display {

// A colour as a terminal is told it: its own default, an entry of its 16 or 256 colour palette,
// or a 24-bit colour.
struct Colour {
  enum class Kind : uint8_t { DEFAULT, INDEXED_16, INDEXED_256, DIRECT };
  Kind kind = Kind::DEFAULT;
  uint32_t value = 0;  // the palette entry, or 0xRRGGBB

  static Colour direct(uint32_t rgb) { return {Kind::DIRECT, rgb & 0xFFFFFF}; }
  friend bool operator==(const Colour&, const Colour&) = default;
};

// A symbol drawn in `foreground` on `background`. A space shows no foreground and a full block
// no background: `shown` makes such cells equal whatever the colour they do not show.
struct Cell {
  char32_t symbol = U' ';
  Colour foreground;
  Colour background;

  // The cell with the colour it does not show set to the one it does.
  Cell shown() const;
  friend bool operator==(const Cell&, const Cell&) = default;
};

inline constexpr char32_t FULL_BLOCK = U'\u2588';

struct CellGrid {
  CellGrid() = default;
  CellGrid(int columns, int rows) : columns(columns), rows(rows), cells(size_t(columns) * rows) {}

  Cell& at(int column, int row) { return cells[size_t(row) * columns + column]; }
  const Cell& at(int column, int row) const { return cells[size_t(row) * columns + column]; }

  int columns = 0;
  int rows = 0;
  std::vector<Cell> cells;  // row by row
};

// Where a grid's top-left cell is on the screen, counted from 0.
struct Placement {
  int column = 0;
  int row = 0;
};

// Appends the bytes that turn a screen showing `before` into one showing `after` (both the same
// size, at `at`): only the runs of cells that look different are written, each after a cursor
// move and the colours it needs. The colours are reset at the end. Cells compare as `shown`.
void append_changes(std::string& out, const CellGrid& before, const CellGrid& after, Placement at);

// Appends the bytes that draw every cell of `grid` at `at`, whatever the screen holds.
void append_grid(std::string& out, const CellGrid& grid, Placement at);

// Appends `grid` as lines of text, for a file or a pipe: each row its cells, a colour reset and
// a newline; no cursor moves.
void append_lines(std::string& out, const CellGrid& grid);

// Appends `character` in UTF-8.
void append_utf8(std::string& out, char32_t character);

}  // namespace display
