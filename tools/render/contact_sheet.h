// A contact sheet: one thumbnail pair a chosen frame (the colour picture beside its ASCII art),
// each labelled with its frame number and show time, laid out in a grid and written as a PNG.
#pragma once

#include <aalib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "display/picture.h"
#include "tools/render/image.h"

namespace tools::render {

class ContactSheet {
 public:
  // `screen` is the frame's ASCII art as draw_screen makes it; `font` draws the label.
  void add(uint32_t frame, const display::Picture& picture, const Image& screen,
           const aa_font& font);
  // The whole grid; with no thumbnail it is one empty cell.
  Image compose() const;

 private:
  struct Thumbnail {
    uint32_t frame;
    Image colour;
    Image ascii;
  };
  std::vector<Thumbnail> thumbnails_;
  const aa_font* font_ = nullptr;
};

// "mm:ss" of the show's time at the start of `frame`, at 30 ms a frame.
std::string show_time(uint32_t frame);

}  // namespace tools::render
