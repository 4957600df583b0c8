// The whole show from start to farewell: start-up, the frame loop and the end sequence.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "base/console.h"
#include "engine/display_driver.h"
#include "player/clock.h"

namespace engine {

class Show;

inline constexpr const char* DATA_FILE = "data/mote-tundra-2003.dat";

struct ShowSetup {
  DisplayConstructor make_display;
  const char* data_path = DATA_FILE;
  const FrameClock* clock = &real_clock;
  bool nosync = false;   // run the frames without waiting for the tick
  bool farewell = true;  // print the farewell text after the show
  // Play the show's music, if it has some and a sound device opens, and keep time by it.
  bool sound = false;
  Console console;
  // Stops the show before this frame, as a key would (the renderer's --frames).
  std::optional<uint32_t> frame_limit;
  // Called once the show is loaded, before the display is made: tools observe it from here.
  // The show lives until run_show returns.
  std::function<void(Show&)> on_show;
};

// A line of the farewell text the player prints after the show, and the pause after it in frame
// ticks. Recordings of the show replay the same lines with the same pauses.
struct FarewellLine {
  const char* text;
  int ticks;
};
std::span<const FarewellLine> farewell_lines();

// The status of a show that a fatal error ended.
inline constexpr int FATAL_STATUS = 255;

// The status of a show whose picture or text could not be written (a full disk, a terminal
// gone); a pipe closed by its reader is SIGPIPE's instead.
inline constexpr int OUTPUT_FAILED_STATUS = 1;

// Plays the show. Returns 0 after the farewell, FATAL_STATUS after a fatal error (reported once
// the display is closed), OUTPUT_FAILED_STATUS once the display or the console's `out` could not
// be written, or 128 + the signal's number when SIGINT, SIGTERM, SIGHUP, SIGQUIT or SIGPIPE
// ended it.
int run_show(const ShowSetup& setup);

}  // namespace engine
