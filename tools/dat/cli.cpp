// The subcommands (build, font, list, disasm, extract, check, classes) and their command line.
#include "tools/dat/cli.h"

#include <algorithm>
#include <filesystem>
#include <optional>

#include "base/fatal.h"
#include "fx/fx_info.h"
#include "tools/dat/assembler.h"
#include "tools/dat/build_show.h"
#include "tools/dat/checker.h"
#include "tools/dat/data_file.h"
#include "tools/dat/disassembler.h"
#include "tools/dat/files.h"
#include "tools/dat/font_art.h"
#include "tools/dat/listing.h"
#include "tools/dat/timecode.h"

namespace tools {
namespace {

using engine::format_text;

constexpr const char* PROGRAM = "tundra-dat";

enum class Warnings { PASS, FAIL };  // --strict: warnings fail like errors

struct Arguments {
  std::vector<std::string> positional;  // after the command's name
  std::optional<std::string> output;
  CheckPass check = CheckPass::RUN;
  Warnings warnings = Warnings::PASS;
  bool force = false;                   // extract: replace DIR/show.tds
  std::vector<std::string_view> given;  // the options given, for the command to accept
};

constexpr engine::Option<Arguments> option_rows[] = {
    {"-o", "FILE", "the file to write ('-': standard output)",
     [](Arguments& arguments, std::string_view value) {
       if (value.empty()) return std::string("needs a file name");
       arguments.output = value;
       arguments.given.push_back("-o");
       return std::string();
     }},
    {"--no-check", "", "build: write the data file without running the check",
     [](Arguments& arguments, std::string_view) {
       arguments.check = CheckPass::SKIP;
       arguments.given.push_back("--no-check");
       return std::string();
     }},
    {"--strict", "", "build, check: warnings fail like errors",
     [](Arguments& arguments, std::string_view) {
       arguments.warnings = Warnings::FAIL;
       arguments.given.push_back("--strict");
       return std::string();
     }},
    {"--force", "", "extract: replace an existing DIR/show.tds",
     [](Arguments& arguments, std::string_view) {
       arguments.force = true;
       arguments.given.push_back("--force");
       return std::string();
     }},
};

const std::span<const engine::Option<Arguments>> dat_options = option_rows;

const char* const USAGE_LINE = "usage: tundra-dat COMMAND [ARGUMENTS] [OPTIONS]\n";

// Prints every diagnostic and a count; returns the exit status they call for.
int report(const Diagnostics& diagnostics, FILE* err, Warnings warnings_do = Warnings::PASS) {
  for (const Diagnostic& diagnostic : diagnostics.items)
    std::fprintf(err, "%s\n", format(diagnostic).c_str());
  int errors = diagnostics.error_count(), warnings = diagnostics.warning_count();
  if (errors + warnings > 0)
    std::fprintf(err, "%d error%s, %d warning%s\n", errors, errors == 1 ? "" : "s", warnings,
                 warnings == 1 ? "" : "s");
  return errors > 0 || (warnings_do == Warnings::FAIL && warnings > 0) ? 1 : 0;
}

// What a command printed reached its reader: stdio holds text back, so a full disk or a closed
// pipe shows only at the flush.
int finish_output(int status, FILE* out, FILE* err) {
  return engine::finish_output(out, err, PROGRAM, status);
}

std::optional<Container> load(const std::string& path, FILE* err) {
  std::string error;
  std::optional<Bytes> bytes = read_file(path, error);
  if (!bytes) {
    std::fprintf(err, "%s: error: cannot read: %s\n", printable(path).c_str(), error.c_str());
    return std::nullopt;
  }
  return read_data_file(std::move(*bytes), path);
}

// Writes `bytes` to `path`, or to `out` when the path is '-'.
int write_output(const std::string& path, const Bytes& bytes, FILE* out, FILE* err) {
  std::string error;
  if (path == "-") {
    if (std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size() && std::fflush(out) == 0)
      return 0;
    std::fprintf(err, "standard output: error: cannot write\n");
    return 1;
  }
  if (write_file(path, bytes, error)) return 0;
  std::fprintf(err, "%s: error: cannot write: %s\n", printable(path).c_str(), error.c_str());
  return 1;
}

// "intro.dat: 5 chunks, 20480 bytes, END at frame 4990 (2:29.70)"
std::string build_summary(const std::string& path, const Bytes& data_file,
                          const ScriptSummary& script) {
  size_t chunks = read_data_file(data_file, path).chunks.size();
  std::string end =
      script.ends ? format_text("END at frame %lld (%s)", static_cast<long long>(script.end_frame),
                                format_time(script.end_frame).c_str())
                  : std::string("no END");
  return format_text("%s: %zu chunk%s, %zu bytes, %s\n", path == "-" ? "-" : path.c_str(), chunks,
                     chunks == 1 ? "" : "s", data_file.size(), end.c_str());
}

int build(const Arguments& args, FILE* out, FILE* err) {
  const std::string& source = args.positional[0];
  std::string output =
      args.output.value_or(std::filesystem::path(source).replace_extension(".dat").string());
  if (output == source) {
    std::fprintf(err, "%s: error: the data file would replace the source; name it with -o\n",
                 printable(source).c_str());
    return 1;
  }
  BuiltShow built = build_show(source, output, args.check);
  if (report(built.diagnostics, err, args.warnings) != 0) return 1;
  if (write_output(output, built.data_file, out, err) != 0) return 1;
  // With the data file on standard output, the summary goes with the messages.
  std::fputs(build_summary(output, built.data_file, built.summary).c_str(),
             output == "-" ? err : out);
  return output == "-" ? 0 : finish_output(0, out, err);
}

int font(const Arguments& args, FILE* out, FILE* err) {
  const std::string& path = args.positional[0];
  std::string error;
  std::optional<Bytes> art = read_file(path, error);
  if (!art) {
    std::fprintf(err, "%s: error: cannot read: %s\n", printable(path).c_str(), error.c_str());
    return 1;
  }
  Diagnostics diagnostics;
  std::optional<Bytes> payload =
      compile_font_art(std::string(art->begin(), art->end()), path, diagnostics);
  if (report(diagnostics, err) != 0 || !payload) return 1;
  return write_output(*args.output, *payload, out, err);
}

int list(const Arguments& args, FILE* out, FILE* err) {
  std::optional<Container> container = load(args.positional[0], err);
  if (!container) return 1;
  std::fputs(list_chunks(*container).c_str(), out);
  return finish_output(report(container->diagnostics, err), out, err);
}

int disasm(const Arguments& args, FILE* out, FILE* err) {
  std::optional<Container> container = load(args.positional[0], err);
  if (!container) return 1;
  Disassembly disassembly = disassemble(*container);
  int status = write_output(args.output.value_or("-"),
                            Bytes(disassembly.show.begin(), disassembly.show.end()), out, err);
  return report(disassembly.diagnostics, err) | status;
}

int extract(const Arguments& args, FILE* out, FILE* err) {
  // The show written there may since have been edited: it is replaced only when asked.
  const std::string show = (std::filesystem::path(args.positional[1]) / "show.tds").string();
  std::error_code ignored;
  if (!args.force && std::filesystem::symlink_status(show, ignored).type() !=
                         std::filesystem::file_type::not_found) {
    std::fprintf(err, "%s: error: already exists; --force replaces it\n", printable(show).c_str());
    return 1;
  }
  std::optional<Container> container = load(args.positional[0], err);
  if (!container) return 1;
  Extraction extraction = extract_chunks(*container, args.positional[1]);
  for (const std::string& path : extraction.written) std::fprintf(out, "%s\n", path.c_str());
  return finish_output(report(extraction.diagnostics, err), out, err);
}

int check(const Arguments& args, FILE*, FILE* err) {
  const std::string& path = args.positional[0];
  if (path.ends_with(".tds")) return report(build_show(path, path).diagnostics, err, args.warnings);
  std::optional<Container> container = load(path, err);
  if (!container) return 1;
  return report(check_show(*container).diagnostics, err, args.warnings);
}

int classes(const Arguments&, FILE* out, FILE* err) {
  for (size_t id = 0; id < fx::fx_classes.size(); ++id) {
    const fx::FxClass& info = *fx::fx_classes[id];
    std::fprintf(out, "%2zu %-9s %s\n", id, std::string(info.name).c_str(),
                 std::string(info.summary).c_str());
    for (const fx::ParamInfo& param : info.params) {
      std::fprintf(out, "     %-12s 0x%02X  %-11s  %s\n", std::string(param.name).c_str(), param.id,
                   std::string(fx::describe(param.kind)).c_str(),
                   std::string(param.meaning).c_str());
      std::string limits = fx::describe_limits(info, param);
      if (!limits.empty()) std::fprintf(out, "%37s%s\n", "", limits.c_str());
    }
    std::string painted = fx::describe_painted(info);
    if (!painted.empty()) std::fprintf(out, "     %s\n", painted.c_str());
  }
  return finish_output(0, out, err);
}

enum class Output { NONE, OPTIONAL, REQUIRED };  // how a command takes -o

struct Command {
  std::string_view name;
  std::string_view operands;  // as the usage names them, space-separated
  Output output;
  std::string_view output_name;  // -o's value in the usage: "OUT.dat"
  std::string_view switches;     // the other options it takes, space-separated
  std::string_view help;         // '\n' begins a continuation line
  int (*run)(const Arguments& args, FILE* out, FILE* err);
};

constexpr Command commands[] = {
    {"build", "SHOW.tds", Output::OPTIONAL, "OUT.dat", "--no-check --strict",
     "compile a show into OUT.dat (default: SHOW.dat beside the source)\n"
     "and print its chunks, bytes and length; the check runs unless\n"
     "--no-check, and --strict counts its warnings as errors",
     build},
    {"font", "GLYPHS.txt", Output::REQUIRED, "OUT.font", "", "compile font art into a FONT payload",
     font},
    {"list", "FILE.dat", Output::NONE, "", "", "one line a chunk", list},
    {"disasm", "FILE.dat", Output::OPTIONAL, "OUT.tds", "",
     "the file as a show, its chunks named after their numbers", disasm},
    {"extract", "FILE.dat DIR", Output::NONE, "", "--force",
     "every chunk as a file, and DIR/show.tds that rebuilds FILE.dat;\n"
     "an existing DIR/show.tds is replaced only with --force",
     extract},
    {"check", "FILE.dat|SHOW.tds", Output::NONE, "", "--strict",
     "the static check of a data file or of a show", check},
    {"classes", "", Output::NONE, "", "", "the effect classes and their parameters", classes},
};

std::vector<std::string_view> words(std::string_view text) {
  std::vector<std::string_view> found;
  for (size_t at = 0; at < text.size();) {
    size_t end = std::min(text.find(' ', at), text.size());
    if (end > at) found.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return found;
}

std::string synopsis(const Command& command) {
  std::string text(command.name);
  if (!command.operands.empty()) text += " " + std::string(command.operands);
  std::string output = "-o " + std::string(command.output_name);
  if (command.output == Output::REQUIRED) text += " " + output;
  if (command.output == Output::OPTIONAL) text += " [" + output + "]";
  for (std::string_view option : words(command.switches)) text += " [" + std::string(option) + "]";
  return text;
}

std::string command_usage(const Command& command) {
  return "usage: tundra-dat " + synopsis(command) + "\n";
}

bool takes_option(const Command& command, std::string_view option) {
  if (option == "-o") return command.output != Output::NONE;
  for (std::string_view word : words(command.switches))
    if (word == option) return true;
  return false;
}

void add_command_help(std::string& text, const std::string& synopsis, std::string_view help) {
  text += "  " + synopsis + "\n";
  for (size_t start = 0;;) {
    size_t end = help.find('\n', start);
    text += "        " + std::string(help.substr(start, end - start)) + "\n";
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
}

std::string help_text(std::span<const OuterCommand> outer) {
  std::string text = std::string(USAGE_LINE) +
                     "\nBuilds, checks, takes apart and plays Tundra shows.\n\nCommands:\n";
  for (const Command& command : commands) add_command_help(text, synopsis(command), command.help);
  std::vector<engine::OptionText> options = engine::option_texts(dat_options);
  for (const OuterCommand& command : outer) {
    std::string synopsis = std::string(command.name) + " " + std::string(command.operands);
    for (const engine::OptionText& option : command.options)
      synopsis += " [" + std::string(option.name) +
                  (option.value.empty() ? "" : " " + std::string(option.value)) + "]";
    add_command_help(text, synopsis, command.help);
    options.insert(options.end(), command.options.begin(), command.options.end());
  }
  return text + "\nOptions:\n" + engine::format_options(options) +
         "\nMessages go to standard error as FILE:LINE:COLUMN: error|warning: TEXT, ending\n"
         "with a count.\n"
         "\nExit status: 0 done (warnings alone do not fail, unless --strict); 1 errors in\n"
         "the input, or a file that cannot be read or written; 2 a bad command line.\n";
}

// The command a command line names, once it asks for no help and holds no mistake.
int run_command(const engine::Arguments& arguments, Arguments& parsed,
                std::span<const OuterCommand> outer, FILE* out, FILE* err) {
  if (arguments.operands.empty())
    return engine::report_usage_error(err, PROGRAM, "no command given", USAGE_LINE);
  const std::string& name = arguments.operands.front();
  if (name == "help") {
    std::fputs(help_text(outer).c_str(), out);
    return finish_output(0, out, err);
  }
  for (const Command& command : commands) {
    if (name != command.name) continue;
    parsed.positional.assign(arguments.operands.begin() + 1, arguments.operands.end());
    const std::string usage = command_usage(command);
    for (std::string_view option : parsed.given)
      if (!takes_option(command, option))
        return engine::report_usage_error(err, PROGRAM,
                                          name + " takes no option " + std::string(option), usage);
    const size_t wanted = words(command.operands).size();
    if (parsed.positional.size() > wanted)
      return engine::report_usage_error(
          err, PROGRAM, name + ": unexpected argument '" + parsed.positional[wanted] + "'", usage);
    if (parsed.positional.size() < wanted)
      return engine::report_usage_error(err, PROGRAM,
                                        name + " needs " + std::string(command.operands), usage);
    if (command.output == Output::REQUIRED && !parsed.output)
      return engine::report_usage_error(err, PROGRAM, name + " needs -o", usage);
    return command.run(parsed, out, err);
  }
  return engine::report_usage_error(err, PROGRAM, "unknown command '" + name + "'", USAGE_LINE);
}

}  // namespace

std::vector<engine::OptionText> dat_option_texts() {
  return engine::option_texts(dat_options);
}

std::vector<std::string_view> command_names() {
  std::vector<std::string_view> names;
  for (const Command& command : commands) names.push_back(command.name);
  return names;
}

int run_tool(const std::vector<std::string>& args, FILE* out, FILE* err,
             std::span<const OuterCommand> outer) {
  for (const OuterCommand& command : outer)
    if (!args.empty() && args.front() == command.name)
      return command.run(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
  Arguments parsed;
  engine::Arguments arguments = engine::parse_arguments(dat_options, args, parsed);
  const engine::ProgramTexts program{PROGRAM, [&] { return help_text(outer); }, USAGE_LINE};
  return engine::run(arguments, program, out, err,
                     [&] { return run_command(arguments, parsed, outer, out, err); });
}

}  // namespace tools
