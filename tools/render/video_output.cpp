// Writing the video: each frame's view drawn, letterboxed and handed to the encoder.
#include "tools/render/video_output.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

extern "C" {
#include <libswscale/swscale.h>
}

#include "datafile/chunk.h"
#include "display/flash.h"
#include "sound/show_music.h"
#include "tools/render/text_art.h"

namespace tools::render {
namespace {

// The progress line is redrawn at most this often: a terminal need not see every frame.
constexpr auto PROGRESS_INTERVAL = std::chrono::milliseconds(250);

// `picture` resized to `width` x `height` by swscale: area averaging when it shrinks, which
// keeps thin strokes, and bicubic when it grows.
Image smooth_resize(const Image& picture, int width, int height) {
  Image out(width, height, picture.channels);
  const AVPixelFormat format = picture.channels == 1 ? AV_PIX_FMT_GRAY8 : AV_PIX_FMT_RGB24;
  const int flags = width < picture.width ? SWS_AREA : SWS_BICUBIC;
  SwsContext* context = sws_getContext(picture.width, picture.height, format, width, height, format,
                                       flags, nullptr, nullptr, nullptr);
  if (context == nullptr) return out;  // black: swscale refuses only sizes --size forbids
  const uint8_t* in_planes[] = {picture.bytes.data()};
  const int in_strides[] = {picture.width * picture.channels};
  uint8_t* out_planes[] = {out.bytes.data()};
  const int out_strides[] = {width * picture.channels};
  sws_scale(context, in_planes, in_strides, 0, picture.height, out_planes, out_strides);
  sws_freeContext(context);
  return out;
}

}  // namespace

Letterbox fit_picture(int picture_width, int picture_height, int frame_width, int frame_height) {
  Letterbox box;
  // The whole factor first, in integers: 1280 / 640 is 2 exactly.
  const int whole = std::min(frame_width / picture_width, frame_height / picture_height);
  const double best =
      std::min(double(frame_width) / picture_width, double(frame_height) / picture_height);
  if (whole >= 1 && 3 * whole >= 2 * best) {
    box.width = picture_width * whole;
    box.height = picture_height * whole;
    box.whole = true;
  } else {
    box.width = std::clamp(int(picture_width * best), 1, frame_width);
    box.height = std::clamp(int(picture_height * best), 1, frame_height);
  }
  box.x = (frame_width - box.width) / 2;
  box.y = (frame_height - box.height) / 2;
  return box;
}

Image letterbox(const Image& picture, const Letterbox& box, int frame_width, int frame_height) {
  Image frame(frame_width, frame_height, picture.channels);
  if (!box.whole) {
    paste(frame, smooth_resize(picture, box.width, box.height), box.x, box.y);
    return frame;
  }
  const int factor = box.width / picture.width;
  const size_t channels = size_t(picture.channels);
  for (int y = 0; y < box.height; ++y) {
    const uint8_t* source = picture.at(0, y / factor);
    uint8_t* target = frame.at(box.x, box.y + y);
    for (int x = 0; x < box.width; ++x)
      std::copy_n(source + size_t(x / factor) * channels, channels, target + size_t(x) * channels);
  }
  return frame;
}

VideoOutput::VideoOutput(const RenderOptions& options) : options_(options) {}
VideoOutput::~VideoOutput() = default;

std::string VideoOutput::open(OutputFiles& files) {
  // The options accept only the two extensions.
  settings_.codecs = codecs_of(video_format_of(options_.video_path).value_or(VideoFormat::WEBM));
  settings_.width = options_.video_width;
  settings_.height = options_.video_height;
  settings_.crf = options_.crf.value_or(settings_.codecs.default_crf);
  std::string error;
  file_ = files.create(options_.video_path, error);
  if (file_ == nullptr) return error;
  data_path_ = files.input_path();
  progress_ = isatty(STDERR_FILENO) == 1;
  began_ = std::chrono::steady_clock::now();
  if (options_.share_view != ShareView::COLOUR) return {};
  colour_ = std::make_unique<display::ColourView>(
      display::ColourModes{display::ColourMode::TRUECOLOR, display::PixelMode::SYMBOLS});
  // The widest cells whose 80 x 25 fit the frame; a frame too small for 1-pixel cells gets
  // them shrunk.
  for (int cell_width = std::max(1, settings_.width / TEXT_COLUMNS);; --cell_width) {
    error = cell_font_.open(TUNDRA_CELL_FONT, cell_width);
    if (!error.empty()) return error;
    if (TEXT_ROWS * cell_font_.cell_height() <= settings_.height || cell_width == 1) return {};
  }
}

Image VideoOutput::picture_of(FrameViews& views) {
  if (colour_ == nullptr) return views.screen();
  const RenderedFrame& frame = views.frame;
  const display::CellGrid& cells =
      colour_->draw_cells(frame.picture, display::flash_at(frame.number), TEXT_COLUMNS, TEXT_ROWS);
  Image screen(TEXT_COLUMNS * cell_font_.cell_width(), TEXT_ROWS * cell_font_.cell_height(), 3);
  cell_font_.draw(screen, 0, 0, cells);
  return screen;
}

// The music --wav writes, opened the same way; a module libxmp cannot play leaves the video
// without sound, and the line that says why.
void VideoOutput::open_music(const engine::Show* show) {
  const datafile::MusicChunk* chunk = show != nullptr ? show->music() : nullptr;
  if (chunk == nullptr) return;
  const auto& chunks = show->engine().chunks;
  const auto at = std::find_if(chunks.begin(), chunks.end(),
                               [&](const auto& entry) { return entry.get() == chunk; });
  sound::ShowMusic opened =
      sound::open_show_music(chunk->bytes, data_path_, static_cast<int>(at - chunks.begin()));
  if (!opened.why_silent.empty())
    std::fprintf(stderr, "tundra-render: --video: %s\n", opened.why_silent.c_str());
  music_ = std::move(opened.music);
}

std::string VideoOutput::start(const Image& first_picture) {
  started_ = true;
  box_ = fit_picture(first_picture.width, first_picture.height, settings_.width, settings_.height);
  settings_.sound = music_ != nullptr;
  return encoder_.open(*file_, settings_);
}

std::string VideoOutput::add(FrameViews& views) {
  // A video that stopped part way is not put in place, whatever its container would say.
  std::string error = add_frame(views);
  return error.empty() ? error : file_->fail(error);
}

std::string VideoOutput::add_frame(FrameViews& views) {
  const Image picture = picture_of(views);
  if (!started_) open_music(views.frame.show);
  if (!started_) {
    std::string error = start(picture);
    if (!error.empty()) return error;
  }
  std::string error =
      encoder_.add_picture(letterbox(picture, *box_, settings_.width, settings_.height));
  // Each frame's 1,323 samples go with its picture, so the two streams end together.
  if (error.empty() && music_ != nullptr) {
    // Every frame is presented, from 0; should one be missed, the sound stays in step with the
    // pictures, as --wav's does.
    if (music_->next_frame() != static_cast<int32_t>(views.frame.number))
      music_->seek(static_cast<int32_t>(views.frame.number));
    music_->render(pcm_);
    error = encoder_.add_sound(pcm_);
  }
  show_progress();
  return error;
}

std::string VideoOutput::finish(const aa_font* font) {
  std::string error = file_->fail("");  // an empty failure only reads the first one
  if (error.empty()) error = finish_video(font);
  return error.empty() ? error : file_->fail(error);
}

std::string VideoOutput::finish_video(const aa_font* font) {
  // A data file rejected before the display opened made no video: nothing is put in place.
  if (!started_ && font == nullptr)
    return "no video written to " + file_->name() + ": the show never started";
  // A show that ends before its first frame still gets a video players open: one blank frame.
  if (!started_) {
    const Image blank(TEXT_COLUMNS * CELL_WIDTH, TEXT_ROWS * font->height, 1, BACKGROUND_GREY);
    std::string error = start(blank);
    if (error.empty())
      error = encoder_.add_picture(letterbox(blank, *box_, settings_.width, settings_.height));
    if (!error.empty()) return error;
  }
  return encoder_.finish();
}

void VideoOutput::show_progress() {
  if (!progress_) return;
  const auto now = std::chrono::steady_clock::now();
  if (progress_lines_ > 0 && now - shown_ < PROGRESS_INTERVAL) return;
  shown_ = now;
  const int64_t done = encoder_.frames();
  const double seconds = std::chrono::duration<double>(now - began_).count();
  char line[160];
  // The show's length is known when --frames gives it; else its music's is the best guess.
  int64_t total = options_.frame_limit.value_or(0);
  if (!options_.frame_limit && music_ != nullptr) total = music_->duration_frames();
  if (total >= done && total > 0) {
    const double left = seconds * double(total - done) / double(done);
    std::snprintf(line, sizeof line, "tundra-render: video frame %lld of %lld (%d%%), %.0f s left",
                  static_cast<long long>(done), static_cast<long long>(total),
                  static_cast<int>(100 * done / total), left);
  } else {
    std::snprintf(line, sizeof line, "tundra-render: video frame %lld, %.1f s of the show",
                  static_cast<long long>(done), double(done) * 0.03);
  }
  // The line is redrawn in place from the line below it, where the cursor rests: the engine's
  // own lines (its "Stopping" when the show ends) then come under it instead of into it.
  std::fprintf(stderr, "%s%s\n", progress_lines_++ > 0 ? "\033[A\r\033[K" : "", line);
}

}  // namespace tools::render
