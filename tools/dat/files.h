// Whole files in and out, with the system's reason when that fails.
#pragma once

#include <optional>
#include <string>

#include "tools/dat/data_file.h"

namespace tools {

// The largest file the tools read: a data file holds at most 127 chunks and a show a few
// pictures, all far smaller; a larger file is a mistake (or /dev/zero), and reading it would
// only fill memory.
inline constexpr size_t MAX_FILE_BYTES = size_t{64} << 20;

// A regular file's bytes, or the reason it cannot be had: the system's, or that it is a
// directory, a device, a pipe or a socket, or larger than MAX_FILE_BYTES.
std::optional<Bytes> read_file(const std::string& path, std::string& error);
bool write_file(const std::string& path, const Bytes& bytes, std::string& error);
bool write_file(const std::string& path, const std::string& text, std::string& error);

// `name` as seen from the file `from`: relative names are relative to `from`'s directory.
std::string beside(const std::string& from, const std::string& name);

}  // namespace tools
