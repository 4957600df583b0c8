// A video file made through FFmpeg's libraries: RGB or grey pictures at the show's 100/3 frames a
// second and its 44,100 Hz stereo sound, encoded (VP9 and Opus in WebM, H.264 and AAC in MP4) and
// muxed into an OutputFile, so that a failed encode leaves nothing under the name asked for.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "tools/render/image.h"
#include "tools/render/output_file.h"

namespace tools::render {

enum class VideoFormat : uint8_t { WEBM, MP4 };

// The format a file's extension asks for (.webm or .mp4, in any case); none for another.
std::optional<VideoFormat> video_format_of(const std::string& path);

// The encoders and the container of a format, by FFmpeg's names.
struct VideoCodecs {
  const char* container;  // the muxer
  const char* video;      // the picture's encoder
  const char* audio;      // the sound's encoder
  int default_crf;        // a quality that keeps text sharp at a modest size
};
VideoCodecs codecs_of(VideoFormat format);

struct VideoSettings {
  VideoCodecs codecs;
  int width = 0;  // even: yuv420p halves the colour planes
  int height = 0;
  int crf = 0;
  bool sound = false;  // whether the file gets an audio stream
};

class VideoEncoder {
 public:
  VideoEncoder();
  ~VideoEncoder();
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  // Finds and opens the encoders and writes the container's header to `file`, which must outlive
  // the encoder. Returns an error text: an encoder the library lacks is named.
  std::string open(OutputFile& file, const VideoSettings& settings);
  // One frame, `settings.width` x `settings.height`, grey or RGB; its time is frame count x 30 ms.
  std::string add_picture(const Image& picture);
  // Interleaved left, right samples at 44,100 Hz; resampled when the encoder takes another rate.
  std::string add_sound(std::span<const int16_t> samples);
  // Drains the encoders and writes the container's trailer.
  std::string finish();

  int64_t frames() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tools::render
