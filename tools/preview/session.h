// A show source played in a preview: compiled in memory with the same compiler and check as
// `tundra-dat build`, played frame by frame through the engine's show object, sought by
// replaying it, and replaced when its source is compiled again. No terminal and no clock: the
// caller ticks it every 30 ms, hands it keys (keys.h) and tells it when files change.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/display_driver.h"
#include "engine/show.h"
#include "tools/dat/build_show.h"

namespace preview {

enum class PlayState : uint8_t { PLAYING, PAUSED, ENDED };
enum class Start : uint8_t { PLAYING, PAUSED };

// What the last compile of the source came to.
struct ReloadOutcome {
  enum class Kind : uint8_t {
    NONE,    // not compiled yet
    LOADED,  // the show compiled and passed the check; it is the one playing
    KEPT,    // it did not: the last good show plays on (if there is one), `error` says why
  };
  Kind kind = Kind::NONE;
  int count = 0;      // compiles so far, the first one included
  std::string error;  // KEPT: "file:line:column: message" of the first error, or what failed
  int warnings = 0;   // LOADED: the check's warnings
  std::string first_warning;
};

struct SessionOptions {
  std::string source;  // the show's .tds
  // A shell command that makes files the show reads (pictures drawn by a generator), run
  // before compiling when a file under `watch` changed and when a reload is asked for by hand.
  std::string rebuild;
  std::vector<std::string> watch;  // more files and folders to watch, for `rebuild`
};

// What a session asks of its caller in the middle of long work.
struct SessionHooks {
  // Asked now and then during a replay or a seek and while the rebuild command runs: true
  // gives the work up, and the session throws Interrupted.
  std::function<bool()> interrupted;
  // After the rebuild command, before the compile reads the files: every change made until now
  // is in what it reads.
  std::function<void()> rebuilt;
};

// Thrown out of a session's work given up at its caller's asking. The session is left with a
// show at some frame short of the one aimed at, fit to be destroyed or sought again.
struct Interrupted {};

class Session {
 public:
  explicit Session(SessionOptions options);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The frame counter of the frame presented last, for a present made outside the show (the
  // flash is timed by it).
  uint32_t frame_counter() const { return counter_; }

  // What open, reload, the seeks and attach ask of the caller from now on.
  void set_hooks(SessionHooks hooks) { hooks_ = std::move(hooks); }

  // The display frames are presented on, or null for none. It must start black, as a display
  // does after init; the frame showing is presented on it again. Its poll_quit should answer 0:
  // keys reach the preview through keys.h, and a nonzero answer is taken as a request to quit.
  void attach(engine::DisplayDriver* display);

  // Compiles the source (after the rebuild, if there is one) and shows frame `frame`, paused
  // or playing. False when the source does not compile or fails the check: outcome() says why,
  // and a later reload() that succeeds starts the show.
  bool open(int64_t frame = 0, Start start = Start::PLAYING);

  // One frame of playing: the next frame is presented, unless the show is paused or has ended.
  // After the last frame the show holds it and its state is ENDED.
  void tick();

  // Shows frame `frame` (clamped to the show's frames; past the last it holds the last one and
  // ends). Forward it steps on from the frame showing, backward it replays from frame 0.
  void seek(int64_t frame);
  // Seeks by a time (+-1000 ms for a second) to the frame nearest to the moment: the moment is
  // kept, so that repeated seconds add up to whole seconds (33 or 34 frames each).
  void seek_by(int64_t milliseconds);
  void previous_point();  // the last at/wait point before the frame showing, or frame 0
  void next_point();      // the first at/wait point after it, if any
  void step_back();       // one frame back, while paused or ended
  void step_forward();    // one frame on, while paused
  void toggle_pause();    // at the end: plays again from frame 0

  // Compiles the source again. On success the new show replaces the old and replays to the
  // frame showing, paused or playing as before; on an error (compiler, check, rebuild or the
  // engine itself while replaying) the old show stays as it was and outcome() says why.
  // `changed` are the files that changed; none means the reload was asked for by hand. The
  // rebuild runs when one of them lies under a `watch` path, and always when asked by hand.
  bool reload(std::span<const std::string> changed = {});

  bool has_show() const { return show_ != nullptr; }
  uint32_t frame() const { return shown_; }  // the frame on display
  PlayState state() const;
  uint32_t last_frame() const { return last_frame_; }
  // The frames the script goes on at after each of its waits, ascending, without repeats.
  const std::vector<uint32_t>& points() const { return points_; }
  // "show/scenes/04-aurora.tds:15": the statement the script last ran (while it waits, the
  // wait; once ended, the end). Empty without a show.
  std::string location() const;
  const ReloadOutcome& outcome() const { return outcome_; }
  // What stopped the playing show early: an engine error the check did not foresee. Empty
  // while it plays as compiled.
  const std::string& engine_error() const { return engine_error_; }
  // Every file a change of which should reload the show: the show's own, and `watch`.
  std::vector<std::string> watched_files() const;
  const SessionOptions& options() const { return options_; }
  // The display's poll_quit asked to stop.
  bool quit_asked() const { return quit_asked_; }
  const engine::Show* show() const { return show_.get(); }
  const tools::BuiltShow* built() const { return built_.get(); }

 private:
  bool rebuild_wanted(std::span<const std::string> changed) const;
  void keep(std::string error);
  bool take(std::unique_ptr<tools::BuiltShow> built, std::unique_ptr<engine::Show> show);
  void show_frame(uint32_t target);  // replays or steps on to `target` and presents it
  void replay_to(uint32_t target);
  void step_on_to(uint32_t target);
  bool present();
  void end_early();
  void clear_display();
  void stop_at_engine_error(const std::string& message);
  void give_up_if_asked();

  SessionOptions options_;
  FILE* quiet_ = nullptr;  // where the loader's lines go: the terminal belongs to the picture
  engine::DisplayDriver* display_ = nullptr;
  std::unique_ptr<tools::BuiltShow> built_;
  std::unique_ptr<engine::Show> show_;
  std::vector<std::string> files_;  // of the last compile, successful or not
  std::vector<uint32_t> points_;
  uint32_t counter_ = 0;
  uint32_t shown_ = 0;
  bool presented_ = false;  // frame shown_ has been presented since the last replay began
  uint32_t last_frame_ = 0;
  bool paused_ = false;
  bool ended_ = false;
  bool quit_asked_ = false;
  // The moment the last seek_by aimed at, in milliseconds, and the frame it showed: the moment
  // counts for the next seek_by while that frame is still the one showing.
  int64_t moment_ms_ = 0;
  uint32_t moment_frame_ = 0;
  bool moment_kept_ = false;
  std::string engine_error_;
  ReloadOutcome outcome_;
  SessionHooks hooks_;
  std::chrono::steady_clock::time_point next_ask_{};  // when hooks_.interrupted is asked again
};

}  // namespace preview
