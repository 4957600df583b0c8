// Fonts as text art: each glyph under a "glyph c" line, drawn with '#' (lit) and '.' (unlit),
// in the fixed order a-z, 0-9, comma, full stop, hyphen, !, ?, double quote. Comments start
// with ';', since '#' is a pixel. A glyph's width is its advance.
#pragma once

#include <optional>
#include <string>

#include "engine/display_driver.h"
#include "tools/dat/data_file.h"
#include "tools/dat/diagnostics.h"

namespace tools {

// Strip pixels as the art writes them: all four bytes set, or none.
inline constexpr uint8_t LIT_BYTE = 0xFF;

// The FONT payload the art in `text` draws; errors go to `diagnostics` with positions in `file`.
// Returns nothing when there are errors.
std::optional<Bytes> compile_font_art(const std::string& text, const std::string& file,
                                      Diagnostics& diagnostics);

// The art that compiles back to exactly `payload`, or nothing and the reason when the payload
// holds what art cannot say (other pixel bytes, extra strip columns, empty glyphs, ...).
std::optional<std::string> font_to_art(const Bytes& payload, std::string& why_not);

}  // namespace tools
