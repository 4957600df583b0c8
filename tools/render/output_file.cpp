// Writing an output through a temporary file beside it, or straight to a device.
#include "tools/render/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tools::render {
namespace {

constexpr const char* STANDARD_OUTPUT = "-";

// The mode a file created with fopen would get: what the process's umask leaves of 0666.
mode_t new_file_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// The name a chain of symbolic links ends at, which need not exist yet. A loop stops after as
// many links as the system itself follows.
std::filesystem::path end_of_links(std::filesystem::path path) {
  constexpr int MOST_LINKS = 40;
  std::error_code error;
  for (int link = 0; link < MOST_LINKS && std::filesystem::is_symlink(path, error); ++link) {
    const std::filesystem::path next = std::filesystem::read_symlink(path, error);
    if (error) break;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return path;
}

}  // namespace

std::unique_ptr<OutputFile> OutputFile::create(const std::string& path, std::string& error) {
  std::unique_ptr<OutputFile> file(new OutputFile);
  if (path == STANDARD_OUTPUT) {
    file->name_ = "standard output";
    file->stream_ = stdout;
    return file;
  }
  file->name_ = path;
  struct stat status {};
  const bool exists = stat(path.c_str(), &status) == 0;
  if (exists && S_ISDIR(status.st_mode)) {
    errno = EISDIR;
    error = file->failure("create");
    return nullptr;
  }
  // A device or a FIFO cannot be replaced by a file, and removing it would take it from
  // everyone who uses it: its bytes go to it as they come.
  if (exists && !S_ISREG(status.st_mode)) {
    file->stream_ = std::fopen(path.c_str(), "wb");
    if (file->stream_ == nullptr) {
      error = file->failure("create");
      return nullptr;
    }
    return file;
  }
  if (exists && access(path.c_str(), W_OK) != 0) {
    error = file->failure("create");
    return nullptr;
  }

  // Through a symbolic link, the file it names is replaced and the link kept.
  const std::filesystem::path target = end_of_links(path);
  file->target_ = target.string();
  std::filesystem::path directory = target.parent_path();
  if (directory.empty()) directory = ".";
  std::string pattern = (directory / ("." + target.filename().string() + ".XXXXXX")).string();
  const int descriptor = mkstemp(pattern.data());
  if (descriptor < 0) {
    error = file->failure("create");
    return nullptr;
  }
  file->temporary_ = pattern;
  fchmod(descriptor, exists ? status.st_mode & 07777 : new_file_mode());
  file->stream_ = fdopen(descriptor, "wb");
  if (file->stream_ == nullptr) {
    error = file->failure("create");
    ::close(descriptor);
    return nullptr;  // the destructor removes the temporary file
  }
  return file;
}

OutputFile::~OutputFile() {
  if (stream_ != nullptr && stream_ != stdout) std::fclose(stream_);
  if (!temporary_.empty() && !placed_) unlink(temporary_.c_str());
}

std::string OutputFile::failure(const char* verb) const {
  return std::string("cannot ") + verb + " " + name_ + ": " + std::strerror(errno);
}

std::string OutputFile::write(const void* bytes, size_t size) {
  if (std::fwrite(bytes, 1, size, stream_) != size && error_.empty()) error_ = failure("write");
  return error_;
}

std::string OutputFile::fail(std::string error) {
  if (error_.empty()) error_ = std::move(error);
  return error_;
}

std::string OutputFile::close() {
  if (stream_ == nullptr) return error_;
  if (std::ferror(stream_) != 0 && error_.empty()) error_ = failure("write");
  // Standard output stays open for whatever the process prints after the show.
  const bool close_failed =
      stream_ == stdout ? std::fflush(stream_) != 0 : std::fclose(stream_) != 0;
  stream_ = nullptr;
  if (close_failed && error_.empty()) error_ = failure("write");
  return error_;
}

std::string OutputFile::put_in_place() {
  if (temporary_.empty() || placed_ || !error_.empty() || stream_ != nullptr) return {};
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) return failure("replace");
  placed_ = true;
  return {};
}

InputIdentity::InputIdentity(const std::string& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) == 0) id_.emplace(status.st_dev, status.st_ino);
}

bool InputIdentity::is_input(const std::string& path) const {
  struct stat status {};
  return id_ && path != STANDARD_OUTPUT && stat(path.c_str(), &status) == 0 &&
         std::make_pair(status.st_dev, status.st_ino) == *id_;
}

}  // namespace tools::render
