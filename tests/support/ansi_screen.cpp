// Reading ANSI text back as cells.
#include "support/ansi_screen.h"

#include <sstream>

namespace support {

Screen read_screen(const std::string& text) {
  Screen screen;
  std::istringstream lines(text);
  struct Pen {
    bool fg_set = false, bg_set = false;
    uint32_t fg = 0, bg = 0;
  } pen;
  for (std::string line; std::getline(lines, line);) {
    std::vector<ShownCell>& row = screen.emplace_back();
    for (size_t i = 0; i < line.size();) {
      if (line[i] == '\x1b' && i + 1 < line.size() && line[i + 1] == '[') {
        const size_t end = line.find('m', i);
        if (end == std::string::npos) break;
        std::vector<int> codes;
        std::istringstream params(line.substr(i + 2, end - i - 2));
        for (std::string code; std::getline(params, code, ';');)
          codes.push_back(code.empty() ? 0 : std::stoi(code));
        if (codes.empty()) codes.push_back(0);
        for (size_t c = 0; c < codes.size(); ++c) {
          const int code = codes[c];
          if ((code == 38 || code == 48) && c + 4 < codes.size() && codes[c + 1] == 2) {
            const uint32_t rgb =
                uint32_t(codes[c + 2]) << 16 | uint32_t(codes[c + 3]) << 8 | uint32_t(codes[c + 4]);
            (code == 38 ? pen.fg : pen.bg) = rgb;
            (code == 38 ? pen.fg_set : pen.bg_set) = true;
            c += 4;
          } else if ((code == 38 || code == 48) && c + 2 < codes.size() && codes[c + 1] == 5) {
            // A palette entry: told apart from every 24-bit colour by a bit above them.
            (code == 38 ? pen.fg : pen.bg) = PALETTE | uint32_t(codes[c + 2]);
            (code == 38 ? pen.fg_set : pen.bg_set) = true;
            c += 2;
          } else if (code == 0) {
            pen = Pen{};
          } else if (code == 39) {
            pen.fg_set = false;
          } else if (code == 49) {
            pen.bg_set = false;
          }
        }
        i = end + 1;
        continue;
      }
      const unsigned char lead = static_cast<unsigned char>(line[i]);
      const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
      const std::string symbol = line.substr(i, length);
      i += length;
      if (symbol == " ")
        row.push_back({pen.bg_set, pen.bg});
      else if (symbol == "\u2588")
        row.push_back({pen.fg_set, pen.fg});
      else
        row.push_back({});
    }
  }
  return screen;
}

namespace {

ShownCell at(const Screen& screen, int column, int row) {
  if (row >= int(screen.size()) || column >= int(screen[size_t(row)].size())) return {};
  return screen[size_t(row)][size_t(column)];
}

}  // namespace

int count(const Screen& screen, int left, int top, int right, int bottom, uint32_t rgb) {
  int n = 0;
  for (int row = top; row < bottom; ++row)
    for (int column = left; column < right; ++column) {
      const ShownCell cell = at(screen, column, row);
      n += cell.coloured && cell.rgb == rgb;
    }
  return n;
}

int coloured(const Screen& screen) {
  int n = 0;
  for (const auto& row : screen)
    for (const ShownCell& cell : row) n += cell.coloured && cell.rgb != 0;
  return n;
}

}  // namespace support
