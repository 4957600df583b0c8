// Reading and writing whole files.
#include "tools/dat/files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace tools {
namespace {

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

std::optional<Bytes> read_file(const std::string& path, std::string& error) {
  std::error_code code;
  if (std::filesystem::is_directory(path, code)) {
    error = "it is a directory";
    return std::nullopt;
  }
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  Bytes bytes;
  uint8_t block[65536];
  size_t got = 0;
  while ((got = std::fread(block, 1, sizeof block, file.get())) > 0)
    bytes.insert(bytes.end(), block, block + got);
  if (std::ferror(file.get())) {
    error = "read error";
    return std::nullopt;
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
