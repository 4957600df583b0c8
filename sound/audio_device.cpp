// The audio device over SDL2: its callback renders the music frame by frame into SDL's buffer.
#include "sound/audio_device.h"

#include <SDL.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace sound {
namespace {

// The device's buffer, in samples: 23.2 ms, less than a frame, so that the clock, which moves a
// buffer at a time, never jumps a frame; and the delay before a sample is heard stays short.
constexpr uint16_t BUFFER_SAMPLES = 1024;

// Standard error sent to /dev/null until restore() or the end of the scope.
class QuietStandardError {
 public:
  QuietStandardError() : saved_(dup(STDERR_FILENO)) {
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ < 0 || null < 0) {
      if (null >= 0) close(null);
      return;
    }
    std::fflush(stderr);
    dup2(null, STDERR_FILENO);
    close(null);
  }
  QuietStandardError(const QuietStandardError&) = delete;
  QuietStandardError& operator=(const QuietStandardError&) = delete;
  ~QuietStandardError() { restore(); }
  void restore() const {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    saved_ = -1;
  }

 private:
  mutable int saved_;
};

}  // namespace

OpenedDevice open_audio_device(Music& music) {
  OpenedDevice opened;
  // SDL blocks the timer and quit signals in the threads it starts, but a sound server's client
  // library (PulseAudio's, an ALSA plugin) starts threads of its own, which inherit this
  // thread's mask. They must block every signal too, or the engine's timer signal may be
  // delivered to one of them and not wake the show's thread waiting for its tick.
  sigset_t all, previous;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, &previous);
  // On a machine without a sound card libasound writes its own lines to standard error while SDL
  // looks for a device, before the terminal is taken; SDL's reason, which the program says, is
  // all a user needs of them.
  const QuietStandardError quiet;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    opened.error = std::string("SDL cannot start its audio: ") + SDL_GetError();
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return opened;
  }
  std::unique_ptr<AudioDevice> device(new AudioDevice(music));
  SDL_AudioSpec wanted{}, obtained{};
  wanted.freq = SAMPLE_RATE;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = CHANNELS;
  wanted.samples = BUFFER_SAMPLES;
  wanted.callback = &AudioDevice::fill;
  wanted.userdata = device.get();
  // No changes allowed: SDL converts to whatever the hardware takes, so the callback always
  // works in the show's format.
  device->id_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
  quiet.restore();
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (device->id_ == 0) {
    opened.error = std::string("SDL: ") + SDL_GetError();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return opened;
  }
  device->latency_samples_ = obtained.samples;
  const char* driver = SDL_GetCurrentAudioDriver();
  device->driver_ = driver != nullptr ? driver : "";
  opened.device = std::move(device);
  return opened;
}

AudioDevice::~AudioDevice() {
  SDL_CloseAudioDevice(id_);  // waits for the device's thread to end
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void AudioDevice::resume() {
  SDL_PauseAudioDevice(id_, 0);
}

void AudioDevice::pause() {
  SDL_PauseAudioDevice(id_, 1);
}

// Under the device's lock, as the callback runs: the music is never touched by two threads. A
// seek back renders from the module's start, which holds the device's thread for as long (a
// short gap in the sound, where the picture jumps anyway).
void AudioDevice::seek(int32_t frame) {
  frame = std::max(frame, 0);
  SDL_LockAudioDevice(id_);
  music_.seek(frame);
  pending_used_ = SAMPLES_PER_FRAME;
  fade_length_ = fade_done_ = 0;
  {
    std::lock_guard lock(clock_lock_);
    samples_sent_ = clock_origin_ = int64_t{frame} * SAMPLES_PER_FRAME;
  }
  SDL_UnlockAudioDevice(id_);
  clock_moved_.notify_all();
}

void AudioDevice::fade_out(int32_t milliseconds) {
  SDL_LockAudioDevice(id_);
  fade_length_ = std::max<int64_t>(int64_t{milliseconds} * SAMPLE_RATE / 1000, 1);
  fade_done_ = 0;
  SDL_UnlockAudioDevice(id_);
}

// The samples heard: those sent less the device's buffer still to play, never before the seek.
int64_t AudioDevice::heard() const {
  return std::max(samples_sent_ - latency_samples_, clock_origin_);
}

int32_t AudioDevice::frame() const {
  std::lock_guard lock(clock_lock_);
  return static_cast<int32_t>(heard() / SAMPLES_PER_FRAME);
}

bool AudioDevice::wait_for_frame(int32_t frame, int32_t timeout_ms) const {
  std::unique_lock lock(clock_lock_);
  return clock_moved_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                               [&] { return heard() >= int64_t{frame} * SAMPLES_PER_FRAME; });
}

void AudioDevice::fill(void* device, uint8_t* stream, int length) {
  // SDL asks for whole stereo samples of the format it was given: 4 bytes each.
  static_cast<AudioDevice*>(device)->fill(reinterpret_cast<int16_t*>(stream),
                                          length / BYTES_PER_SAMPLE);
}

void AudioDevice::fill(int16_t* out, int64_t samples) {
  const int64_t requested = samples;
  auto faded = [&] { return fade_length_ > 0 && fade_done_ >= fade_length_; };
  while (samples > 0 && !faded()) {
    if (pending_used_ == SAMPLES_PER_FRAME) {
      music_.render(pending_);
      pending_used_ = 0;
    }
    const int32_t count =
        static_cast<int32_t>(std::min<int64_t>(samples, SAMPLES_PER_FRAME - pending_used_));
    const int16_t* from = pending_.data() + pending_used_ * CHANNELS;
    if (fade_length_ == 0) {
      std::memcpy(out, from, size_t(count) * BYTES_PER_SAMPLE);
    } else {
      // The gain falls from 1 to 0 a sample at a time: (length - done) / length, in integers.
      for (int32_t i = 0; i < count; ++i, ++fade_done_) {
        const int64_t left = std::max<int64_t>(fade_length_ - fade_done_, 0);
        out[2 * i] = static_cast<int16_t>(from[2 * i] * left / fade_length_);
        out[2 * i + 1] = static_cast<int16_t>(from[2 * i + 1] * left / fade_length_);
      }
    }
    out += count * CHANNELS;
    pending_used_ += count;
    samples -= count;
  }
  std::memset(out, 0, size_t(samples) * BYTES_PER_SAMPLE);  // after the fade: silence
  {
    std::lock_guard lock(clock_lock_);
    samples_sent_ += requested;
  }
  clock_moved_.notify_all();
}

}  // namespace sound
