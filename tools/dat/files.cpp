// Reading and writing whole files.
#include "tools/dat/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/fatal.h"

namespace tools {
namespace {

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

struct DescriptorCloser {
  int fd;
  ~DescriptorCloser() { close(fd); }
};

}  // namespace

std::optional<Bytes> read_file(const std::string& path, std::string& error) {
  // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come; what is not a
  // regular file is refused before anything is read from it.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  DescriptorCloser closer{fd};
  struct stat status {};
  if (fstat(fd, &status) != 0) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  if (S_ISDIR(status.st_mode)) {
    error = "it is a directory";
    return std::nullopt;
  }
  if (!S_ISREG(status.st_mode)) {
    error = "it is not a regular file (a device, a pipe or a socket)";
    return std::nullopt;
  }
  const auto too_large = [&] {
    error = engine::format_text("it is larger than %zu MiB, the most a file read here may hold",
                                MAX_FILE_BYTES >> 20);
    return std::nullopt;
  };
  if (static_cast<uint64_t>(status.st_size) > MAX_FILE_BYTES) return too_large();
  // The size is only a hint: a file that grows while it is read still stops at the limit.
  Bytes bytes;
  bytes.reserve(static_cast<size_t>(status.st_size));
  uint8_t block[65536];
  for (;;) {
    const ssize_t got = read(fd, block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = std::strerror(errno);
      return std::nullopt;
    }
    if (got == 0) break;
    if (bytes.size() + static_cast<size_t>(got) > MAX_FILE_BYTES) return too_large();
    bytes.insert(bytes.end(), block, block + got);
  }
  return bytes;
}

bool write_file(const std::string& path, const Bytes& bytes, std::string& error) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
    error = "write error";
    return false;
  }
  if (std::fclose(file.release()) != 0) {
    error = std::strerror(errno);
    return false;
  }
  return true;
}

bool write_file(const std::string& path, const std::string& text, std::string& error) {
  return write_file(path, Bytes(text.begin(), text.end()), error);
}

std::string beside(const std::string& from, const std::string& name) {
  std::filesystem::path target(name);
  if (target.is_absolute()) return name;
  return (std::filesystem::path(from).parent_path() / target).string();
}

}  // namespace tools
