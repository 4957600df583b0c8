// The chunk container: reads every chunk of the data file into the chunk table. Every length is
// checked against what the file holds before anything is read or allocated.
#include <sys/stat.h>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>

#include "datafile/chunk.h"
#include "engine/fatal.h"

namespace datafile {
namespace {

using engine::fail;
using engine::format_text;

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

// The tag as it can be printed: unprintable bytes as \xNN.
std::string printable_tag(const uint8_t* tag) {
  std::string text;
  for (int i = 0; i < 4; ++i)
    text += std::isprint(tag[i]) ? std::string(1, static_cast<char>(tag[i]))
                                 : format_text("\\x%02X", tag[i]);
  return text;
}

std::unique_ptr<Chunk> read_bytes(FILE* file, int32_t length, std::unique_ptr<ByteChunk> chunk) {
  chunk->size = length;
  chunk->bytes.resize(static_cast<size_t>(length));
  if (length > 0 &&
      std::fread(chunk->bytes.data(), 1, chunk->bytes.size(), file) != chunk->bytes.size())
    fail("loader  : read error in a %s chunk", kind_name(chunk->kind));
  return chunk;
}

struct Loader {
  const char* path;
  FILE* file;
  long file_size;
  const engine::Console& console;

  // Reads the chunk at the file's position. Null at the end of the file, and after an unknown
  // tag or a payload that cannot be decoded, both of which end loading.
  std::unique_ptr<Chunk> read_chunk(int number) {
    long start = std::ftell(file);
    uint8_t header[8];
    size_t got = std::fread(header, 1, sizeof header, file);
    if (got == 0) return nullptr;
    if (got < sizeof header) {
      std::fprintf(console.err, "loader  : %s: %zu stray bytes at offset %ld ignored\n", path, got,
                   start);
      return nullptr;
    }
    std::string tag = printable_tag(header);
    int32_t length = static_cast<int32_t>(uint32_t{header[4]} << 24 | uint32_t{header[5]} << 16 |
                                          uint32_t{header[6]} << 8 | header[7]);
    long payload = start + 8;
    std::string where =
        format_text("%s: chunk %d (%s at offset %ld)", path, number, tag.c_str(), start);
    if (length < 0) fail("loader  : %s has a negative length (%d)", where.c_str(), length);
    if (length > file_size - payload)
      fail("loader  : %s is truncated: its length is %d bytes but only %ld follow", where.c_str(),
           length, file_size - payload);

    std::unique_ptr<Chunk> chunk;
    if (std::memcmp(header, "PING", 4) == 0) {
      chunk = read_ping(file, where, console.err);
    } else if (std::memcmp(header, "TEXT", 4) == 0) {
      chunk = read_bytes(file, length, std::make_unique<TextChunk>());
    } else if (std::memcmp(header, "FONT", 4) == 0) {
      chunk = read_font(file, length, where, console.err);
    } else if (std::memcmp(header, "DEMO", 4) == 0) {
      chunk = read_bytes(file, length, std::make_unique<ScriptChunk>());
    } else {
      std::fprintf(console.err, "loader  : %s: unknown tag; loading stops here\n", where.c_str());
      return nullptr;
    }
    if (!chunk) {
      std::fprintf(console.err, "loader  : %s cannot be used; loading stops here\n", where.c_str());
      return nullptr;
    }
    // The next chunk starts right after this payload, whatever its reader consumed.
    std::fseek(file, payload + length, SEEK_SET);
    return chunk;
  }
};

}  // namespace

const char* kind_name(ChunkKind kind) {
  switch (kind) {
    case ChunkKind::IMAGE:
      return "image";
    case ChunkKind::TEXT:
      return "text";
    case ChunkKind::FONT:
      return "font";
    case ChunkKind::SCRIPT:
      return "script";
  }
  return "unknown";
}

const char* kind_with_article(ChunkKind kind) {
  switch (kind) {
    case ChunkKind::IMAGE:
      return "an image chunk";
    case ChunkKind::TEXT:
      return "a text chunk";
    case ChunkKind::FONT:
      return "a font chunk";
    case ChunkKind::SCRIPT:
      return "a script chunk";
  }
  return "an unknown chunk";
}

ChunkTable load_data_file(const char* path, const engine::Console& console) {
  std::fprintf(console.out, "loader  : loading %s\n", path);
  std::fflush(console.out);
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path, "rb"));
  if (!file) fail("loader  : cannot open data file %s: %s", path, std::strerror(errno));
  struct stat status {};
  if (fstat(fileno(file.get()), &status) != 0 || !S_ISREG(status.st_mode))
    fail("loader  : cannot read data file %s: it is not a regular file", path);
  return load_chunks(file.get(), static_cast<long>(status.st_size), path, console);
}

ChunkTable load_chunks(FILE* file, long file_size, const char* name,
                       const engine::Console& console) {
  Loader loader{name, file, file_size, console};
  ChunkTable table;
  for (int number = 0;; ++number) {
    std::unique_ptr<Chunk> chunk = loader.read_chunk(number);
    if (!chunk) {
      if (number == 0)
        fail("loader  : %s holds no usable chunk 0; a data file must begin with its DEMO chunk",
             name);
      break;
    }
    if (table.size() == MAX_CHUNKS)
      fail("loader  : %s holds more than %d chunks; chunk %d is one too many", name, MAX_CHUNKS,
           number);
    table.push_back(std::move(chunk));
  }
  return table;
}

}  // namespace datafile
