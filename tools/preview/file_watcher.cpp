// The inotify watcher.
#include "tools/preview/file_watcher.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace preview {
namespace {

namespace fs = std::filesystem;

// What changes a file's contents or its place. IN_ATTRIB is left out: reading a file may update
// its access time, and the preview reads every file it watches at each reload.
constexpr uint32_t FILE_EVENTS = IN_MODIFY | IN_CLOSE_WRITE | IN_MOVE_SELF | IN_DELETE_SELF;
// In a folder: its entries appearing, going and changing, and the folder itself going.
constexpr uint32_t FOLDER_EVENTS = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY |
                                   IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;

std::string canonical(const std::string& path) {
  std::error_code ignored;
  return fs::weakly_canonical(fs::absolute(path, ignored), ignored).lexically_normal().string();
}

// The folder of `path`, or the nearest one above it that exists, where `path` will appear.
std::string existing_folder(const fs::path& path) {
  std::error_code ignored;
  fs::path folder = path.parent_path();
  while (!folder.empty() && !fs::is_directory(folder, ignored) && folder != folder.root_path())
    folder = folder.parent_path();
  return folder.string();
}

bool is_within(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         (path[folder.size()] == '/' || folder == "/");
}

}  // namespace

FileWatcher::FileWatcher(std::chrono::milliseconds quiet) : quiet_(quiet) {
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) error_ = std::string("inotify: ") + std::strerror(errno);
}

FileWatcher::~FileWatcher() {
  if (fd_ >= 0) close(fd_);
}

void FileWatcher::watch(const std::vector<std::string>& paths) {
  // What came under the watches so far is read first: it is for the files as they were wanted.
  if (fd_ >= 0) read_events();
  wanted_.clear();
  wanted_folders_.clear();
  std::error_code ignored;
  for (const std::string& path : paths) {
    const std::string name = canonical(path);
    wanted_.emplace(name, path);
    if (fs::is_directory(name, ignored)) wanted_folders_.insert(name);
  }
  if (fd_ >= 0) arm();
}

// Watches every wanted file that exists, and the folder each lives in (or would live in), and
// stops watching what is no longer wanted. A watch that stays keeps its number, under which
// events may be waiting still. A file replaced by a rename is a new file: it is watched again
// here, after every batch of events.
void FileWatcher::arm() {
  std::error_code ignored;
  std::map<int, Watch> armed;
  auto add = [&](const std::string& path, uint32_t events, Watch watch) {
    // The same file or folder again gives the watch it has, with these events.
    const int descriptor = inotify_add_watch(fd_, path.c_str(), events);
    if (descriptor < 0) return;
    Watch& kept = armed[descriptor];
    if (!watch.folder.empty()) kept.folder = watch.folder;
    if (!watch.file.empty()) kept.file = watch.file;
  };
  for (const auto& [name, given] : wanted_) {
    if (wanted_folders_.contains(name)) {
      add(name, FOLDER_EVENTS, {name, {}});
      continue;
    }
    if (fs::exists(name, ignored)) add(name, FILE_EVENTS, {{}, name});
    const std::string folder = existing_folder(name);
    if (!folder.empty()) add(folder, FOLDER_EVENTS, {folder, {}});
  }
  for (const auto& [descriptor, watch] : watches_)
    if (!armed.contains(descriptor)) inotify_rm_watch(fd_, descriptor);
  watches_ = std::move(armed);
}

void FileWatcher::note(const std::string& path) {
  bool relevant = false;
  for (const auto& [name, given] : wanted_) {
    // The file itself, a file in a watched folder, or a folder on the way to a wanted file
    // (made or renamed into place).
    if (path == name || is_within(name, path) ||
        (wanted_folders_.contains(name) && is_within(path, name))) {
      changed_.insert(given);
      relevant = true;
    }
  }
  if (relevant) last_change_ = Clock::now();
}

void FileWatcher::read_events() {
  // Events are whole records; a buffer this size holds many of them.
  alignas(inotify_event) char buffer[16384];
  bool any = false;
  for (;;) {
    const ssize_t got = read(fd_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    any = true;
    for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += ssize_t(sizeof(inotify_event)) + event->len;
      auto found = watches_.find(event->wd);
      if (found == watches_.end()) continue;
      const Watch watch = found->second;
      if ((event->mask & IN_IGNORED) != 0) {
        watches_.erase(found);
        continue;
      }
      if (event->len > 0 && !watch.folder.empty())
        note(watch.folder + "/" + event->name);
      else if (!watch.file.empty())
        note(watch.file);
      else if (!watch.folder.empty())
        note(watch.folder);
    }
  }
  if (any) arm();
}

std::vector<std::string> FileWatcher::poll(std::chrono::milliseconds timeout) {
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    if (fd_ >= 0) read_events();  // what has come so far; the descriptor never blocks
    const Clock::time_point now = Clock::now();
    if (!changed_.empty() && now >= last_change_ + quiet_) {
      std::vector<std::string> changed(changed_.begin(), changed_.end());
      changed_.clear();
      return changed;
    }
    if (now >= deadline) return {};
    Clock::time_point until = deadline;
    if (!changed_.empty()) until = std::min(until, last_change_ + quiet_);
    // Rounded up, so that the wait never ends just before the moment it waits for.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now);
    pollfd ready{fd_, POLLIN, 0};
    ::poll(&ready, fd_ >= 0 ? 1 : 0, static_cast<int>(wait.count()));
  }
}

void FileWatcher::discard() {
  if (fd_ >= 0) read_events();
  changed_.clear();
}

}  // namespace preview
