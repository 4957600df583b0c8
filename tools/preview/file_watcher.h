// Watching the files a show is made of with inotify, for the preview's live reload. Each file
// is watched together with its folder, so that a file saved by writing a new one and renaming
// it over the old, or one that vanishes for a moment, is still seen and is watched again.
#pragma once

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace preview {

class FileWatcher {
 public:
  using Clock = std::chrono::steady_clock;

  // A change is reported once the files have been quiet for `quiet`: an editor's save is often
  // several writes, a rename and a removal in a row.
  explicit FileWatcher(std::chrono::milliseconds quiet = std::chrono::milliseconds(100));
  ~FileWatcher();
  FileWatcher(const FileWatcher&) = delete;
  FileWatcher& operator=(const FileWatcher&) = delete;

  // Empty when inotify could be set up; otherwise the reason, and nothing is ever reported.
  const std::string& error() const { return error_; }

  // Watches exactly `paths` from now on: files (which need not exist yet) and folders (any file
  // directly inside changes them). Changes already seen are kept.
  void watch(const std::vector<std::string>& paths);

  // Waits up to `timeout` for changes and returns the paths (as given to watch()) that changed,
  // once they have been quiet; an empty list when nothing is due by then. It sleeps in poll(2)
  // while waiting; a timeout of 0 only looks.
  std::vector<std::string> poll(std::chrono::milliseconds timeout);

  // Forgets the changes seen so far (those of a rebuild the preview ran itself).
  void discard();

  // For a caller that waits on more than the watcher: readable when inotify has news, which
  // poll() then reads. -1 when there is no inotify.
  int descriptor() const { return fd_; }

 private:
  struct Watch {
    std::string folder;  // canonical: the folder whose entries this watch reports, or empty
    std::string file;    // canonical: the file itself, for a watch on a file
  };

  void arm();
  void read_events();
  void note(const std::string& canonical_path);

  int fd_ = -1;
  std::string error_;
  std::chrono::milliseconds quiet_;
  std::map<std::string, std::string> wanted_;  // canonical path -> the path as given
  std::set<std::string> wanted_folders_;       // canonical folders watched for their contents
  std::map<int, Watch> watches_;               // by inotify watch descriptor
  std::set<std::string> changed_;              // as given
  Clock::time_point last_change_{};
};

}  // namespace preview
