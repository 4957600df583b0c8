// Opening a show's music, with the message every program prints when it cannot.
#include "sound/show_music.h"

namespace sound {

ShowMusic open_show_music(std::optional<std::span<const uint8_t>> module, const std::string& file,
                          int chunk) {
  ShowMusic opened;
  if (!module) {
    opened.why_silent = file + " has no music chunk: the sound is silence";
    return opened;
  }
  OpenedMusic music = open_music(*module);
  opened.music = std::move(music.music);
  if (!opened.music)
    opened.why_silent = file + ": chunk " + std::to_string(chunk) +
                        " (music) cannot be played: " + music.error + "; the sound is silence";
  return opened;
}

}  // namespace sound
