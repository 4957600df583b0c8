// A tracker module (MOD, XM, S3M, IT) decoded by libxmp, frame by frame, into the show's PCM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "sound/pcm.h"

namespace sound {

// The largest module a show may carry. Real modules with sampled instruments rarely pass a few
// megabytes; the cap bounds what libxmp allocates while loading a hostile one.
constexpr size_t MAX_MODULE_BYTES = size_t{16} << 20;

class Music;

// What opening a module gives: the music, or the reason it was refused (the size limit, or
// libxmp's own words), for the caller to print with the file and the chunk it came from.
struct OpenedMusic {
  std::unique_ptr<Music> music;
  std::string error;
};

// Reads the module in `bytes`, its format recognised from the bytes themselves. The bytes are
// not kept: libxmp copies what it needs while loading.
OpenedMusic open_music(std::span<const uint8_t> bytes);

class Music {
 public:
  ~Music();
  Music(const Music&) = delete;
  Music& operator=(const Music&) = delete;

  // Renders the next frame. After the module's end (its last order played, or a jump back to
  // an order already played) every frame is silence: the music never loops.
  void render(PcmFrame& out);

  // Makes `frame` the next to render, giving exactly the samples playing from the start gives.
  void seek(int32_t frame);

  int32_t next_frame() const { return next_frame_; }
  bool ended() const { return ended_; }
  // The module's length as libxmp works it out, in frames rounded up.
  int32_t duration_frames() const { return duration_frames_; }
  const std::string& title() const { return title_; }

 private:
  friend OpenedMusic open_music(std::span<const uint8_t> bytes);
  Music() = default;
  std::string start();  // (re)starts the player at the module's beginning

  void* context_ = nullptr;  // the xmp_context, kept opaque so that users need not see xmp.h
  int32_t next_frame_ = 0;
  bool ended_ = false;
  int32_t duration_frames_ = 0;
  std::string title_;
};

}  // namespace sound
