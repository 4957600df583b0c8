// Compiling font art into FONT payloads, and turning payloads back into art.
#include "tools/dat/font_art.h"

#include <algorithm>

#include "base/fatal.h"
#include "fx/fx_info.h"

namespace tools {
namespace {

using datafile::glyph_characters;
using datafile::MAX_GLYPHS;
using engine::format_text;

const char* const ORDER = "glyphs follow the order a-z, 0-9, , . - ! ? \"";

// Fonts are for the effect that takes one (the scroller); art is held to the limits it declares.
struct FontUse {
  std::string drawn_by = "effect";  // the class's name
  int widest_cell = 0;
  int first_row = 0;
  // It draws glyphs from `first_row` of its buffer, and no shown buffer is taller than the
  // picture: taller glyphs can never be seen whole.
  int max_rows() const { return engine::PICTURE_HEIGHT - first_row; }
  // A glyph's cell is the next multiple of 32 columns above its advance.
  int max_width() const { return widest_cell - 1; }
};

FontUse font_use() {
  for (const fx::FxClass* fx_class : fx::fx_classes)
    for (const fx::ParamInfo& param : fx_class->params)
      if (param.kind == fx::ParamKind::FONT)
        return {std::string(fx_class->name), param.limits.widest_cell, param.limits.first_row};
  return {};
}

struct Glyph {
  char character = 0;
  int line = 0;  // of its "glyph" line
  std::vector<std::string> rows;
  int lit_first_column = 0;  // the line of the first row whose first pixel is lit, or 0
};

std::string trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

void put16(Bytes& bytes, uint32_t value) {  // little-endian inside FONT payloads
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

uint32_t get16(const uint8_t* bytes) {
  return bytes[0] | uint32_t{bytes[1]} << 8;
}

}  // namespace

std::optional<Bytes> compile_font_art(const std::string& text, const std::string& file,
                                      Diagnostics& diagnostics) {
  const int errors_before = diagnostics.error_count();
  std::vector<Glyph> glyphs;
  size_t start = 0;
  int line_number = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string raw = text.substr(start, end - start);
    start = end + 1;
    ++line_number;
    std::string line = trim(raw);
    if (line.empty() || line[0] == ';') continue;
    int column = static_cast<int>(raw.find_first_not_of(" \t")) + 1;

    if (line.starts_with("glyph")) {
      std::string character = trim(line.substr(5));
      if (line.size() > 5 && line[5] != ' ' && line[5] != '\t') character = "";
      if (character.size() != 1) {
        diagnostics.error(file, line_number, column,
                          "'" + line + "': a glyph line names one character, as in 'glyph a'");
        continue;
      }
      char c = character[0];
      const auto* place =
          std::find(glyph_characters.begin(), glyph_characters.end(), static_cast<uint8_t>(c));
      if (place == glyph_characters.end()) {
        diagnostics.error(file, line_number, column,
                          format_text("'%c' has no place in a font: %s", c, ORDER));
      } else if (glyphs.size() == glyph_characters.size()) {
        diagnostics.error(file, line_number, column,
                          format_text("glyph '%c' is one too many: a font holds at most %d "
                                      "glyphs",
                                      c, MAX_GLYPHS));
      } else if (static_cast<size_t>(place - glyph_characters.begin()) != glyphs.size()) {
        diagnostics.error(file, line_number, column,
                          format_text("glyph '%c' is out of order: glyph %zu is '%c' (%s)", c,
                                      glyphs.size(), glyph_characters[glyphs.size()], ORDER));
      }
      glyphs.push_back({c, line_number, {}});
      continue;
    }

    if (glyphs.empty()) {
      diagnostics.error(file, line_number, column,
                        "'" + line + "' comes before any glyph: a font begins with 'glyph a'");
      glyphs.push_back({'a', line_number, {}});  // so that later rows are still checked
    }
    Glyph& glyph = glyphs.back();
    size_t bad = line.find_first_not_of("#.");
    if (bad != std::string::npos) {
      diagnostics.error(file, line_number, column + static_cast<int>(bad),
                        format_text("unexpected '%c' in a row of glyph '%c': draw with # (lit) "
                                    "and . (unlit)",
                                    line[bad], glyph.character));
    } else if (!glyph.rows.empty() && line.size() != glyph.rows[0].size()) {
      diagnostics.error(
          file, line_number, column,
          format_text("'%s' is %zu wide, but glyph '%c' began %zu wide: every row "
                      "of a glyph is as wide as its advance",
                      line.c_str(), line.size(), glyph.character, glyph.rows[0].size()));
    }
    if (line[0] == '#' && glyph.lit_first_column == 0) glyph.lit_first_column = line_number;
    glyph.rows.push_back(line);
  }

