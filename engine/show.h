// A loaded show and its engine, stepped a frame at a time and reset to its start. The player
// plays it, the renderer renders it, and the tests, the fuzz target and the benchmarks run it:
// what one frame does is written here and nowhere else.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "datafile/chunk.h"
#include "engine/display_driver.h"
#include "engine/engine.h"

namespace engine {

enum class Step : uint8_t {
  SHOWN,    // the frame was rendered, shown (when there is a display) and counted
  ENDED,    // the script reached END at the start of the frame; nothing was rendered
  STOPPED,  // the display or the caller asked to stop before the frame was rendered
};

class Show {
 public:
  // Takes the loaded chunks; chunk 0 must be the DEMO chunk, else a fatal error. The show starts
  // at frame 0, with its own random stream at its start.
  explicit Show(datafile::ChunkTable chunks);
  Show(const Show&) = delete;
  Show& operator=(const Show&) = delete;

  // The start-up run of the script: whatever it sets up before its first wait exists before
  // the first frame. Its END, if it reaches one, is ignored and the script starts over.
  void start();

  // One frame as the player plays it: the script; unless it reached END, the display's
  // poll_quit and then `stop` (either can end the show here); the render pass, the show pass
  // into `display` and its present; the frame counter + 1.
  Step step(DisplayDriver& display, const std::function<bool()>& stop = {});

  // One frame with nothing shown: the script and the render pass, counted. Effects never read
  // what a display shows, so frames stepped this way lead to the same next frame.
  Step step();

  // Steps with nothing shown until frame `frame` is next or END comes. While no effect runs and
  // the script waits, the frames in between change nothing but the counter: they are skipped.
  Step run_to(uint32_t frame);

  // The same, handing every frame's buffers to `display`'s blit as the show pass does, with
  // nothing polled or presented. Displays keep their picture where no buffer is blitted, so a
  // display that starts as the player's does (black) then holds what the player's would, and
  // the next frame it is shown is the player's frame. Skipped frames blit nothing there either.
  Step run_to(uint32_t frame, DisplayDriver& display);

  // Back to frame 0 as the show was made: empty tables, images with the pixels they were
  // loaded with, the random stream at its start; then the start-up run, as after start().
  void reset();

  bool ended() const { return ended_; }
  uint32_t frame() const { return engine_.frame_counter; }
  // Whether some slot the per-frame passes visit is running.
  bool any_running() const;

  Engine& engine() { return engine_; }
  const Engine& engine() const { return engine_; }

  // The show's music chunk, or null when it has none. Its bytes are a module for the sound
  // library to decode; the engine only carries them.
  const datafile::MusicChunk* music() const;

 private:
  // What a frame does with its display, when it has one.
  enum class Showing : uint8_t { PRESENT, BLITS_ONLY };
  Step play_frame(DisplayDriver* display, Showing showing, const std::function<bool()>& stop);
  Step run_frames_to(uint32_t frame, DisplayDriver* display);
  void restart();  // the tables, the images and the random stream as they were made

  Engine engine_;
  // Effects may draw into an image's own pixels (a still image's buffer shows them), so each
  // image's pixels as loaded are kept to restore them: entry i is chunk i's, or empty.
  std::vector<std::vector<uint16_t>> loaded_pixels_;
  bool ended_ = false;
};

// Loads the data file at `path` (the loader's messages on `console`) into a new show.
std::unique_ptr<Show> load_show(const char* path, const Console& console);

}  // namespace engine
