// The recording display driver.
#include "display/recording_display.h"

#include "base/fatal.h"

namespace display {
namespace {

struct RecordingState : engine::DisplayState {
  std::shared_ptr<Recording> recording;
};

Recording& of(engine::DisplayDriver& display) {
  return *static_cast<RecordingState&>(*display.state).recording;
}

void close(engine::DisplayDriver& display) {
  of(display).calls.push_back("close");
}

void init(engine::DisplayDriver& display) {
  of(display).calls.push_back("init");
}

void blit(engine::DisplayDriver& display, const engine::Buffer& buffer) {
  Recording& recording = of(display);
  recording.calls.push_back(
      engine::format_text("blit %d %d %d %d", buffer.x, buffer.y, buffer.width, buffer.height));
  recording.picture.blit(buffer);
}

void present(engine::DisplayDriver& display, uint32_t) {
  Recording& recording = of(display);
  recording.calls.push_back("present");
  if (recording.keep_frames) recording.frames.push_back(recording.picture);
}

void start(engine::DisplayDriver& display) {
  of(display).calls.push_back("start");
}

int poll_quit(engine::DisplayDriver& display, uint32_t frame) {
  Recording& recording = of(display);
  recording.calls.push_back("poll_quit");
  return recording.poll(frame);
}

}  // namespace

engine::DisplayConstructor recording_display(std::shared_ptr<Recording> recording) {
  return [recording]() -> std::unique_ptr<engine::DisplayDriver> {
    if (recording->make_fails) return nullptr;
    auto state = std::make_unique<RecordingState>();
    state->recording = recording;
    return std::make_unique<engine::DisplayDriver>(engine::DisplayDriver{
        close, init, blit, present, start, poll_quit, nullptr, nullptr, std::move(state)});
  };
}

}  // namespace display
