// --video: the show as a video file with its music, of the ASCII view (AA-lib's characters as
// --ascii-png draws them) or of the colour view (its cells as --colour-sheet draws them),
// letterboxed on a standard frame.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "display/colour_view.h"
#include "sound/music.h"
#include "sound/pcm.h"
#include "tools/render/cell_font.h"
#include "tools/render/options.h"
#include "tools/render/outputs.h"
#include "tools/render/video_encoder.h"

namespace tools::render {

// How a view's picture is placed on the video's frame: scaled by `scale` (a whole number of
// pixels a pixel when `whole`) and centred.
struct Letterbox {
  int width = 0;  // the scaled picture
  int height = 0;
  int x = 0;  // its top-left corner on the frame
  int y = 0;
  bool whole = false;
};

// The largest fit of a picture on a frame, keeping its shape. A whole number of pixels a pixel
// keeps AA-lib's glyphs sharp; it is taken when it fills at least two thirds of the best fit,
// and the picture is smoothed to the best fit otherwise.
Letterbox fit_picture(int picture_width, int picture_height, int frame_width, int frame_height);

// `picture` scaled and centred on a black frame as `box` says.
Image letterbox(const Image& picture, const Letterbox& box, int frame_width, int frame_height);

class VideoOutput : public Sink {
 public:
  explicit VideoOutput(const RenderOptions& options);
  ~VideoOutput() override;

  // Creates the file and loads the colour view's font at the cell size that fits the frame.
  std::string open(OutputFiles& files) override;
  std::string add(FrameViews& frame) override;
  std::string finish(const aa_font* font) override;

 private:
  std::string add_frame(FrameViews& views);
  std::string finish_video(const aa_font* font);
  void open_music(const engine::Show* show);
  std::string start(const Image& first_picture);
  Image picture_of(FrameViews& views);
  void show_progress();

  const RenderOptions& options_;
  std::string data_path_;  // for the line that says why the music is silent
  VideoSettings settings_;
  OutputFile* file_ = nullptr;
  VideoEncoder encoder_;
  bool started_ = false;
  std::unique_ptr<display::ColourView> colour_;
  CellFont cell_font_;
  std::optional<Letterbox> box_;
  // The show's music, decoded from its first frame as --wav decodes it; none for a silent show.
  std::unique_ptr<sound::Music> music_;
  sound::PcmFrame pcm_{};
  // The one-line progress display, on a terminal only.
  bool progress_ = false;
  int64_t progress_lines_ = 0;
  std::chrono::steady_clock::time_point began_, shown_;
};

}  // namespace tools::render
