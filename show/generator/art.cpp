// Reading font art and picture art.
#include "art.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace show {
namespace {

std::vector<std::string> read_lines(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The scroller moves on by a glyph's advance plus its speed of 2 pixels.
constexpr int SCROLLER_GAP = 2;
// A character without a glyph advances a quarter of the 32-pixel cell of a font this narrow.
constexpr int SPACE_ADVANCE = 8;

}  // namespace

Font Font::load(const std::string& path) {
  Font font;
  Glyph* glyph = nullptr;
  for (const std::string& line : read_lines(path)) {
    if (line.empty() || line[0] == ';') continue;
    if (line.rfind("glyph ", 0) == 0 && line.size() == 7) {
      glyph = &font.glyphs[line[6]];
      continue;
    }
    if (glyph == nullptr) throw std::runtime_error(path + ": pixels before the first glyph");
    glyph->width = int(line.size());
    glyph->rows.push_back(line);
  }
  for (const auto& [c, g] : font.glyphs) font.height = std::max(font.height, int(g.rows.size()));
  return font;
}

int Font::text_width(const std::string& text, int scale) const {
  int width = 0;
  for (char c : text) {
    const auto found = glyphs.find(c);
    width += found == glyphs.end() ? SPACE_ADVANCE : found->second.width + SCROLLER_GAP;
  }
  return width * scale;
}

int draw_text(Canvas& canvas, const Font& font, const std::string& text, int x, int y,
              uint16_t colour, int scale) {
  const int start = x;
  for (char c : text) {
    const auto found = font.glyphs.find(c);
    if (found == font.glyphs.end()) {
      x += SPACE_ADVANCE * scale;
      continue;
    }
    const Font::Glyph& glyph = found->second;
    for (size_t row = 0; row < glyph.rows.size(); ++row)
      for (int column = 0; column < glyph.width; ++column)
        if (glyph.rows[row][size_t(column)] == '#')
          canvas.fill_rect(x + column * scale, y + int(row) * scale, scale, scale, colour);
    x += (glyph.width + SCROLLER_GAP) * scale;
  }
  return x - start;
}

void draw_text_centred(Canvas& canvas, const Font& font, const std::string& text, int centre_x,
                       int y, uint16_t colour, int scale) {
  // Glyphs start with a blank column pair and end with the gap: centre the ink, kept on even
  // columns so that strokes fill whole characters of the screen.
  const int ink = font.text_width(text, scale) - (2 + SCROLLER_GAP) * scale;
  const int x = (centre_x - ink / 2 - 2 * scale) & ~1;
  draw_text(canvas, font, text, x, y, colour, scale);
}

Canvas load_text_art(const std::string& path) {
  std::map<char, uint16_t> keys = {{'.', 0}, {' ', 0}};
  int cell_w = 2, cell_h = 2;
  int columns = -1, rows = -1;
  std::vector<std::string> art;
  bool in_art = false;
  for (const std::string& line : read_lines(path)) {
    if (in_art) {
      art.push_back(line);
      continue;
    }
    if (line.empty() || line[0] == ';') continue;
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (word == "cell") {
      words >> cell_w >> cell_h;
    } else if (word == "size") {
      words >> columns >> rows;
    } else if (word == "key") {
      std::string c;
      int value = 0;
      words >> c >> value;
      if (c.size() != 1) throw std::runtime_error(path + ": a key is one character: " + line);
      // An optional high byte in hex gives the colour display a colour of its own.
      std::string high;
      keys[c[0]] =
          words >> high ? grey_with_high(value, std::stoi(high, nullptr, 16)) : grey(value);
    } else if (word == "art") {
      in_art = true;
    } else {
      throw std::runtime_error(path + ": unknown line: " + line);
    }
  }
  if (columns < 0) {
    columns = 0;
    for (const std::string& line : art) columns = std::max(columns, int(line.size()));
    rows = int(art.size());
  }
  // Rows past the size are cut off and short ones end in black.
  art.resize(size_t(rows));
  Canvas canvas(columns * cell_w, rows * cell_h);
  for (size_t row = 0; row < art.size(); ++row)
    for (size_t column = 0; column < std::min(art[row].size(), size_t(columns)); ++column) {
      const auto key = keys.find(art[row][column]);
      if (key == keys.end())
        throw std::runtime_error(path + ": no key for '" + art[row][column] + "' in row " +
                                 std::to_string(row + 1));
      canvas.fill_rect(int(column) * cell_w, int(row) * cell_h, cell_w, cell_h, key->second);
    }
  return canvas;
}

}  // namespace show
