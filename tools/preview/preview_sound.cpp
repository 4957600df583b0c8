// The preview's sound over sound/: libxmp's decoder and SDL2's device, driven by the session.
#include "tools/preview/preview_sound.h"

#include <algorithm>
#include <span>

#include "datafile/chunk.h"
#include "sound/audio_device.h"
#include "sound/music.h"

namespace preview {

PreviewSound::~PreviewSound() {
  close();
}

void PreviewSound::close() {
  device_.reset();
  music_.reset();
  playing_ = false;
}

std::string PreviewSound::follow(const Session& session) {
  std::string problem;
  const engine::Show* show = session.show();
  if (!mute_ && show != show_) {
    show_ = show;
    const datafile::MusicChunk* chunk = show != nullptr ? show->music() : nullptr;
    std::span<const uint8_t> module;
    if (chunk != nullptr) module = chunk->bytes;
    // A reload that leaves the module as it was keeps the sound playing without a break.
    if (!std::ranges::equal(module, module_)) {
      close();
      module_.assign(module.begin(), module.end());
      if (!module_.empty()) {
        sound::OpenedMusic opened = sound::open_music(module_);
        if (opened.music) {
          sound::OpenedDevice device = sound::open_audio_device(*opened.music);
          music_ = std::move(opened.music);
          device_ = std::move(device.device);
          problem = device_ ? "" : "no sound: " + device.error;
          frame_ = UINT32_MAX;  // sought below
        } else {
          problem = "the music cannot be played: " + opened.error;
        }
      }
    }
  }
  if (!device_) return problem;
  if (session.frame() != frame_) {
    frame_ = session.frame();
    device_->seek(static_cast<int32_t>(std::min<uint32_t>(frame_, INT32_MAX)));
  }
  const bool play = session.state() == PlayState::PLAYING;
  if (play != playing_) play ? device_->resume() : device_->pause();
  playing_ = play;
  return problem;
}

bool PreviewSound::keeps_time() const {
  return device_ != nullptr && playing_;
}

void PreviewSound::keep_time(Session& session) {
  const auto heard = static_cast<uint32_t>(device_->frame());
  if (heard == session.frame() + 1)
    session.tick();
  else if (heard > session.frame())
    session.seek(heard);
  frame_ = session.frame();
}

}  // namespace preview
