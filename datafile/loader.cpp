// The chunk loader: reads the data file and fills the chunk table, saying what the container
// reader found on the way, as the engine's messages.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "base/fatal.h"
#include "base/printable.h"
#include "datafile/chunk.h"
#include "datafile/container.h"

namespace datafile {
namespace {

using engine::fail;

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

// Prints why the chunk that ended loading did, or ends the show when the file is refused.
void report_stop(const FileChunk& chunk, const char* name, FILE* err) {
  const std::string where = engine::format_text("%s: %s", name, chunk.where().c_str());
  switch (chunk.fault) {
    case ChunkFault::NONE:
      return;
    case ChunkFault::UNKNOWN_TAG:
      std::fprintf(err, "loader  : %s: unknown tag; loading stops here\n", where.c_str());
      return;
    case ChunkFault::NEGATIVE_LENGTH:
    case ChunkFault::TRUNCATED:
      fail("loader  : %s %s", where.c_str(), chunk.header_fault().c_str());
    case ChunkFault::ONE_TOO_MANY:
      fail("loader  : %s holds more than %d chunks; chunk %d is one too many", name, MAX_CHUNKS,
           chunk.number);
    case ChunkFault::UNUSABLE:
      break;
  }
  const PayloadProblem& problem = chunk.problem;
  if (problem.kind == PayloadProblem::NOT_PNG)
    std::fputs("ping: invalid data format\n", err);
  else if (problem.kind == PayloadProblem::BAD_PNG)
    std::fprintf(err, "ping: %s: %s\n", where.c_str(), problem.text.c_str());
  else if (problem.kind == PayloadProblem::BAD_FONT)
    std::fprintf(err, "loader  : %s: not a font the engine can draw: %s\n", where.c_str(),
                 problem.text.c_str());
  std::fprintf(err, "loader  : %s cannot be used; loading stops here\n", where.c_str());
}

}  // namespace

ChunkTable load_data_file(const char* path, const engine::Console& console) {
  const std::string shown = engine::printable_name(path);
  std::fprintf(console.out, "loader  : loading %s\n", shown.c_str());
  std::fflush(console.out);
  // Opened without waiting, since a FIFO or a device would keep an ordinary open waiting for a
  // writer forever; what is no regular file is refused before anything is read.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) fail("loader  : cannot open data file %s: %s", shown.c_str(), std::strerror(errno));
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    fail("loader  : cannot read data file %s: it is not a regular file", shown.c_str());
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  std::unique_ptr<FILE, FileCloser> file(fdopen(fd, "rb"));
  if (!file) {
    ::close(fd);
    fail("loader  : cannot open data file %s: %s", shown.c_str(), std::strerror(errno));
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(status.st_size));
  if (!bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
    fail("loader  : cannot read data file %s: %s", shown.c_str(),
         std::ferror(file.get()) ? std::strerror(errno) : "it is shorter than it was");
  return load_chunks(bytes, path, console);
}

ChunkTable load_chunks(std::span<const uint8_t> bytes, const char* given_name,
                       const engine::Console& console) {
  const std::string shown = engine::printable_name(given_name);
  const char* name = shown.c_str();
  ContainerRead read = read_container(bytes, Walk::AS_THE_ENGINE);
  if (const FileChunk* chunk = read.stopper())
    report_stop(*chunk, name, console.err);
  else if (read.stray_bytes > 0)
    std::fprintf(console.err, "loader  : %s: %zu stray bytes at offset %zu ignored\n", name,
                 read.stray_bytes, read.stray_offset);
  if (read.loaded == 0)
    fail("loader  : %s holds no usable chunk 0; a data file must begin with its DEMO chunk", name);
  ChunkTable table;
  for (size_t i = 0; i < read.loaded; ++i) table.push_back(std::move(read.chunks[i].object));
  return table;
}

}  // namespace datafile
