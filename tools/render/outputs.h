// Everything the renderer writes per frame: the raw, grey and ASCII streams, PNG pictures, the
// GIF animation and the contact sheet.
#pragma once

#include <aalib.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "tools/render/colour_output.h"
#include "tools/render/contact_sheet.h"
#include "tools/render/gif_writer.h"
#include "tools/render/options.h"
#include "tools/render/render_display.h"
#include "tools/render/share_output.h"

namespace tools::render {

// The show's frame time in hundredths of a second, the GIF's unit.
inline constexpr int FRAME_HUNDREDTHS = 3;

class Outputs {
 public:
  explicit Outputs(const RenderOptions& options);
  ~Outputs();
  Outputs(const Outputs&) = delete;
  Outputs& operator=(const Outputs&) = delete;

  // Creates every file and directory the options name, so that a path that cannot be written
  // is reported before the show is rendered. Returns an error text, empty on success.
  std::string open();
  // Writes one frame wherever it belongs; returns an error text on the first failure.
  std::string add(const RenderedFrame& frame);
  // Completes the files: the GIF's last frame and trailer, the contact sheet, the streams.
  // `font` is AA-lib's font, or null when the display never opened.
  std::string finish(const aa_font* font);

 private:
  const RenderOptions& options_;
  FILE* raw_ = nullptr;
  FILE* grey_ = nullptr;
  FILE* ascii_ = nullptr;
  std::unique_ptr<ColourOutput> colour_;  // --ansi and --colour-sheet
  std::unique_ptr<GifWriter> gif_;
  bool gif_open_ = false;
  std::optional<ContactSheet> sheet_;
  std::unique_ptr<ShareOutput> share_;
};

}  // namespace tools::render
