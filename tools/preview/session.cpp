// Playing, seeking and reloading a show source.
#include "tools/preview/session.h"

#include <algorithm>
#include <filesystem>

#include "base/fatal.h"
#include "datafile/chunk.h"
#include "datafile/container.h"
#include "tools/dat/files.h"
#include "tools/dat/timecode.h"
#include "tools/preview/rebuild.h"

namespace preview {
namespace {

constexpr int64_t MILLISECONDS_PER_FRAME = tools::MICROSECONDS_PER_FRAME / 1000;

// The frame that begins nearest to `milliseconds` into the show; halfway goes to the later one,
// as times in a show's source do.
int64_t nearest_frame(int64_t milliseconds) {
  if (milliseconds <= 0) return 0;
  return (milliseconds + MILLISECONDS_PER_FRAME / 2) / MILLISECONDS_PER_FRAME;
}

std::string without_newline(const std::string& message) {
  return message.substr(0, message.find_last_not_of('\n') + 1);
}

// Whether `path` is `folder` or lies inside it, by their names as the file system resolves them.
bool lies_under(const std::string& path, const std::string& folder) {
  std::error_code ignored;
  const std::filesystem::path file = std::filesystem::weakly_canonical(path, ignored);
  const std::filesystem::path root = std::filesystem::weakly_canonical(folder, ignored);
  auto [root_end, file_at] = std::mismatch(root.begin(), root.end(), file.begin(), file.end());
  return root_end == root.end();
}

// A data file rather than a source, by its first bytes: a chunk's tag, then a length whose
// first byte no text has (a NUL; no chunk is 16 MiB long).
bool is_data_file(const tools::Bytes& bytes) {
  if (bytes.size() < datafile::HEADER_BYTES || bytes[4] != 0) return false;
  for (datafile::ChunkKind kind : {datafile::ChunkKind::IMAGE, datafile::ChunkKind::TEXT,
                                   datafile::ChunkKind::FONT, datafile::ChunkKind::SCRIPT})
    if (std::equal(bytes.begin(), bytes.begin() + 4, datafile::tag_of(kind))) return true;
  return false;
}

// The show at `path`: a source compiled and checked, or a data file checked as it is. A data
// file has no source lines: its findings and places are bytes of the file.
tools::BuiltShow build(const std::string& path) {
  const std::string name = std::filesystem::path(path).filename();
  std::string unread;
  std::optional<tools::Bytes> bytes = tools::read_file(path, unread);
  if (!bytes || !is_data_file(*bytes)) return tools::build_show(path, name);
  tools::BuiltShow built;
  built.files = {path};
  tools::CheckResult checked = tools::check_show(tools::read_data_file(*bytes, path));
  built.diagnostics = std::move(checked.diagnostics);
  built.summary = std::move(checked.summary);
  built.data_file = std::move(*bytes);
  return built;
}

}  // namespace

Session::Session(SessionOptions options) : options_(std::move(options)) {
  quiet_ = std::fopen("/dev/null", "w");
}

Session::~Session() {
  // The effects hold the show's buffers; the show goes before anything it was shown on.
  show_.reset();
  if (quiet_ != nullptr) std::fclose(quiet_);
}

void Session::attach(engine::DisplayDriver* display) {
  display_ = display;
  if (show_ == nullptr || !presented_) return;
  try {
    replay_to(shown_);
  } catch (const engine::FatalError& error) {
    stop_at_engine_error(error.message);
  }
}

bool Session::open(int64_t frame, Start start) {
  paused_ = start == Start::PAUSED;
  if (!reload()) return false;
  seek(frame);
  return true;
}

PlayState Session::state() const {
  if (ended_) return PlayState::ENDED;
  return paused_ ? PlayState::PAUSED : PlayState::PLAYING;
}

std::vector<std::string> Session::watched_files() const {
  std::vector<std::string> files = files_;
  for (const std::string& path : options_.watch)
    if (std::find(files.begin(), files.end(), path) == files.end()) files.push_back(path);
  return files;
}

std::string Session::location() const {
  if (show_ == nullptr || built_ == nullptr) return {};
  // While the script waits its position is past the wait: the byte before it is the wait's.
  // Once it has ended the engine has rewound it, so the end is taken from the check.
  const uint32_t position = show_->engine().script.position;
  const uint32_t byte = ended_ && engine_error_.empty() && shown_ == last_frame_
                            ? built_->summary.end_byte
                        : position > 0 ? position - 1
                                       : 0;
  const tools::SourceSpan* span = built_->source_map.find(byte);
  if (span == nullptr && built_->source_map.spans.empty())  // a data file
    return options_.source + ": script byte " + std::to_string(byte);
  if (span == nullptr) return {};
  return span->file + ":" + std::to_string(span->line);
}

// ----- playing -----

void Session::tick() {
  if (show_ == nullptr || paused_ || ended_) return;
  if (shown_ >= last_frame_) {
    ended_ = true;  // the next frame's script would run END
    return;
  }
  try {
    if (!present()) end_early();
  } catch (const engine::FatalError& error) {
    stop_at_engine_error(error.message);
  }
}

void Session::seek(int64_t frame) {
  if (show_ == nullptr) return;
  moment_kept_ = false;
  try {
    show_frame(static_cast<uint32_t>(std::clamp<int64_t>(frame, 0, last_frame_)));
    ended_ = frame > int64_t{last_frame_} || built_->summary.end_frame == 0;
  } catch (const engine::FatalError& error) {
    stop_at_engine_error(error.message);
  }
}

void Session::seek_by(int64_t milliseconds) {
  if (show_ == nullptr) return;
  const bool kept = moment_kept_ && moment_frame_ == shown_;
  const int64_t from = kept ? moment_ms_ : int64_t{shown_} * MILLISECONDS_PER_FRAME;
  const int64_t moment = from + milliseconds;
  const int64_t wanted = nearest_frame(moment);
  seek(wanted);
  // A moment outside the show is not kept: seeking back from the end starts from the end.
  moment_kept_ = wanted == int64_t{shown_};
  moment_ms_ = moment;
  moment_frame_ = shown_;
}

void Session::previous_point() {
  auto before = std::lower_bound(points_.begin(), points_.end(), shown_);
  seek(before == points_.begin() ? 0 : *(before - 1));
}

void Session::next_point() {
  auto after = std::upper_bound(points_.begin(), points_.end(), shown_);
  if (after != points_.end()) seek(*after);
}

void Session::step_back() {
  if (show_ == nullptr || !(paused_ || ended_) || shown_ == 0) return;
  paused_ = true;
  seek(int64_t{shown_} - 1);
}

void Session::step_forward() {
  if (show_ == nullptr || !paused_ || ended_) return;
  seek(int64_t{shown_} + 1);
}

void Session::toggle_pause() {
  if (show_ == nullptr) return;
  if (ended_) {
    paused_ = false;
    seek(0);
    return;
  }
  paused_ = !paused_;
}

// ----- frames -----

void Session::show_frame(uint32_t target) {
  if (!presented_ || target < shown_)
    replay_to(target);
  else if (target > shown_)
    step_on_to(target);
}

// Back to frame 0 as the show was made, and through the frames before `target` with their
// buffers handed to the display, which begins black again as it did when it was opened.
void Session::replay_to(uint32_t target) {
  presented_ = false;
  shown_ = 0;
  show_->reset();
  clear_display();
  if (built_->summary.end_frame == 0) return;  // a show that ends before its first frame
  step_on_to(target);
}

// From the frame showing (or from frame 0 after a reset) on to `target`, which is presented.
// A frame at a time, so that the caller may give up a long way (a show of slow frames) between
// two of them; the engine goes the same way either way.
void Session::step_on_to(uint32_t target) {
  while (!show_->ended() && show_->frame() < target) {
    give_up_if_asked();
    const uint32_t next = show_->frame() + 1;
    if (display_ != nullptr)
      show_->run_to(next, *display_);
    else
      show_->run_to(next);
  }
  if (show_->ended() || !present()) end_early();
}

// Asks at most every 20 ms: the answer may cost a look at the keyboard.
void Session::give_up_if_asked() {
  if (!hooks_.interrupted) return;
  const std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
  if (now < next_ask_) return;
  next_ask_ = now + std::chrono::milliseconds(20);
  if (hooks_.interrupted()) throw Interrupted{};
}

// Presents the frame the show is at; false when its script ends there instead.
bool Session::present() {
  counter_ = show_->frame();
  const engine::Step step = display_ != nullptr ? show_->step(*display_) : show_->step();
  switch (step) {
    case engine::Step::SHOWN:
      shown_ = show_->frame() - 1;
      presented_ = true;
      return true;
    case engine::Step::ENDED:
      return false;
    case engine::Step::STOPPED:
      quit_asked_ = true;
      return true;
  }
  return true;
}

// The engine reached END before the frame the check's model ends at: the engine is right. The
// frame before END is the last; it is shown again if it was not the one presented.
void Session::end_early() {
  const uint32_t end = show_->frame();
  last_frame_ = end > 0 ? end - 1 : 0;
  ended_ = true;
  if (end > 0 && !(presented_ && shown_ == last_frame_)) replay_to(last_frame_);
}

// A black picture over the whole display, which is how the player's display starts.
void Session::clear_display() {
  if (display_ == nullptr) return;
  engine::Buffer black;
  black.width = engine::PICTURE_WIDTH;
  black.height = engine::PICTURE_HEIGHT;
  black.pixels = engine::allocate_pixels(black.pixel_count());
  display_->blit(*display_, black);
}

// The engine refused the script at the start of the frame after the last one it could show:
// the show now ends there, and holds that frame.
void Session::stop_at_engine_error(const std::string& message) {
  engine_error_ = without_newline(message);
  const uint32_t failed_at = show_->frame();
  last_frame_ = failed_at > 0 ? failed_at - 1 : 0;
  ended_ = true;
  if (failed_at == 0) return;
  try {
    replay_to(std::min(shown_, last_frame_));
  } catch (const engine::FatalError&) {
    // Frames before the failing one played before and play again; nothing else is left to show.
  }
}

// ----- reloading -----

bool Session::rebuild_wanted(std::span<const std::string> changed) const {
  if (options_.rebuild.empty()) return false;
  if (changed.empty()) return true;
  for (const std::string& path : changed)
    for (const std::string& folder : options_.watch)
      if (lies_under(path, folder)) return true;
  return false;
}

void Session::keep(std::string error) {
  outcome_.kind = ReloadOutcome::Kind::KEPT;
  outcome_.error = std::move(error);
  outcome_.warnings = 0;
  outcome_.first_warning.clear();
}

bool Session::reload(std::span<const std::string> changed) {
  ++outcome_.count;
  if (rebuild_wanted(changed)) {
    RebuildResult rebuilt = run_rebuild(options_.rebuild, hooks_.interrupted);
    if (rebuilt.interrupted) throw Interrupted{};
    if (hooks_.rebuilt) hooks_.rebuilt();
    if (!rebuilt.succeeded()) {
      keep("rebuild failed: " + rebuilt.summary());
      return false;
    }
  }
  auto built = std::make_unique<tools::BuiltShow>(build(options_.source));
  files_ = built->files;
  if (const tools::Diagnostic* error = built->first_error()) {
    keep(tools::format(*error));
    return false;
  }
  std::unique_ptr<engine::Show> fresh;
  try {
    fresh = std::make_unique<engine::Show>(datafile::load_chunks(
        built->data_file, options_.source.c_str(), engine::Console{quiet_, quiet_}));
  } catch (const engine::FatalError& error) {
    keep(without_newline(error.message));
    return false;
  }
  return take(std::move(built), std::move(fresh));
}

// The new show replaces the old one if it replays to the frame showing. Otherwise the old one is
// put back as it was, and replayed only onto a display, which the new one's frames were handed to.
bool Session::take(std::unique_ptr<tools::BuiltShow> built, std::unique_ptr<engine::Show> fresh) {
  std::unique_ptr<tools::BuiltShow> old_built = std::move(built_);
  std::unique_ptr<engine::Show> old_show = std::move(show_);
  const std::vector<uint32_t> old_points = points_;
  const uint32_t old_shown = shown_, old_last = last_frame_;
  const bool old_ended = ended_, old_presented = presented_;
  const std::string old_engine_error = engine_error_;

  built_ = std::move(built);
  show_ = std::move(fresh);
  points_.clear();
  for (const tools::WaitPoint& wait : built_->summary.waits)
    if (points_.empty() || points_.back() != wait.resumes)
      points_.push_back(static_cast<uint32_t>(wait.resumes));
  last_frame_ = static_cast<uint32_t>(std::max<int64_t>(built_->summary.end_frame - 1, 0));
  engine_error_.clear();
  ended_ = false;
  try {
    replay_to(std::min(old_shown, last_frame_));
  } catch (const engine::FatalError& error) {
    show_ = std::move(old_show);
    built_ = std::move(old_built);
    points_ = old_points;
    last_frame_ = old_last;
    engine_error_ = old_engine_error;
    if (display_ != nullptr && show_ != nullptr && old_presented) {
      try {
        replay_to(old_shown);
      } catch (const engine::FatalError&) {
        // It played to this frame before the reload; the same bytes play there again.
      }
    }
    shown_ = old_shown;
    presented_ = old_presented;
    ended_ = old_ended;
    keep(without_newline(error.message));
    return false;
  }
  // A show that held its last frame, or one cut shorter than the frame that was showing, ends.
  ended_ = ended_ || built_->summary.end_frame == 0 || old_shown > last_frame_ ||
           (old_ended && old_shown == last_frame_);
  moment_kept_ = false;
  outcome_.kind = ReloadOutcome::Kind::LOADED;
  outcome_.error.clear();
  outcome_.warnings = built_->diagnostics.warning_count();
  const tools::Diagnostic* warning = built_->first_warning();
  outcome_.first_warning = warning != nullptr ? tools::format(*warning) : std::string();
  return true;
}

}  // namespace preview
