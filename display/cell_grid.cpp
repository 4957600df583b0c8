// Cell grids as ANSI text.
#include "display/cell_grid.h"

namespace display {

Cell Cell::shown() const {
  Cell cell = *this;
  if (cell.symbol == U' ') cell.foreground = cell.background;
  if (cell.symbol == FULL_BLOCK) cell.background = cell.foreground;
  return cell;
}

void append_utf8(std::string& out, char32_t character) {
  if (character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF)) character = 0xFFFD;
  if (character < 0x80) {
    out += static_cast<char>(character);
  } else if (character < 0x800) {
    out += static_cast<char>(0xC0 | character >> 6);
    out += static_cast<char>(0x80 | (character & 0x3F));
  } else if (character < 0x10000) {
    out += static_cast<char>(0xE0 | character >> 12);
    out += static_cast<char>(0x80 | (character >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (character & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | character >> 18);
    out += static_cast<char>(0x80 | (character >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (character >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (character & 0x3F));
  }
}

namespace {

enum class Layer : uint8_t { FOREGROUND, BACKGROUND };

// The SGR parameters that set `colour` on `layer`.
void append_colour(std::string& out, Colour colour, Layer layer) {
  const bool fg = layer == Layer::FOREGROUND;
  const uint32_t v = colour.value;
  switch (colour.kind) {
    case Colour::Kind::DEFAULT:
      out += fg ? "39" : "49";
      return;
    case Colour::Kind::INDEXED_16:
      // The eight bright colours have codes of their own: 90-97 and 100-107.
      out += std::to_string((v < 8 ? (fg ? 30 : 40) : (fg ? 90 : 100)) + int(v % 8));
      return;
    case Colour::Kind::INDEXED_256:
      out += fg ? "38;5;" : "48;5;";
      out += std::to_string(v & 0xFF);
      return;
    case Colour::Kind::DIRECT:
      out += fg ? "38;2;" : "48;2;";
      out += std::to_string(v >> 16 & 0xFF) + ';' + std::to_string(v >> 8 & 0xFF) + ';' +
             std::to_string(v & 0xFF);
      return;
  }
}

// What the terminal's cursor and colours are while the text is being written, so that only what
// differs is sent. Unknown at the start: the first cell sets whatever it needs.
struct Pen {
  explicit Pen(std::string& out) : out(out) {}

  std::string& out;
  Colour foreground;
  Colour background;
  bool foreground_known = false;
  bool background_known = false;
  int column = -1;  // where the next character goes; -1 when unknown
  int row = -1;

  void move_to(int to_column, int to_row) {
    if (to_row == row && to_column == column) return;
    if (to_row == row && column >= 0 && to_column > column) {
      out += "\x1b[" + std::to_string(to_column - column) + "C";  // forward on the same row
    } else {
      out += "\x1b[" + std::to_string(to_row + 1) + ";" + std::to_string(to_column + 1) + "H";
    }
    column = to_column;
    row = to_row;
  }

  void put(const Cell& cell) {
    const bool needs_foreground =
        cell.symbol != U' ' && (!foreground_known || foreground != cell.foreground);
    const bool needs_background =
        cell.symbol != FULL_BLOCK && (!background_known || background != cell.background);
    if (needs_foreground || needs_background) {
      out += "\x1b[";
      if (needs_foreground) append_colour(out, cell.foreground, Layer::FOREGROUND);
      if (needs_foreground && needs_background) out += ';';
      if (needs_background) append_colour(out, cell.background, Layer::BACKGROUND);
      out += 'm';
    }
    if (needs_foreground) {
      foreground = cell.foreground;
      foreground_known = true;
    }
    if (needs_background) {
      background = cell.background;
      background_known = true;
    }
    append_utf8(out, cell.symbol);
    if (column >= 0) ++column;
  }

  // Back to the terminal's own colours, if any was set.
  void reset() {
    if (foreground_known || background_known) out += "\x1b[0m";
    foreground_known = background_known = false;
  }
};

}  // namespace

void append_changes(std::string& out, const CellGrid& before, const CellGrid& after, Placement at) {
  if (before.columns != after.columns || before.rows != after.rows) {
    append_grid(out, after, at);
    return;
  }
  Pen pen(out);
  for (int row = 0; row < after.rows; ++row)
    for (int column = 0; column < after.columns; ++column) {
      const Cell cell = after.at(column, row).shown();
      if (cell == before.at(column, row).shown()) continue;
      pen.move_to(at.column + column, at.row + row);
      pen.put(cell);
    }
  pen.reset();
}

void append_grid(std::string& out, const CellGrid& grid, Placement at) {
  Pen pen(out);
  for (int row = 0; row < grid.rows; ++row) {
    pen.move_to(at.column, at.row + row);
    for (int column = 0; column < grid.columns; ++column) pen.put(grid.at(column, row).shown());
  }
  pen.reset();
}

void append_lines(std::string& out, const CellGrid& grid) {
  for (int row = 0; row < grid.rows; ++row) {
    Pen pen(out);
    for (int column = 0; column < grid.columns; ++column) pen.put(grid.at(column, row).shown());
    pen.reset();
    out += '\n';
  }
}

}  // namespace display