  if (glyphs.empty()) {
    diagnostics.error(file, 1, 1, "no glyphs: a font begins with 'glyph a'");
    return std::nullopt;
  }
  const size_t height = glyphs[0].rows.size();
  const FontUse use = font_use();
  if (height > size_t(use.max_rows()))
    diagnostics.error(file, glyphs[0].line, 1,
                      format_text("glyphs of %zu rows do not fit the %s: it draws them from row "
                                  "%d of a buffer at most %d rows high, so %d rows at most",
                                  height, use.drawn_by.c_str(), use.first_row,
                                  engine::PICTURE_HEIGHT, use.max_rows()));
  for (const Glyph& glyph : glyphs) {
    if (glyph.rows.empty()) {
      diagnostics.error(file, glyph.line, 1,
                        format_text("glyph '%c' has no rows", glyph.character));
      continue;
    }
    if (glyph.rows.size() != height)
      diagnostics.error(
          file, glyph.line, 1,
          format_text("glyph '%c' has %zu row%s, but glyph '%c' has %zu: all glyphs "
                      "are as tall as the first",
                      glyph.character, glyph.rows.size(), glyph.rows.size() == 1 ? "" : "s",
                      glyphs[0].character, height));
    if (glyph.rows[0].size() > size_t(use.max_width()))
      diagnostics.error(file, glyph.line, 1,
                        format_text("glyph '%c' is %zu pixels wide; the %s's %d-column cells "
                                    "hold glyphs of at most %d",
                                    glyph.character, glyph.rows[0].size(), use.drawn_by.c_str(),
                                    use.widest_cell, use.max_width()));
  }
  if (diagnostics.error_count() > errors_before) return std::nullopt;
  // The scroller draws a glyph's cell one column past its advance, and in the strip that
  // column is the next glyph's first: lit, it shows as a bar after the glyph before it.
  for (size_t g = 1; g < glyphs.size(); ++g)
    if (glyphs[g].lit_first_column > 0)
      diagnostics.warning(file, glyphs[g].lit_first_column, 1,
                          format_text("glyph '%c' has its first column lit: the scroller shows "
                                      "that column as a one-pixel bar after every '%c', whose "
                                      "cell reaches one column past its advance; leave the "
                                      "first column of a glyph blank",
                                      glyphs[g].character, glyphs[g - 1].character));

  // The strip: glyphs side by side, then one blank column, since the cell of the last glyph
  // reaches one column past its advance and every column a cell reads lies in the strip.
  std::vector<uint32_t> ends;
  uint32_t column = 0;
  for (const Glyph& glyph : glyphs) ends.push_back(column += glyph.rows[0].size());
  const uint32_t width = column + 1;
  Bytes payload{static_cast<uint8_t>(glyphs.size())};
  for (uint32_t end : ends) put16(payload, end);
  put16(payload, width);
  put16(payload, static_cast<uint32_t>(height));
  for (size_t row = 0; row < height; ++row) {
    for (const Glyph& glyph : glyphs)
      for (char pixel : glyph.rows[row])
        payload.insert(payload.end(), 4, pixel == '#' ? LIT_BYTE : 0);
    payload.insert(payload.end(), 4, 0);
  }
  return payload;
}

std::optional<std::string> font_to_art(const Bytes& payload, std::string& why_not) {
  auto refuse = [&](std::string why) -> std::optional<std::string> {
    why_not = std::move(why);
    return std::nullopt;
  };
  if (payload.empty()) return refuse("the payload is empty");
  const uint32_t count = payload[0];
  if (count == 0) return refuse("it has no glyphs");
  if (count > MAX_GLYPHS) return refuse(format_text("it has %u glyphs", count));
  const size_t header = 1 + 2 * size_t{count} + 4;
  if (payload.size() < header) return refuse("its header is cut short");
  std::vector<uint32_t> ends{0};
  for (uint32_t g = 0; g < count; ++g) {
    ends.push_back(get16(payload.data() + 1 + 2 * g));
    uint32_t advance = ends[g + 1] - ends[g];
    if (ends[g + 1] <= ends[g] || advance > uint32_t(font_use().max_width()))
      return refuse(format_text("glyph %u has an advance art cannot draw (ends %u to %u)", g,
                                ends[g], ends[g + 1]));
  }
  const uint32_t width = get16(payload.data() + header - 4);
  const uint32_t height = get16(payload.data() + header - 2);
  if (width != ends.back() + 1)
    return refuse(format_text("its strip is %u columns wide, not %u", width, ends.back() + 1));
  if (height == 0 || height > uint32_t(font_use().max_rows()))
    return refuse(format_text("its glyphs are %u rows high", height));
  if (payload.size() - header != size_t{width} * height * 4)
    return refuse(format_text("it holds %zu bytes after its header, not the strip's %zu",
                              payload.size() - header, size_t{width} * height * 4));

  const uint8_t* strip = payload.data() + header;
  auto lit = [&](uint32_t column, uint32_t row, bool& exact) {
    const uint8_t* pixel = strip + (size_t{row} * width + column) * 4;
    bool all = pixel[0] == LIT_BYTE && pixel[1] == LIT_BYTE && pixel[2] == LIT_BYTE &&
               pixel[3] == LIT_BYTE;
    bool none = (pixel[0] | pixel[1] | pixel[2] | pixel[3]) == 0;
    exact = all || none;
    return all;
  };
  std::string art = format_text(
      "; A font of %u glyphs, %u rows high: # lit, . unlit; a glyph's width is its advance.\n",
      count, height);
  for (uint32_t g = 0; g < count; ++g) {
    art += format_text("glyph %c\n", glyph_characters[g]);
    for (uint32_t row = 0; row < height; ++row) {
      for (uint32_t column = ends[g]; column < ends[g + 1]; ++column) {
        bool exact = true;
        art += lit(column, row, exact) ? '#' : '.';
        if (!exact)
          return refuse(
              format_text("pixel %u of row %u holds bytes other than 00 or FF", column, row));
      }
      art += '\n';
    }
  }
  for (uint32_t row = 0; row < height; ++row) {
    bool exact = true;
    if (lit(width - 1, row, exact) || !exact)
      return refuse(format_text("its last strip column is drawn on in row %u", row));
  }
  return art;
}

}  // namespace tools
