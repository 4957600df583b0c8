// A display that records what the engine asks of it: every call in order, the composed
// picture, and an answer to poll_quit chosen by its owner. For tests and offline tools.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/picture.h"
#include "engine/display_driver.h"

namespace display {

struct Recording {
  std::vector<std::string> calls;  // "init", "blit 3 0 160 50", "present", ...
  Picture picture;
  std::vector<Picture> frames;  // the picture at every present, when keep_frames is set
  bool keep_frames = false;
  bool make_fails = false;  // the constructor returns no driver
  // Answer to poll_quit given the frame about to be made; never quits by default.
  std::function<int(uint32_t frame)> poll = [](uint32_t) { return 0; };
};

engine::DisplayConstructor recording_display(std::shared_ptr<Recording> recording);

}  // namespace display
