// The clock of a show with music: the sound device's, the frame shown being the one whose time
// the sound has reached.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "base/console.h"
#include "engine/display_driver.h"

namespace sound {
class AudioDevice;
class Music;
}  // namespace sound

namespace engine {

class Show;

class MusicClock {
 public:
  // The show's music playing on the default sound device, paused at frame 0; null when the show
  // has none, libxmp refuses it or no device opens. The last two are said on console.err, with
  // `data_path` and the chunk, and the show then plays silent on the timer.
  static std::unique_ptr<MusicClock> open(const Show& show, const char* data_path,
                                          const Console& console);
  ~MusicClock();
  MusicClock(const MusicClock&) = delete;
  MusicClock& operator=(const MusicClock&) = delete;

  void start();
  // The frame whose time the sound has reached.
  uint32_t frame() const;
  // Sleeps until the sound reaches frame `frame` or `give_up` says so (asked every frame's
  // time, for the quit signals); returns the frame the sound has reached.
  uint32_t wait_for(uint32_t frame, const std::function<bool()>& give_up) const;
  // The music falls to silence over `milliseconds` while the clock runs on.
  void fade_out(int32_t milliseconds);

 private:
  MusicClock() = default;
  std::unique_ptr<sound::Music> music_;
  std::unique_ptr<sound::AudioDevice> device_;  // after music_: closed before it goes
};

// The frame loop kept by the sound: each frame is presented when the sound reaches its time. A
// display that falls behind has the frames it missed stepped without presenting (their buffers
// blitted, so that it holds what it would have shown), and the next frame it shows is the
// sound's again. Ends as the player's loop does: the script's END, the display's quit or
// `stop`. `observe`, when given, hears each presented frame and the sound's frame at that moment.
void play_with_sound(Show& show, DisplayDriver& display, const MusicClock& clock,
                     const std::function<bool()>& stop,
                     const std::function<void(uint32_t shown, uint32_t heard)>& observe = {});

}  // namespace engine
