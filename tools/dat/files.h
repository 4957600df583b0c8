// Whole files in and out, with the system's reason when that fails.
#pragma once

#include <optional>
#include <string>

#include "tools/dat/container.h"

namespace tools {

std::optional<Bytes> read_file(const std::string& path, std::string& error);
bool write_file(const std::string& path, const Bytes& bytes, std::string& error);
bool write_file(const std::string& path, const std::string& text, std::string& error);

// `name` as seen from the file `from`: relative names are relative to `from`'s directory.
std::string beside(const std::string& from, const std::string& name);

}  // namespace tools
