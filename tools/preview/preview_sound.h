// The preview's sound: the show's music played with the session, the sound keeping time while
// it plays, paused with the picture, sought with every seek and reopened when a reload brings
// other music.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sound/audio_device.h"
#include "sound/music.h"
#include "tools/preview/session.h"

namespace preview {

class PreviewSound {
 public:
  explicit PreviewSound(bool mute) : mute_(mute) {}
  ~PreviewSound();
  PreviewSound(const PreviewSound&) = delete;
  PreviewSound& operator=(const PreviewSound&) = delete;

  // Brings the sound to the session after keys, seeks and reloads: the music of the show it
  // plays, at its frame, playing while it plays. Returns what went wrong opening new music
  // (libxmp's reason, or SDL's when no device opens), else nothing.
  std::string follow(const Session& session);

  // Whether the sound is the clock now: music on a device while the session plays.
  bool keeps_time() const;
  // Steps the session to the sound's frame: the next frame when the sound has reached it, a
  // seek forward when it has passed more (the frames in between unseen).
  void keep_time(Session& session);

 private:
  void close();

  bool mute_;
  const engine::Show* show_ = nullptr;  // the show whose music is loaded
  std::vector<uint8_t> module_;         // that music's bytes
  std::unique_ptr<sound::Music> music_;
  std::unique_ptr<sound::AudioDevice> device_;  // after music_: closed before it goes
  uint32_t frame_ = 0;  // the session's frame the sound was last put at or followed to
  bool playing_ = false;
};

}  // namespace preview
