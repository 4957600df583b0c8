// The outputs that share a show with people who will not build it: an asciicast recording of
// the player's terminal (--cast), of either view, and a web page that runs the engine (--html).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "display/colour_view.h"
#include "tools/render/cast.h"
#include "tools/render/html_page.h"
#include "tools/render/options.h"
#include "tools/render/outputs.h"
#include "tools/render/render_display.h"

namespace tools::render {

class ShareOutput : public Sink {
 public:
  explicit ShareOutput(const RenderOptions& options);

  // Finds the page's parts and reads the data file when a page is asked for, and creates the
  // files, so that a missing part or a path that cannot be written is reported before the
  // show is rendered.
  std::string open(OutputFiles& files) override;
  // Records the frame; the first one also tells the page whether the show has music.
  std::string add(FrameViews& frame) override;
  // Ends the recording where the display closed (after the last frame given), adds the
  // farewell unless --no-farewell, and writes the files.
  std::string finish(const aa_font* font) override;

 private:
  const display::CellGrid& cells_of(const RenderedFrame& frame);

  const RenderOptions& options_;
  ShowRecording recording_;
  std::optional<uint32_t> last_frame_;
  display::CellGrid ascii_cells_;
  std::unique_ptr<display::ColourView> colour_;
  std::optional<PageParts> page_parts_;
  PageShow page_show_;
  OutputFile* cast_ = nullptr;
  OutputFile* html_ = nullptr;
};

}  // namespace tools::render
