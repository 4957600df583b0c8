// Everything the renderer writes, as one table of sinks: the raw, grey, ASCII and ANSI streams,
// PNG pictures, the GIF animation, the contact sheets and the recordings. Every file goes
// through OutputFiles, which puts them all in place only when the render is complete.
#pragma once

#include <aalib.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/render/image.h"
#include "tools/render/options.h"
#include "tools/render/output_file.h"
#include "tools/render/render_display.h"

namespace tools::render {

// The show's frame time in hundredths of a second, the GIF's unit.
inline constexpr int FRAME_HUNDREDTHS = 3;

// A frame as the sinks receive it: the ASCII screen in AA-lib's font is drawn once, for all the
// sinks that show it, and only when one does.
class FrameViews {
 public:
  explicit FrameViews(const RenderedFrame& frame) : frame(frame) {}
  const Image& screen();

  const RenderedFrame& frame;

 private:
  std::optional<Image> screen_;
};

// The files of one render. None is the data file being rendered; each is written beside its
// name, and all are put in place together once every one is complete.
class OutputFiles {
 public:
  explicit OutputFiles(const std::string& input_path)
      : input_path_(input_path), input_(input_path) {}

  // The data file being rendered, as named on the command line.
  const std::string& input_path() const { return input_path_; }

  // An error text when `path` is the data file; refusing is all this does to it.
  std::string refuse_input(const std::string& option, const std::string& path) const;
  // The file, kept until the render ends; null with `error` set when it cannot be created.
  OutputFile* create(const std::string& path, std::string& error);
  // A whole PNG picture written now and put in place at once: one of the --png frames.
  std::string write_png_now(const Image& image, const std::string& path);
  // Closes every file; the first error.
  std::string close_all();
  // Renames every complete file over its name; the first error.
  std::string put_all_in_place();

 private:
  std::string input_path_;
  InputIdentity input_;
  std::vector<std::unique_ptr<OutputFile>> files_;
};

// One output, or outputs made from the same work (the colour view's two, a recording and its
// page). A sink that is destroyed before its files are put in place leaves nothing behind.
class Sink {
 public:
  virtual ~Sink() = default;
  // Creates the files and finds what the sink needs, so that a path that cannot be written is
  // reported before the show is rendered. Returns an error text, empty on success.
  virtual std::string open(OutputFiles& files) = 0;
  // Writes one frame; an error text stops the show.
  virtual std::string add(FrameViews& frame) = 0;
  // Writes what comes at the end; `font` is AA-lib's font, or null when the display never
  // opened. The files are then closed and put in place by OutputFiles.
  virtual std::string finish(const aa_font* font) = 0;
};

// A row of the table of outputs: whether the options ask for it, and how it is made. A new kind
// of output (a sound track, a video) is one more row.
struct SinkRow {
  const char* options;  // the options the sink serves, for the reader
  bool (*wanted)(const RenderOptions& options);
  std::unique_ptr<Sink> (*make)(const RenderOptions& options);
};

class Outputs {
 public:
  Outputs(const RenderOptions& options, const std::string& data_path);

  // Refuses an output that is the data file, then opens every sink the options ask for.
  std::string open();
  // Writes one frame wherever it belongs; returns an error text on the first failure.
  std::string add(const RenderedFrame& frame);
  // Completes and closes every file; an error text on the first failure.
  std::string finish(const aa_font* font);
  // Puts the completed files in place under their names: the render was not interrupted.
  std::string put_in_place() { return files_.put_all_in_place(); }

 private:
  const RenderOptions& options_;
  OutputFiles files_;
  std::vector<std::unique_ptr<Sink>> sinks_;
};

}  // namespace tools::render
