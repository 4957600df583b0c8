// Reading back ANSI text as a terminal shows it: which colour each cell looks. For the colour
// display's screens captured from tmux and its frames written to files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace support {

// A cell as it looks: one colour, when it looks one colour.
struct ShownCell {
  bool coloured = false;  // false: the terminal's own background, or a symbol of two colours
  uint32_t rgb = 0;       // 0xRRGGBB, or PALETTE | entry
};

// Palette entries are told apart from every 24-bit colour by a bit above them.
inline constexpr uint32_t PALETTE = 1u << 24;

using Screen = std::vector<std::vector<ShownCell>>;

// Reads lines of text with SGR sequences (as `tmux capture-pane -e -N` writes them: trailing
// spaces kept, since they may be coloured): 24-bit and 256-palette colours are followed, a space
// shows the background and a full block the foreground.
Screen read_screen(const std::string& text);

// How many cells of rows [top, bottom) and columns [left, right) look `rgb`.
int count(const Screen& screen, int left, int top, int right, int bottom, uint32_t rgb);

// How many cells look some colour other than black.
int coloured(const Screen& screen);

}  // namespace support
