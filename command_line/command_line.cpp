// Reading command lines against a table of options, and the texts every program prints alike.
#include "command_line/command_line.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <stdio_ext.h>

namespace engine {

const char* const VERSION = TUNDRA_VERSION;

namespace {

// Option names and their values are padded to this width in --help; longer ones get the
// explanation on the next line.
constexpr size_t LABEL_WIDTH = 16;

// A terminal's width: usage lines are wrapped to stay within it.
constexpr size_t USAGE_WIDTH = 80;

std::string quoted(std::string_view word) {
  return "'" + std::string(word) + "'";
}

void add_option_lines(std::string& text, std::string_view label, std::string_view help) {
  std::string line = "  " + std::string(label);
  const std::string indent(2 + LABEL_WIDTH + 2, ' ');
  if (label.size() > LABEL_WIDTH) {
    text += line + "\n";
    line = indent;
  } else {
    line.resize(indent.size(), ' ');
  }
  for (size_t start = 0;;) {
    size_t end = help.find('\n', start);
    text += line + std::string(help.substr(start, end - start)) + "\n";
    if (end == std::string_view::npos) break;
    start = end + 1;
    line = indent;
  }
}

// Every program answers --help and --version on standard output and then returns 0; a full
// disk or a closed pipe would pass unseen, since stdio keeps the text until the program ends.
// So once one of them is asked for, the program's end checks standard output and, if the text
// could not be written, ends with status 1 instead, whichever program it is.
void check_standard_output() {
  if (finish_output(stdout, stderr, program_invocation_short_name, 0) != 0) std::_Exit(1);
}

void check_standard_output_at_exit() {
  static std::once_flag registered;
  std::call_once(registered, [] { std::atexit(check_standard_output); });
}

}  // namespace

Arguments read_arguments(const std::vector<std::string>& words, std::span<const OptionText> options,
                         const std::function<std::string(size_t, std::string_view)>& store_option) {
  Arguments arguments;
  auto mistake = [&](std::string error) {
    arguments.request = Request::USAGE_ERROR;
    arguments.error = std::move(error);
    return arguments;
  };
  bool options_ended = false;  // after "--" every word is an operand
  for (size_t i = 0; i < words.size(); ++i) {
    std::string_view word = words[i];
    if (options_ended || word == "-" || !word.starts_with("-")) {
      arguments.operands.emplace_back(word);
      continue;
    }
    if (word == "--") {
      options_ended = true;
      continue;
    }
    size_t equals = word.find('=');
    std::string_view name = word.substr(0, equals);
    if (name == HELP_OPTION || name == HELP_SHORT || name == VERSION_OPTION) {
      if (equals != std::string_view::npos) return mistake(std::string(name) + " takes no value");
      arguments.request = name == VERSION_OPTION ? Request::VERSION : Request::HELP;
      check_standard_output_at_exit();
      return arguments;
    }
    size_t index = 0;
    while (index < options.size() && options[index].name != name) ++index;
    if (index == options.size()) return mistake("unknown option " + quoted(name));
    const OptionText& option = options[index];
    std::string_view value;
    if (option.value.empty()) {
      if (equals != std::string_view::npos) return mistake(std::string(name) + " takes no value");
    } else if (equals != std::string_view::npos) {
      value = word.substr(equals + 1);
    } else if (i + 1 < words.size()) {
      value = words[++i];
    } else {
      return mistake(std::string(name) + " needs a value (" + std::string(option.value) + ")");
    }
    std::string error = store_option(index, value);
    if (!error.empty()) return mistake(std::string(name) + " " + error);
  }
  return arguments;
}

std::vector<std::string> words_of(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

std::string usage_line(std::string_view program, std::span<const OptionText> options,
                       std::string_view operands) {
  std::vector<std::string> words;
  for (const OptionText& option : options) {
    std::string word = "[" + std::string(option.name);
    if (!option.value.empty()) word += " " + std::string(option.value);
    words.push_back(word + "]");
  }
  words.emplace_back(operands);
  // Lines that would pass USAGE_WIDTH go on below the program's name.
  const std::string start = "usage: " + std::string(program);
  std::string text = start, line = start;
  for (const std::string& word : words) {
    if (line.size() + 1 + word.size() > USAGE_WIDTH && line.size() > start.size()) {
      text += "\n" + std::string(start.size(), ' ');
      line = std::string(start.size(), ' ');
    }
    text += " " + word;
    line += " " + word;
  }
  return text + "\n";
}

std::string format_options(std::span<const OptionText> options) {
  std::string text;
  for (const OptionText& option : options) {
    std::string label(option.name);
    if (!option.value.empty()) label += " " + std::string(option.value);
    add_option_lines(text, label, option.help);
  }
  add_option_lines(text, std::string(HELP_SHORT) + ", " + std::string(HELP_OPTION),
                   "print this text and exit");
  add_option_lines(text, VERSION_OPTION, "print the version and exit");
  return text;
}

int finish_output(FILE* out, FILE* err, std::string_view program, int status) {
  errno = 0;
  const bool flushed = std::fflush(out) == 0;
  const int error = errno;
  if (flushed && !std::ferror(out)) return status;
  std::fprintf(err, "%s: cannot write standard output: %s\n", std::string(program).c_str(),
               error != 0 ? std::strerror(error) : "write error");
  // What could not be written is dropped, so that it is not tried, and reported, again at exit.
  __fpurge(out);
  std::clearerr(out);
  return 1;
}

int run(const Arguments& arguments, const ProgramTexts& program, FILE* out, FILE* err,
        const std::function<int()>& body) {
  switch (arguments.request) {
    case Request::HELP:
      std::fputs(program.help().c_str(), out);
      return finish_output(out, err, program.name, 0);
    case Request::VERSION:
      print_version(out, program.name);
      return finish_output(out, err, program.name, 0);
    case Request::USAGE_ERROR:
      return report_usage_error(err, program.name,
                                std::string(program.error_prefix) + arguments.error, program.usage);
    case Request::RUN:
      break;
  }
  return body();
}

int report_usage_error(FILE* err, std::string_view program, std::string_view error,
                       std::string_view usage) {
  std::string p(program);
  std::fprintf(err, "%s: %s\n%sTry '%s --help' for more.\n", p.c_str(), std::string(error).c_str(),
               std::string(usage).c_str(), p.c_str());
  return USAGE_STATUS;
}

void print_version(FILE* out, std::string_view program) {
  std::fprintf(out, "%s %s\n", std::string(program).c_str(), VERSION);
}

}  // namespace engine
