// The table of the renderer's outputs, the sinks that are its rows, and the files they write.
#include "tools/render/outputs.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "sound/show_music.h"
#include "sound/wav.h"

#include "tools/render/colour_output.h"
#include "tools/render/contact_sheet.h"
#include "tools/render/gif_writer.h"
#include "tools/render/share_output.h"
#include "tools/render/text_art.h"

namespace tools::render {

const Image& FrameViews::screen() {
  if (!screen_) screen_ = draw_screen(frame.text, TEXT_COLUMNS, TEXT_ROWS, frame.font);
  return *screen_;
}

std::string OutputFiles::refuse_input(const std::string& option, const std::string& path) const {
  if (!input_.is_input(path)) return {};
  return option + " " + path + " is the data file being rendered; it is left as it is";
}

OutputFile* OutputFiles::create(const std::string& path, std::string& error) {
  error = refuse_input("the output", path);
  if (!error.empty()) return nullptr;
  std::unique_ptr<OutputFile> file = OutputFile::create(path, error);
  if (!file) return nullptr;
  return files_.emplace_back(std::move(file)).get();
}

std::string OutputFiles::write_png_now(const Image& image, const std::string& path) {
  std::string error;
  OutputFile* file = create(path, error);
  if (file == nullptr) return error;
  error = write_png(image, *file);
  std::string close_error = file->close();
  if (error.empty()) error = close_error;
  if (error.empty()) error = file->put_in_place();
  // Done with, whatever became of it: a long render of pictures keeps no stream open a frame.
  std::erase_if(files_,
                [&](const std::unique_ptr<OutputFile>& kept) { return kept.get() == file; });
  return error;
}

std::string OutputFiles::close_all() {
  std::string first_error;
  for (auto& file : files_) {
    std::string error = file->close();
    if (first_error.empty()) first_error = error;
  }
  return first_error;
}

std::string OutputFiles::put_all_in_place() {
  std::string first_error;
  for (auto& file : files_) {
    std::string error = file->put_in_place();
    if (first_error.empty()) first_error = error;
  }
  return first_error;
}

namespace {

// --raw, --grey and --ascii: a few bytes a frame, appended to one file.
class StreamSink : public Sink {
 public:
  using Encode = void (*)(const RenderedFrame& frame, std::string& bytes);
  StreamSink(const std::string& path, Encode encode) : path_(path), encode_(encode) {}

  std::string open(OutputFiles& files) override {
    std::string error;
    file_ = files.create(path_, error);
    return error;
  }
  std::string add(FrameViews& views) override {
    bytes_.clear();
    encode_(views.frame, bytes_);
    return file_->write(bytes_.data(), bytes_.size());
  }
  std::string finish(const aa_font*) override { return {}; }

