// The test harness around the player and the engine.
#include "support/show_harness.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "player/player.h"

namespace support {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tundra-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

std::string TempDir::write(const std::string& name, const Bytes& bytes) const {
  std::filesystem::path file = std::filesystem::path(path) / name;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return file.string();
}

CapturedStream::CapturedStream() {
  file = open_memstream(&data_, &size_);
}

CapturedStream::~CapturedStream() {
  std::fclose(file);
  std::free(data_);
}

std::string CapturedStream::text() {
  std::fflush(file);
  return std::string(data_, size_);
}

ShowResult run_show_at(const std::string& path, const ShowOptions& options) {
  ShowResult result;
  result.recording = std::make_shared<display::Recording>();
  result.recording->keep_frames = options.keep_frames;
  result.recording->make_fails = options.display_fails;
  if (options.poll) result.recording->poll = options.poll;

  CapturedStream out, err;
  engine::ShowSetup setup;
  setup.make_display = display::recording_display(result.recording);
  setup.data_path = path.c_str();
  setup.clock = options.clock;
  setup.nosync = options.nosync;
  setup.farewell = options.farewell;
  setup.console = {out.file, err.file};
  result.status = engine::run_show(setup);
  result.out = out.text();
  result.err = err.text();
  return result;
}

ShowResult run_show_on(const Bytes& data_file, const ShowOptions& options) {
  TempDir dir;
  return run_show_at(dir.write("show.dat", data_file), options);
}

datafile::ChunkTable load_bytes(const Bytes& data_file, std::string* err) {
  TempDir dir;
  std::string path = dir.write("show.dat", data_file);
  CapturedStream out, errors;
  datafile::ChunkTable table = datafile::load_data_file(path.c_str(), {out.file, errors.file});
  if (err != nullptr) *err = errors.text();
  return table;
}

EngineRun::EngineRun(const Bytes& data_file)
    : show(std::make_unique<engine::Show>(load_bytes(data_file))),
      engine(&show->engine()),
      recording(std::make_shared<display::Recording>()) {
  display = display::recording_display(recording)();
}

void EngineRun::start() {
  show->start();
}

engine::Step EngineRun::frame() {
  return show->step(*display);
}

void EngineRun::frames(int count) {
  for (int i = 0; i < count; ++i) frame();
}

}  // namespace support
