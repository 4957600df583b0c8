// A show's soundtrack as a program opens it: the music, or the line that says why it is silent.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "sound/music.h"

namespace sound {

struct ShowMusic {
  std::unique_ptr<Music> music;  // null: the show plays silent
  std::string why_silent;        // empty when there is music
};

// Opens a show's music chunk: `module` is its bytes, or none when the show has no music chunk;
// `file` names the data file and `chunk` the chunk's number, for the message. The message names
// the file, the chunk and libxmp's reason; a program prints it and goes on, silent.
ShowMusic open_show_music(std::optional<std::span<const uint8_t>> module, const std::string& file,
                          int chunk);

}  // namespace sound
