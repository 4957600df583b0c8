// Writing each frame to the outputs the command line asked for.
#include "tools/render/outputs.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tools/render/text_art.h"

namespace tools::render {
namespace {

bool is_standard_output(const std::string& path) {
  return path == STANDARD_OUTPUT;
}

std::string system_error(const std::string& what, const std::string& path) {
  return what + " " + (is_standard_output(path) ? "standard output" : path) + ": " +
         std::strerror(errno);
}

std::string open_stream(const std::string& path, FILE*& stream) {
  if (path.empty()) return {};
  stream = is_standard_output(path) ? stdout : std::fopen(path.c_str(), "wb");
  return stream != nullptr ? std::string() : system_error("cannot create", path);
}

std::string make_directory(const std::string& path) {
  if (path.empty()) return {};
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (!std::filesystem::is_directory(path))
    return "cannot create directory " + path + ": " +
           (error ? error.message() : std::string("not a directory"));
  return {};
}

// Files written only at the end are created now, to find a bad path before a long render.
std::string touch(const std::string& path) {
  if (path.empty() || is_standard_output(path)) return {};
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return system_error("cannot create", path);
  std::fclose(file);
  return {};
}

std::string close_stream(FILE*& stream, const std::string& path) {
  if (stream == nullptr) return {};
  const bool failed = std::ferror(stream) != 0;
  // Standard output stays open for whatever the process prints after the show.
  const bool close_failed = stream == stdout ? std::fflush(stream) != 0 : std::fclose(stream) != 0;
  stream = nullptr;
  return failed || close_failed ? system_error("cannot write", path) : std::string();
}

std::string write_stream(FILE* stream, const std::string& path, const void* bytes, size_t size) {
  if (std::fwrite(bytes, 1, size, stream) != size) return system_error("cannot write", path);
  return {};
}

std::string frame_file(const std::string& directory, uint32_t frame) {
  char name[32];
  std::snprintf(name, sizeof name, "/frame-%05u.png", frame);
  return directory + name;
}

}  // namespace

Outputs::Outputs(const RenderOptions& options) : options_(options) {}

Outputs::~Outputs() {
  for (FILE* stream : {raw_, grey_, ascii_})
    if (stream != nullptr && stream != stdout) std::fclose(stream);
}

std::string Outputs::open() {
  for (std::string error :
       {open_stream(options_.raw_path, raw_), open_stream(options_.grey_path, grey_),
        open_stream(options_.ascii_path, ascii_), make_directory(options_.png_dir),
        make_directory(options_.ascii_png_dir), touch(options_.gif_path),
        touch(options_.sheet_path)})
    if (!error.empty()) return error;
  if (ColourOutput::wanted(options_)) {
    colour_ = std::make_unique<ColourOutput>(options_);
    if (std::string error = colour_->open(); !error.empty()) return error;
  }
  if (!options_.gif_path.empty())
    gif_ = std::make_unique<GifWriter>(std::vector<uint8_t>{BACKGROUND_GREY, TEXT_GREY},
                                       FRAME_HUNDREDTHS);
  if (!options_.sheet_path.empty()) sheet_.emplace();
  if (!options_.cast_path.empty() || !options_.html_path.empty())
    share_ = std::make_unique<ShareOutput>(options_);
  return share_ ? share_->open() : std::string();
}

std::string Outputs::add(const RenderedFrame& frame) {
  constexpr size_t PIXELS = engine::PICTURE_WIDTH * engine::PICTURE_HEIGHT;
  const auto& pixels = frame.picture.pixels;
  std::string error;
  if (share_) share_->add(frame);
  if (raw_ != nullptr) {
    // Little-endian whatever the machine: low byte first.
    uint8_t bytes[2 * PIXELS];
    for (size_t i = 0; i < PIXELS; ++i) {
      bytes[2 * i] = static_cast<uint8_t>(pixels[i]);
      bytes[2 * i + 1] = static_cast<uint8_t>(pixels[i] >> 8);
    }
    error = write_stream(raw_, options_.raw_path, bytes, sizeof bytes);
    if (!error.empty()) return error;
  }
  if (grey_ != nullptr) {
    uint8_t bytes[PIXELS];
    for (size_t i = 0; i < PIXELS; ++i) bytes[i] = static_cast<uint8_t>(pixels[i]);
    error = write_stream(grey_, options_.grey_path, bytes, sizeof bytes);
    if (!error.empty()) return error;
  }
  if (ascii_ != nullptr) {
    std::string lines;
    for (int row = 0; row < TEXT_ROWS; ++row)
      lines.append(frame.text.substr(size_t(row) * TEXT_COLUMNS, TEXT_COLUMNS)).push_back('\n');
    lines += std::to_string(frame.number) + "\n";
    error = write_stream(ascii_, options_.ascii_path, lines.data(), lines.size());
    if (!error.empty()) return error;
  }
  if (colour_) {
    error = colour_->add(frame);
    if (!error.empty()) return error;
  }

  const bool png_due = frame.number % options_.png_every() == 0;
  if (png_due && !options_.png_dir.empty()) {
    error = write_png(colour_image(frame.picture, options_.scale, options_.scale),
                      frame_file(options_.png_dir, frame.number));
    if (!error.empty()) return error;
  }
  const bool ascii_png_due = png_due && !options_.ascii_png_dir.empty();
  const bool sheet_due = sheet_ && frame.number % options_.sheet_every() == 0;
  if (!ascii_png_due && !sheet_due && !gif_) return {};

  const Image screen = draw_screen(frame.text, TEXT_COLUMNS, TEXT_ROWS, frame.font);
  if (ascii_png_due) {
    error = write_png(screen, frame_file(options_.ascii_png_dir, frame.number));
    if (!error.empty()) return error;
  }
  if (sheet_due) sheet_->add(frame.number, frame.picture, screen, frame.font);
  if (gif_) {
    if (!gif_open_) {
      error = gif_->open(options_.gif_path, screen.width, screen.height);
      gif_open_ = true;
      if (!error.empty()) return error;
    }
    error = gif_->add(screen);
  }
  return error;
}

std::string Outputs::finish(const aa_font* font) {
  std::string first_error;
  auto keep = [&](std::string error) {
    if (first_error.empty()) first_error = std::move(error);
  };
  keep(close_stream(raw_, options_.raw_path));
  keep(close_stream(grey_, options_.grey_path));
  keep(close_stream(ascii_, options_.ascii_path));
  if (colour_) keep(colour_->finish());
  if (gif_) {
    // A show that ends before its first frame gets one blank frame of the screen's size: GIF
    // readers, giflib among them, reject a file without images.
    if (!gif_open_ && font != nullptr) {
      const std::string blank(size_t{TEXT_COLUMNS} * TEXT_ROWS, ' ');
      const Image screen = draw_screen(blank, TEXT_COLUMNS, TEXT_ROWS, *font);
      keep(gif_->open(options_.gif_path, screen.width, screen.height));
      keep(gif_->add(screen));
    }
    keep(gif_->close());
  }
  if (sheet_) keep(write_png(sheet_->compose(), options_.sheet_path));
  if (share_) keep(share_->finish());
  return first_error;
}

}  // namespace tools::render
