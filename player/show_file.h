// Which data file a program plays: the one named on its command line, else
// data/mote-tundra-2003.dat in the working directory, else the show installed with the program.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/printable.h"

namespace engine {

struct ShowFile {
  std::string path;  // what the loader opens and names
  // No file was named and neither default exists: when loading fails, say where we looked.
  bool nothing_found = false;
};

// `given`, else the working directory's data/mote-tundra-2003.dat when anything is there (so
// that the loader reports what is wrong with it), else the installed show when it exists, else
// the working directory's path again.
ShowFile choose_show_file(const std::optional<std::string>& given);

// Where an installed program finds its show: share/tundra/mote-tundra-2003.dat beside its own
// bin/ folder, whatever the prefix it was installed into. Empty when the program's own path is
// unknown.
std::string installed_show_path();

// For a path that names a show's source (SHOW.tds) rather than a data file: one line telling
// `program`'s user to compile it first. Empty for anything else, which the loader judges.
std::string show_source_message(std::string_view program, const std::string& path);

// The line that follows the loader's "cannot open" when nothing was found: the folders looked
// in, and that a file can be named.
std::string nothing_found_note();

// The whole way from a command line's file to a show: chooses the file for `given`, refuses a
// show's source with its message and FATAL_STATUS, calls `play` with the path otherwise, and
// after a failed load of a default that is nowhere adds nothing_found_note. Returns the status.
int play_chosen_file(std::string_view program, const std::optional<std::string>& given,
                     const std::function<int(const std::string& path)>& play);

}  // namespace engine
