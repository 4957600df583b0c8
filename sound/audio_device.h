// SDL2's audio output of a Music: the device pulls frames in its own thread, and the samples it
// has played are the show's clock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "sound/music.h"
#include "sound/pcm.h"

namespace sound {

class AudioDevice;

struct OpenedDevice {
  std::unique_ptr<AudioDevice> device;  // null when no device opens
  std::string error;                    // then SDL's reason
};

// Opens the default output through SDL's audio subsystem alone (no window, no events); the
// driver is SDL's choice or SDL_AUDIODRIVER's ("disk" records to SDL_DISKAUDIOFILE in real time,
// "dummy" stands for a machine without a sound card). The device starts paused at frame 0.
// `music` must outlive the device and, while it is open, is reached only through it.
OpenedDevice open_audio_device(Music& music);

class AudioDevice {
 public:
  ~AudioDevice();  // stops the device's thread, closes it and quits SDL's audio
  AudioDevice(const AudioDevice&) = delete;
  AudioDevice& operator=(const AudioDevice&) = delete;

  void resume();
  void pause();  // the clock stops with the sound
  // Moves the music and the clock to `frame` together, at full volume again.
  void seek(int32_t frame);
  // Lowers the volume in a straight line to silence over `milliseconds`, from the next sample
  // the device asks for; the clock runs on through the silence after it.
  void fade_out(int32_t milliseconds);

  // The frame whose time the sound has reached: samples played (sent to the device, less the
  // device's buffer still to be heard) over 1,323. It steps once a buffer.
  int32_t frame() const;
  // Blocks until frame() reaches `frame`, woken by the device's thread (no polling); false if
  // `timeout_ms` passes first, as it does while paused.
  bool wait_for_frame(int32_t frame, int32_t timeout_ms) const;

  int32_t latency_samples() const { return latency_samples_; }  // SDL's obtained buffer size
  const std::string& driver() const { return driver_; }

 private:
  friend OpenedDevice open_audio_device(Music& music);
  explicit AudioDevice(Music& music) : music_(music) {}
  static void fill(void* device, uint8_t* stream, int length);
  void fill(int16_t* out, int64_t samples);
  int64_t heard() const;  // with clock_lock_ held

  Music& music_;
  uint32_t id_ = 0;  // SDL_AudioDeviceID
  int32_t latency_samples_ = 0;
  std::string driver_;

  // Touched by the device's thread under SDL's device lock, which every operation takes.
  PcmFrame pending_{};
  int32_t pending_used_ = SAMPLES_PER_FRAME;  // samples of pending_ already sent
  int64_t fade_length_ = 0;                   // in samples; 0 when not fading
  int64_t fade_done_ = 0;

  // The clock: written by the device's thread, read and waited on by the show's.
  mutable std::mutex clock_lock_;
  mutable std::condition_variable clock_moved_;
  int64_t samples_sent_ = 0;  // in the music's time: frame f's first sample is f x 1323
  int64_t clock_origin_ = 0;  // where the last seek put it
};

}  // namespace sound
