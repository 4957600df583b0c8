// The colour view among the renderer's outputs: each frame as the colour display draws it on
// 80 x 25 cells in 24-bit colour, as ANSI text (--ansi), and as thumbnails of those cells drawn
// in a real font on a contact sheet (--colour-sheet), so it can be judged without a terminal.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "display/cell_grid.h"
#include "display/colour_view.h"
#include "tools/render/cell_font.h"
#include "tools/render/options.h"
#include "tools/render/outputs.h"
#include "tools/render/render_display.h"

namespace tools::render {

class ColourOutput : public Sink {
 public:
  explicit ColourOutput(const RenderOptions& options);

  // Creates the files, and loads the sheet's font.
  std::string open(OutputFiles& files) override;
  std::string add(FrameViews& frame) override;
  std::string finish(const aa_font* font) override;

  // Whether the options ask for any of the colour outputs.
  static bool wanted(const RenderOptions& options);

 private:
  struct Thumbnail {
    uint32_t frame;
    display::CellGrid cells;
  };
  Image compose_sheet(const aa_font* label_font);

  const RenderOptions& options_;
  display::ColourView view_;
  OutputFile* ansi_ = nullptr;
  OutputFile* sheet_ = nullptr;
  CellFont font_;
  std::vector<Thumbnail> thumbnails_;
  const aa_font* label_font_ = nullptr;
};

}  // namespace tools::render
