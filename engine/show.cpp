// One frame of a show, and a show's way back to its start.
#include "engine/show.h"

#include <algorithm>

namespace engine {

Show::Show(datafile::ChunkTable chunks) : engine_(std::move(chunks)) {
  loaded_pixels_.resize(engine_.chunks.size());
  for (size_t i = 0; i < engine_.chunks.size(); ++i) {
    if (engine_.chunks[i]->kind != datafile::ChunkKind::IMAGE) continue;
    const auto& image = static_cast<const datafile::ImageChunk&>(*engine_.chunks[i]);
    loaded_pixels_[i].assign(image.pixels.get(), image.pixels.get() + image.pixel_count());
  }
  restart();
}

void Show::restart() {
  // Effects hold the buffer records they draw into, and buffers may hold an image's pixels:
  // the slots go first, then the buffers, and then no one but its chunk holds an image.
  for (std::unique_ptr<FxSlot>& slot : engine_.slots) slot.reset();
  for (BufferEntry& buffer : engine_.buffers) buffer.reset();
  engine_.script = Script{engine_.script.chunk};
  engine_.frame_counter = 0;
  for (size_t i = 0; i < loaded_pixels_.size(); ++i) {
    if (loaded_pixels_[i].empty()) continue;
    auto& image = static_cast<datafile::ImageChunk&>(*engine_.chunks[i]);
    std::copy(loaded_pixels_[i].begin(), loaded_pixels_[i].end(), image.pixels.get());
  }
  // The effects' random numbers are part of the picture: a show replayed from its start must
  // draw the same ones, so its stream starts over.
  engine_.random.reset();
  ended_ = false;
}

void Show::start() {
  run_script(engine_);  // its END, if any, has rewound the script: the first frame runs it again
}

void Show::reset() {
  restart();
  start();
}

const datafile::MusicChunk* Show::music() const {
  for (const std::unique_ptr<datafile::Chunk>& chunk : engine_.chunks)
    if (chunk->kind == datafile::ChunkKind::MUSIC)
      return static_cast<const datafile::MusicChunk*>(chunk.get());
  return nullptr;
}

bool Show::any_running() const {
  for (int i = 0; i < DISPATCHED_SLOTS; ++i)
    if (engine_.slots[i] && engine_.slots[i]->state == SlotState::RUNNING) return true;
  return false;
}

// The one frame of the project. Without a display nothing is polled, shown or presented; a
// frame that only blits polls nothing either, since nobody sees it.
Step Show::play_frame(DisplayDriver* display, Showing showing, const std::function<bool()>& stop) {
  // After END the show is over until it is reset; the rewound script is not run again.
  if (ended_ || run_script(engine_) != 0) {
    ended_ = true;
    return Step::ENDED;
  }
  const bool presents = display != nullptr && showing == Showing::PRESENT;
  if (presents && display->poll_quit(*display, engine_.frame_counter) != 0) return Step::STOPPED;
  if (stop && stop()) return Step::STOPPED;
  render_pass(engine_);
  if (display != nullptr) show_pass(engine_, *display);
  if (presents) display->present(*display, engine_.frame_counter);
  ++engine_.frame_counter;
  return Step::SHOWN;
}

Step Show::step(DisplayDriver& display, const std::function<bool()>& stop) {
  return play_frame(&display, Showing::PRESENT, stop);
}

Step Show::step() {
  return play_frame(nullptr, Showing::PRESENT, {});
}

Step Show::run_frames_to(uint32_t frame, DisplayDriver* display) {
  while (engine_.frame_counter < frame) {
    const Script& script = engine_.script;
    if (!ended_ && script.state == ScriptState::WAITING &&
        engine_.frame_counter < script.wait_target && !any_running()) {
      engine_.frame_counter = std::min(script.wait_target, frame);
      continue;
    }
    if (play_frame(display, Showing::BLITS_ONLY, {}) == Step::ENDED) return Step::ENDED;
  }
  return ended_ ? Step::ENDED : Step::SHOWN;
}

Step Show::run_to(uint32_t frame) {
  return run_frames_to(frame, nullptr);
}

Step Show::run_to(uint32_t frame, DisplayDriver& display) {
  return run_frames_to(frame, &display);
}

std::unique_ptr<Show> load_show(const char* path, const Console& console) {
  return std::make_unique<Show>(datafile::load_data_file(path, console));
}

}  // namespace engine
