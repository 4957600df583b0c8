// The renderer's files, each written so that its name shows either what was there before or the
// whole output: never half a file, never a file removed because its writing failed.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tools::render {

// One file being written. A regular file (or a name not yet taken) is written to a temporary
// file beside it, which is renamed over it once complete and removed otherwise; through a
// symbolic link, that is beside the file the link names, and the link stays. Standard output
// ("-"), a character device and a FIFO are written as they are, and never removed.
class OutputFile {
 public:
  // Null, with `error` saying why, when the file cannot be created.
  static std::unique_ptr<OutputFile> create(const std::string& path, std::string& error);
  ~OutputFile();  // removes the temporary file when it was not put in place
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  FILE* stream() const { return stream_; }
  // The name messages give it: the path as given, or "standard output".
  const std::string& name() const { return name_; }

  // Returns an error text naming the file, empty while every write has succeeded.
  std::string write(const void* bytes, size_t size);
  // Marks the file as failed (a library that wrote to the stream found an error); returns the
  // first failure's text.
  std::string fail(std::string error);
  // Flushes and closes the stream (standard output is only flushed); an error text when any
  // write to it failed. Safe to repeat.
  std::string close();
  // Renames the closed temporary file over the target; nothing to do for the others.
  std::string put_in_place();

  // "cannot VERB NAME: the system's reason", from errno.
  std::string failure(const char* verb) const;

 private:
  OutputFile() = default;

  FILE* stream_ = nullptr;
  std::string name_;
  std::string target_;     // what the temporary file becomes
  std::string temporary_;  // empty when the target is written directly
  std::string error_;      // the first write that failed: the file is not complete
  bool placed_ = false;
};

// Where the data file being rendered is, so that no output is written over it.
class InputIdentity {
 public:
  explicit InputIdentity(const std::string& path);
  // Whether `path` names the data file, by any name (a link, a second hard link).
  bool is_input(const std::string& path) const;

 private:
  std::optional<std::pair<dev_t, ino_t>> id_;
};

}  // namespace tools::render
