// The music clock: the show's module decoded by libxmp and played through SDL2, whose samples
// played pace the frames.
#include "player/music_clock.h"

#include "engine/show.h"
#include "player/show_file.h"
#include "sound/audio_device.h"
#include "sound/music.h"
#include "sound/show_music.h"

namespace engine {
namespace {

// How long a wait for the sound lasts before the quit signals are looked at again: a frame's
// time. The sound wakes it sooner, a buffer at a time, while it plays.
constexpr int32_t GIVE_UP_CHECK_MS = 30;

void say(const Console& console, const std::string& text) {
  std::fputs(text.c_str(), console.err);
  std::fflush(console.err);
}

}  // namespace

std::unique_ptr<MusicClock> MusicClock::open(const Show& show, const char* data_path,
                                             const Console& console) {
  const datafile::MusicChunk* chunk = show.music();
  if (chunk == nullptr) return nullptr;
  size_t index = 0;
  while (show.engine().chunks[index].get() != chunk) ++index;
  sound::ShowMusic opened = sound::open_show_music(
      std::span<const uint8_t>(chunk->bytes), printable_name(data_path), static_cast<int>(index));
  if (!opened.music) {
    say(console, "engine  : " + opened.why_silent + "\n");
    return nullptr;
  }
  std::unique_ptr<MusicClock> clock(new MusicClock());
  clock->music_ = std::move(opened.music);
  sound::OpenedDevice device = sound::open_audio_device(*clock->music_);
  if (!device.device) {
    say(console, "engine  : no sound: " + device.error + "\n");
    return nullptr;
  }
  clock->device_ = std::move(device.device);
  return clock;
}

MusicClock::~MusicClock() = default;

void MusicClock::start() {
  device_->resume();
}

uint32_t MusicClock::frame() const {
  return static_cast<uint32_t>(device_->frame());
}

uint32_t MusicClock::wait_for(uint32_t frame, const std::function<bool()>& give_up) const {
  const auto target = static_cast<int32_t>(std::min<uint32_t>(frame, INT32_MAX));
  while (!device_->wait_for_frame(target, GIVE_UP_CHECK_MS))
    if (give_up && give_up()) break;
  return this->frame();
}

void MusicClock::fade_out(int32_t milliseconds) {
  device_->fade_out(milliseconds);
}

void play_with_sound(Show& show, DisplayDriver& display, const MusicClock& clock,
                     const std::function<bool()>& stop,
                     const std::function<void(uint32_t shown, uint32_t heard)>& observe) {
  for (uint32_t heard = clock.frame();;) {
    // Behind the sound: the frames it has passed are stepped unseen.
    if (heard > show.frame() && show.run_to(heard, display) != Step::SHOWN) return;
    if (show.step(display, stop) != Step::SHOWN) return;
    if (observe) observe(show.frame() - 1, clock.frame());
    heard = clock.wait_for(show.frame(), stop);
  }
}

}  // namespace engine
