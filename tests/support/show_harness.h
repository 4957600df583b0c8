// Running data files in tests: through the whole player in-process with a recording display, or
// shown frame by frame without the player.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/recording_display.h"
#include "engine/engine.h"
#include "engine/show.h"
#include "fixtures/datafile_builder.h"
#include "player/clock.h"

namespace support {

// A fresh temporary directory, removed with everything in it.
struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string write(const std::string& name, const Bytes& bytes) const;  // returns the path
  std::string path;
};

// Text written to a FILE*, read back as a string.
struct CapturedStream {
  CapturedStream();
  ~CapturedStream();
  std::string text();
  FILE* file = nullptr;

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
};

// What the player prints on standard output after a show that was not cut short.
inline constexpr const char* farewell_text =
    "congratulations!\n"
    "you just made it through the most boring\n"
    "two and a half minutes of this party\n"
    "but it's not over now\n"
    "\nwell,\n"
    "it is....\n"
    "just wanted to see you face when you read this.\n"
    "THE END.\n\n"
    "ps:\n"
    "loaderbars suck\n";

struct ShowOptions {
  bool nosync = false;
  const engine::FrameClock* clock = &engine::instant_clock;
  bool farewell = false;
  std::function<int(uint32_t frame)> poll;  // poll_quit's answer; never quits when empty
  bool keep_frames = false;
  bool display_fails = false;
};

struct ShowResult {
  int status = 0;
  std::string out;
  std::string err;
  std::shared_ptr<display::Recording> recording;
};

ShowResult run_show_on(const Bytes& data_file, const ShowOptions& options = {});
ShowResult run_show_at(const std::string& path, const ShowOptions& options = {});

// Loads `data_file` through the real loader; `err` receives what it says on standard error.
datafile::ChunkTable load_bytes(const Bytes& data_file, std::string* err = nullptr);

// A show without the player: its frames shown on a recording display, with no clock.
struct EngineRun {
  explicit EngineRun(const Bytes& data_file);
  void start();          // the start-up run of the script
  engine::Step frame();  // one frame, presented on the recording display
  void frames(int count);
  const display::Picture& picture() const { return recording->picture; }
  engine::Buffer& buffer(int index) { return *engine->buffers[index]; }

  std::unique_ptr<engine::Show> show;
  engine::Engine* engine;  // the show's tables
  std::shared_ptr<display::Recording> recording;
  std::unique_ptr<engine::DisplayDriver> display;
};

}  // namespace support
