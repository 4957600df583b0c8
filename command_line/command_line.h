// Command lines read alike in every Tundra program: options from a table of rows, --help and -h,
// --version, `--` before a name that begins with '-', and one line naming a mistake, status 2.
#pragma once

#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// The exit status of a command line a program cannot use.
inline constexpr int USAGE_STATUS = 2;

// The project's version, set once in CMake.
extern const char* const VERSION;

// One option of a program: adding an option is adding a row to the program's table.
template <class Settings>
struct Option {
  std::string_view name;   // as typed: "-nosync", "--frames"
  std::string_view value;  // how --help names its value ("N", "FILE"); empty for a switch
  std::string_view help;   // what --help says; '\n' begins a continuation line
  // Stores the option. Returns what is wrong with the value, worded to follow the option's name
  // ("takes a whole number, not 'ten'"), or an empty text.
  std::string (*store)(Settings& settings, std::string_view value);
};

// An option as --help and the manual pages see it, whatever the program's settings.
struct OptionText {
  std::string_view name;
  std::string_view value;
  std::string_view help;
};

// Options every program takes, answered before the program's own: --help (also -h), --version.
inline constexpr std::string_view HELP_OPTION = "--help";
inline constexpr std::string_view HELP_SHORT = "-h";
inline constexpr std::string_view VERSION_OPTION = "--version";

enum class Request { RUN, HELP, VERSION, USAGE_ERROR };

struct Arguments {
  Request request = Request::RUN;
  std::vector<std::string> operands;  // the words that are not options, in order
  std::string error;                  // for USAGE_ERROR: the mistake, naming the word
};

// Reads `words` (the arguments after the program's name) against `options`. `store_option`
// stores the value of row `index`. Options may come anywhere among the operands; a value
// follows its option as the next word or after '=' (--frames=100). The first mistake, --help or
// --version ends the reading.
Arguments read_arguments(
    const std::vector<std::string>& words, std::span<const OptionText> options,
    const std::function<std::string(size_t index, std::string_view value)>& store_option);

template <class Settings>
std::vector<OptionText> option_texts(std::span<const Option<Settings>> options) {
  std::vector<OptionText> texts;
  for (const Option<Settings>& option : options)
    texts.push_back({option.name, option.value, option.help});
  return texts;
}

template <class Settings>
Arguments parse_arguments(std::span<const Option<Settings>> options,
                          const std::vector<std::string>& words, Settings& settings) {
  return read_arguments(words, option_texts(options), [&](size_t index, std::string_view value) {
    return options[index].store(settings, value);
  });
}

// The arguments after the program's name, as words.
std::vector<std::string> words_of(int argc, char** argv);

// "usage: PROGRAM [-a] [--b VALUE] OPERANDS\n", the options in their table's order, wrapped
// within 80 columns below the program's name.
std::string usage_line(std::string_view program, std::span<const OptionText> options,
                       std::string_view operands);

// The option lines of --help: the program's options, then --help and --version.
std::string format_options(std::span<const OptionText> options);

// Flushes `out`, a program's standard output; if what was printed on it could not be written
// (a full disk, a closed pipe), says so on `err` and returns 1, else `status`. Programs need not
// call it after --help and --version: reading either arranges the same check at exit.
int finish_output(FILE* out, FILE* err, std::string_view program, int status);

// Prints "PROGRAM: ERROR", the usage line and where to read more on `err`; returns USAGE_STATUS.
int report_usage_error(FILE* err, std::string_view program, std::string_view error,
                       std::string_view usage);

// "PROGRAM VERSION".
void print_version(FILE* out, std::string_view program);

// What a program says when its command line asks for help or holds a mistake.
struct ProgramTexts {
  std::string_view name;               // "tundra-render"
  std::function<std::string()> help;   // the whole --help text
  std::string usage;                   // the usage line printed after a mistake
  std::string_view error_prefix = {};  // before a mistake: "play: " for a command's options
};

// Every program's answer to its arguments: --help and --version on `out` with status 0 (or 1
// when `out` cannot be written), a mistake on `err` with USAGE_STATUS, else what `body` returns.
int run(const Arguments& arguments, const ProgramTexts& program, FILE* out, FILE* err,
        const std::function<int()>& body);

}  // namespace engine
