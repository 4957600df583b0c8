// The band of text under the picture.
#include "display/text_band.h"

#include <algorithm>

namespace display {

bool set_text_band(engine::DisplayDriver& display, std::vector<std::string> lines) {
  if (display.set_text_band == nullptr) return false;
  display.set_text_band(display, std::move(lines));
  return true;
}

void keep_text_band(engine::DisplayDriver& display, std::vector<std::string> lines) {
  static_cast<TextBandState&>(*display.state).band = std::move(lines);
}

int picture_rows(int screen_rows, size_t lines) {
  const int band = static_cast<int>(std::min<size_t>(lines, size_t(std::max(screen_rows, 1))));
  return std::max(screen_rows - band, 1);
}

}  // namespace display