 private:
  const std::string& path_;
  Encode encode_;
  OutputFile* file_ = nullptr;
  std::string bytes_;
};

constexpr size_t PIXELS = engine::PICTURE_WIDTH * engine::PICTURE_HEIGHT;

// Little-endian whatever the machine: low byte first.
void encode_raw(const RenderedFrame& frame, std::string& bytes) {
  bytes.resize(2 * PIXELS);
  for (size_t i = 0; i < PIXELS; ++i) {
    bytes[2 * i] = static_cast<char>(frame.picture.pixels[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(frame.picture.pixels[i] >> 8);
  }
}

// The low byte of each pixel.
void encode_grey(const RenderedFrame& frame, std::string& bytes) {
  bytes.resize(PIXELS);
  for (size_t i = 0; i < PIXELS; ++i) bytes[i] = static_cast<char>(frame.picture.pixels[i]);
}

void encode_ascii(const RenderedFrame& frame, std::string& bytes) {
  for (int row = 0; row < TEXT_ROWS; ++row)
    bytes.append(frame.text.substr(size_t(row) * TEXT_COLUMNS, TEXT_COLUMNS)).push_back('\n');
  bytes += std::to_string(frame.number) + "\n";
}

// --png and --ascii-png: a picture of every K-th frame in a folder, each file in place as soon
// as it is written.
class PictureFolderSink : public Sink {
 public:
  using Draw = Image (*)(FrameViews& views, const RenderOptions& options);
  PictureFolderSink(const RenderOptions& options, const std::string& folder, Draw draw)
      : options_(options), folder_(folder), draw_(draw) {}

  std::string open(OutputFiles& files) override {
    files_ = &files;
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (std::filesystem::is_directory(folder_)) return {};
    return "cannot create directory " + folder_ + ": " +
           (error ? error.message() : std::string("not a directory"));
  }
  std::string add(FrameViews& views) override {
    if (views.frame.number % options_.png_every() != 0) return {};
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%05u.png", views.frame.number);
    return files_->write_png_now(draw_(views, options_), folder_ + name);
  }
  std::string finish(const aa_font*) override { return {}; }

 private:
  const RenderOptions& options_;
  const std::string& folder_;
  Draw draw_;
  OutputFiles* files_ = nullptr;
};

// --sheet: a thumbnail pair every K frames, laid out and written at the end.
class SheetSink : public Sink {
 public:
  explicit SheetSink(const RenderOptions& options) : options_(options) {}

  std::string open(OutputFiles& files) override {
    std::string error;
    file_ = files.create(options_.sheet_path, error);
    return error;
  }
  std::string add(FrameViews& views) override {
    const RenderedFrame& frame = views.frame;
    if (frame.number % options_.sheet_every() == 0)
      sheet_.add(frame.number, frame.picture, views.screen(), frame.font);
    return {};
  }
  std::string finish(const aa_font*) override { return write_png(sheet_.compose(), *file_); }

 private:
  const RenderOptions& options_;
  ContactSheet sheet_;
  OutputFile* file_ = nullptr;
};

// --gif: the ASCII screens, in the text's two greys.
class GifSink : public Sink {
 public:
  explicit GifSink(const RenderOptions& options)
      : options_(options), gif_({BACKGROUND_GREY, TEXT_GREY}, FRAME_HUNDREDTHS) {}

  std::string open(OutputFiles& files) override {
    std::string error;
    file_ = files.create(options_.gif_path, error);
    return error;
  }
  std::string add(FrameViews& views) override {
    const Image& screen = views.screen();
    if (!started_) {
      started_ = true;
      std::string error = gif_.open(*file_, screen.width, screen.height);
      if (!error.empty()) return error;
    }
    return gif_.add(screen);
  }
  std::string finish(const aa_font* font) override {
    // A show that ends before its first frame gets one blank frame of the screen's size: GIF
    // readers, giflib among them, reject a file without images.
    if (!started_ && font != nullptr) {
      const std::string blank(size_t{TEXT_COLUMNS} * TEXT_ROWS, ' ');
      const Image screen = draw_screen(blank, TEXT_COLUMNS, TEXT_ROWS, *font);
      started_ = true;
      std::string error = gif_.open(*file_, screen.width, screen.height);
      if (error.empty()) error = gif_.add(screen);
      if (!error.empty()) return error;
    }
    return gif_.close();
  }

 private:
  const RenderOptions& options_;
  GifWriter gif_;
  OutputFile* file_ = nullptr;
  bool started_ = false;
};

// --wav: the show's music, one frame's samples for each frame rendered, so that frame n begins
// at sample n x 1323 and the file lasts as many 30 ms as frames were rendered. A show without
// music, or with a module that cannot be played, gives silence of that length and a line on
// standard error.
class WavSink : public Sink {
 public:
  explicit WavSink(const RenderOptions& options) : options_(options) {}

  std::string open(OutputFiles& files) override {
    std::string error;
    file_ = files.create(options_.wav_path, error);
    if (file_ == nullptr) return error;
    data_path_ = files.input_path();
    writer_.emplace(file_->stream());
    return written();
  }
  std::string add(FrameViews& views) override {
    if (!opened_) open_music(views.frame.show);
    sound::PcmFrame samples{};
    if (music_.music) {
      // Every frame is presented, from 0; should one be missed, the music still plays the
      // frame it is given.
      if (music_.music->next_frame() != static_cast<int32_t>(views.frame.number))
        music_.music->seek(static_cast<int32_t>(views.frame.number));
      music_.music->render(samples);
    }
    writer_->write(samples);
    return written();
  }
  std::string finish(const aa_font*) override {
    writer_->finish();
    return written();
  }

 private:
  void open_music(const engine::Show* show) {
    opened_ = true;
    const datafile::MusicChunk* chunk = show != nullptr ? show->music() : nullptr;
    std::optional<std::span<const uint8_t>> module;
    int number = 0;
    if (chunk != nullptr) {
      module = chunk->bytes;
      const auto& chunks = show->engine().chunks;
      number =
          static_cast<int>(std::find_if(chunks.begin(), chunks.end(),
                                        [&](const auto& entry) { return entry.get() == chunk; }) -
                           chunks.begin());
    }
    music_ = sound::open_show_music(module, data_path_, number);
    if (!music_.why_silent.empty())
      std::fprintf(stderr, "tundra-render: --wav: %s\n", music_.why_silent.c_str());
  }
  // The writer's first failure, as the file's.
  std::string written() {
    if (writer_->error().empty()) return {};
    return file_->fail(file_->name() + ": " + writer_->error());
  }

  const RenderOptions& options_;
  OutputFile* file_ = nullptr;
  std::string data_path_;
  std::optional<sound::WavWriter> writer_;
  sound::ShowMusic music_;
  bool opened_ = false;
};

Image colour_picture(FrameViews& views, const RenderOptions& options) {
  return colour_image(views.frame.picture, options.scale, options.scale);
}

Image ascii_screen(FrameViews& views, const RenderOptions&) {
  return views.screen();
}

template <std::string RenderOptions::*path>
bool given(const RenderOptions& options) {
  return !(options.*path).empty();
}

bool recording_given(const RenderOptions& options) {
  return !options.cast_path.empty() || !options.html_path.empty();
}

template <class SinkType>
std::unique_ptr<Sink> make(const RenderOptions& options) {
  return std::make_unique<SinkType>(options);
}

template <std::string RenderOptions::*path, StreamSink::Encode encode>
std::unique_ptr<Sink> stream(const RenderOptions& options) {
  return std::make_unique<StreamSink>(options.*path, encode);
}

template <std::string RenderOptions::*folder, PictureFolderSink::Draw draw>
std::unique_ptr<Sink> pictures(const RenderOptions& options) {
  return std::make_unique<PictureFolderSink>(options, options.*folder, draw);
}

using Options = RenderOptions;
constexpr SinkRow sink_rows[] = {
    {"--cast, --html", recording_given, make<ShareOutput>},
    {"--raw", given<&Options::raw_path>, stream<&Options::raw_path, encode_raw>},
    {"--grey", given<&Options::grey_path>, stream<&Options::grey_path, encode_grey>},
    {"--ascii", given<&Options::ascii_path>, stream<&Options::ascii_path, encode_ascii>},
    {"--ansi, --colour-sheet", ColourOutput::wanted, make<ColourOutput>},
    {"--png", given<&Options::png_dir>, pictures<&Options::png_dir, colour_picture>},
    {"--ascii-png", given<&Options::ascii_png_dir>,
     pictures<&Options::ascii_png_dir, ascii_screen>},
    {"--sheet", given<&Options::sheet_path>, make<SheetSink>},
    {"--gif", given<&Options::gif_path>, make<GifSink>},
    {"--wav", given<&Options::wav_path>, make<WavSink>},
};

}  // namespace

Outputs::Outputs(const RenderOptions& options, const std::string& data_path)
    : options_(options), files_(data_path) {}

std::string Outputs::open() {
  // Checked before any file is created, so that a refused render opens nothing for writing.
  for (auto [option, path] : file_outputs(options_)) {
    std::string error = files_.refuse_input(option, *path);
    if (!error.empty()) return error;
  }
  for (const SinkRow& row : sink_rows) {
    if (!row.wanted(options_)) continue;
    std::string error = sinks_.emplace_back(row.make(options_))->open(files_);
    if (!error.empty()) return error;
  }
  return {};
}

std::string Outputs::add(const RenderedFrame& frame) {
  FrameViews views(frame);
  for (auto& sink : sinks_) {
    std::string error = sink->add(views);
    if (!error.empty()) return error;
  }
  return {};
}

std::string Outputs::finish(const aa_font* font) {
  std::string first_error;
  for (auto& sink : sinks_) {
    std::string error = sink->finish(font);
    if (first_error.empty()) first_error = error;
  }
  std::string close_error = files_.close_all();
  return first_error.empty() ? close_error : first_error;
}

}  // namespace tools::render
