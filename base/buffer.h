// A 16-bit RGB565 surface placed on the 160 x 50 picture; what effects draw into and the display
// shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace engine {

// Pixel blocks are shared: view buffers share their source's block, and a buffer may show an
// image chunk's own pixels. The block lives as long as anyone holds it. Every buffer's block
// holds at least width x height pixels, so an effect may write all of them.
using PixelBlock = std::shared_ptr<uint16_t[]>;

struct Buffer {
  PixelBlock pixels;    // width x height pixels, row-major, row stride = width
  uint16_t width = 0;   // pixels per row
  uint16_t height = 0;  // rows
  uint16_t x = 0;       // column of the left edge on the picture
  uint16_t y = 0;       // row of the top edge on the picture

  size_t pixel_count() const { return size_t{width} * height; }
};

// A buffer table entry: empty, or holding the one Buffer record it keeps for the rest of the run.
// Effects keep a reference to the entry or to the record; both stay valid while the engine lives.
using BufferEntry = std::unique_ptr<Buffer>;

// A zeroed (black) block of `count` pixels; running out of memory is a fatal error.
PixelBlock allocate_pixels(size_t count);

}  // namespace engine
