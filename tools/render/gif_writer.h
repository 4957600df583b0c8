// An animated GIF written frame by frame through giflib: a palette of greys, a fixed delay a
// frame, identical consecutive frames merged into one longer one, and only the changed
// rectangle of each frame stored.
#pragma once

#include <gif_lib.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/render/image.h"
#include "tools/render/output_file.h"

namespace tools::render {

class GifWriter {
 public:
  // `greys` is the palette: 2, 4, ... 256 grey levels; frames are drawn in them.
  GifWriter(std::vector<uint8_t> greys, int delay_hundredths);
  ~GifWriter();
  GifWriter(const GifWriter&) = delete;
  GifWriter& operator=(const GifWriter&) = delete;

  // Starts the animation in `file`, which must outlive the writer; every frame added later must
  // be width x height. Returns an error text.
  std::string open(OutputFile& file, int width, int height);
  // Adds a grey frame shown for one delay; a grey not in the palette gets the nearest one.
  std::string add(const Image& frame);
  // Writes the last frame and the trailer. Safe to repeat; does nothing when never opened.
  std::string close();

 private:
  struct Rectangle {
    int left = 0, top = 0, width = 0, height = 0;
  };
  std::string write_pending();
  std::string failure(const char* what, int code);

  std::vector<uint8_t> greys_;
  int delay_;
  std::array<uint8_t, 256> index_of_grey_{};
  GifFileType* file_ = nullptr;
  OutputFile* output_ = nullptr;
  std::vector<uint8_t> pending_;  // palette indices of the frame not yet written
  Rectangle changed_;             // the part of it that differs from the frame written before
  int pending_delay_ = 0;         // hundredths of a second; 0 when nothing is pending
};

}  // namespace tools::render
