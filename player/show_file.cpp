// Finding the data file to play, and recognising a show's source given in its place.
#include "player/show_file.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/fatal.h"
#include "player/player.h"

namespace engine {
namespace {

namespace fs = std::filesystem;

// Anything at all at `path`, even a broken link or a directory: the loader then says what it is.
bool something_at(const std::string& path) {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(path, ignored));
}

std::string folder_of(const std::string& path) {
  return fs::path(path).parent_path().string();
}

}  // namespace

std::string installed_show_path() {
  std::error_code error;
  fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (error) return {};
  // TUNDRA_SHOW_FROM_BIN is where CMake installs the show, relative to where it installs the
  // programs ("../share/tundra" by default), so the whole tree can move to any prefix.
  fs::path show = program.parent_path() / TUNDRA_SHOW_FROM_BIN / fs::path(DATA_FILE).filename();
  return show.lexically_normal().string();
}

ShowFile choose_show_file(const std::optional<std::string>& given) {
  if (given) return {*given, false};
  if (something_at(DATA_FILE)) return {DATA_FILE, false};
  std::string installed = installed_show_path();
  if (!installed.empty() && something_at(installed)) return {installed, false};
  return {DATA_FILE, true};
}

std::string show_source_message(std::string_view program, const std::string& path) {
  if (!path.ends_with(".tds")) return {};
  std::error_code ignored;
  if (!fs::is_regular_file(path, ignored)) return {};
  // A data file begins with its DEMO chunk, a show's source with text: a data file that merely
  // carries the name is left to the loader.
  char start[4] = {};
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    size_t got = std::fread(start, 1, sizeof start, file);
    std::fclose(file);
    if (got == sizeof start && std::memcmp(start, "DEMO", 4) == 0) return {};
  }
  const std::string shown = printable_name(path);
  std::string data_file = printable_name(fs::path(path).replace_extension(".dat").string());
  return std::string(program) + ": " + shown +
         " is a show's source, not a data file: compile it first with 'tundra-dat build " + shown +
         "', which writes " + data_file + "\n";
}

std::string nothing_found_note() {
  std::error_code error;
  fs::path here = fs::current_path(error);
  std::string looked_in = error ? std::string("the working directory's data folder")
                                : printable_name(folder_of((here / DATA_FILE).string())) +
                                      " (the working directory's data folder)";
  std::string installed = installed_show_path();
  if (!installed.empty())
    looked_in += " nor in " + printable_name(folder_of(installed)) + " (the installed show's)";
  return "loader  : no " + fs::path(DATA_FILE).filename().string() + " in " + looked_in +
         "; name the data file to play on the command line\n";
}

int play_chosen_file(std::string_view program, const std::optional<std::string>& given,
                     const std::function<int(const std::string& path)>& play) {
  ShowFile file = choose_show_file(given);
  std::string source_message = show_source_message(program, file.path);
  if (!source_message.empty()) {
    std::fputs(source_message.c_str(), stderr);
    return FATAL_STATUS;
  }
  int status = play(file.path);
  // Checked again: the loader's "cannot open" is the failure this note explains.
  if (status == FATAL_STATUS && file.nothing_found && !something_at(file.path))
    std::fputs(nothing_found_note().c_str(), stderr);
  return status;
}

}  // namespace engine
