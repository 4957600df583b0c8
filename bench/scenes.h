// The scene table the frame-time reports name their frames by: lines "FIRST_FRAME NAME..." in
// increasing order; '#' starts a comment.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>

namespace bench {

inline std::map<uint32_t, std::string> read_scenes(const char* path) {
  std::map<uint32_t, std::string> scenes;
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    uint32_t first;
    std::string name;
    if (words >> first && std::getline(words >> std::ws, name)) scenes[first] = name;
  }
  return scenes;
}

// The scene `frame` belongs to, or "-" before the first.
inline std::string scene_of(const std::map<uint32_t, std::string>& scenes, uint32_t frame) {
  auto after = scenes.upper_bound(frame);
  return after == scenes.begin() ? "-" : std::prev(after)->second;
}

}  // namespace bench
