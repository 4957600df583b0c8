// The subcommands: build, font, list, disasm, extract, check.
#include "tools/dat/cli.h"

#include <optional>

#include "fx/fx_info.h"
#include "tools/dat/assembler.h"
#include "tools/dat/checker.h"
#include "tools/dat/container.h"
#include "tools/dat/disassembler.h"
#include "tools/dat/files.h"
#include "tools/dat/font_art.h"
#include "tools/dat/listing.h"

namespace tools {
namespace {

const char* const USAGE =
    "usage: tundra-dat COMMAND ...\n"
    "  build SHOW.tds -o OUT.dat [--no-check] [--strict]\n"
    "                           compile a show; the check runs unless --no-check,\n"
    "                           and --strict counts its warnings as errors\n"
    "  font GLYPHS.txt -o OUT.font\n"
    "                           compile font art into a FONT payload\n"
    "  list FILE.dat            one line a chunk\n"
    "  disasm FILE.dat [-o OUT.tds]\n"
    "                           the file as a show, its chunks named after their numbers\n"
    "  extract FILE.dat DIR     every chunk as a file, and DIR/show.tds that rebuilds FILE.dat\n"
    "  check FILE.dat|SHOW.tds  the static check of a data file or of a show\n"
    "  classes                  the effect classes and their parameters\n";

enum class CheckPass { RUN, SKIP };
enum class Warnings { PASS, FAIL };  // --strict: warnings fail like errors

struct Arguments {
  std::vector<std::string> positional;
  std::optional<std::string> output;
  CheckPass check = CheckPass::RUN;
  Warnings warnings = Warnings::PASS;
  std::string error;
};

Arguments parse(const std::vector<std::string>& args) {
  Arguments parsed;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-o") {
      if (i + 1 == args.size())
        parsed.error = "-o needs a file name";
      else
        parsed.output = args[++i];
    } else if (arg == "--no-check") {
      parsed.check = CheckPass::SKIP;
    } else if (arg == "--strict") {
      parsed.warnings = Warnings::FAIL;
    } else if (arg.size() > 1 && arg[0] == '-') {
      parsed.error = "unknown option '" + arg + "'";
    } else {
      parsed.positional.push_back(arg);
    }
  }
  return parsed;
}

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

std::optional<Container> load(const std::string& path, FILE* err) {
  std::string error;
  std::optional<Bytes> bytes = read_file(path, error);
  if (!bytes) {
    std::fprintf(err, "%s: error: cannot read: %s\n", path.c_str(), error.c_str());
    return std::nullopt;
  }
  return read_container(std::move(*bytes), path);
}

int write_output(const std::string& path, const Bytes& bytes, FILE* err) {
  std::string error;
  if (write_file(path, bytes, error)) return 0;
  std::fprintf(err, "%s: error: cannot write: %s\n", path.c_str(), error.c_str());
  return 1;
}

// The check of a show source: compiled in memory, checked with its source map.
Diagnostics compile_and_check(const std::string& source, const std::string& name, CheckPass pass,
                              Bytes* data_file) {
  CompiledShow show = compile_show(source);
  Diagnostics diagnostics = show.diagnostics;
  if (diagnostics.has_errors()) return diagnostics;
  if (pass == CheckPass::RUN)
    diagnostics.append(
        check_show(read_container(show.data_file, name), &show.source_map).diagnostics);
  if (data_file != nullptr) *data_file = std::move(show.data_file);
  return diagnostics;
}

int build(const Arguments& args, FILE*, FILE* err) {
  if (args.positional.size() != 1 || !args.output) {
    std::fputs(USAGE, err);
    return 1;
  }
  Bytes data_file;
  Diagnostics diagnostics =
      compile_and_check(args.positional[0], *args.output, args.check, &data_file);
  if (report(diagnostics, err, args.warnings) != 0) return 1;
  return write_output(*args.output, data_file, err);
}

int font(const Arguments& args, FILE*, FILE* err) {
  if (args.positional.size() != 1 || !args.output) {
    std::fputs(USAGE, err);
    return 1;
  }
  const std::string& path = args.positional[0];
  std::string error;
  std::optional<Bytes> art = read_file(path, error);
  if (!art) {
    std::fprintf(err, "%s: error: cannot read: %s\n", path.c_str(), error.c_str());
    return 1;
  }
  Diagnostics diagnostics;
  std::optional<Bytes> payload =
      compile_font_art(std::string(art->begin(), art->end()), path, diagnostics);
  if (report(diagnostics, err) != 0 || !payload) return 1;
  return write_output(*args.output, *payload, err);
}

int list(const Arguments& args, FILE* out, FILE* err) {
  if (args.positional.size() != 1) {
    std::fputs(USAGE, err);
    return 1;
  }
  std::optional<Container> container = load(args.positional[0], err);
  if (!container) return 1;
  std::fputs(list_chunks(*container).c_str(), out);
  return report(container->diagnostics, err);
}

int disasm(const Arguments& args, FILE* out, FILE* err) {
  if (args.positional.size() != 1) {
    std::fputs(USAGE, err);
    return 1;
  }
  std::optional<Container> container = load(args.positional[0], err);
  if (!container) return 1;
  Disassembly disassembly = disassemble(*container);
  int status = 0;
  if (args.output)
    status =
        write_output(*args.output, Bytes(disassembly.show.begin(), disassembly.show.end()), err);
  else
    std::fputs(disassembly.show.c_str(), out);
  return report(disassembly.diagnostics, err) | status;
}

int extract(const Arguments& args, FILE* out, FILE* err) {
  if (args.positional.size() != 2) {
    std::fputs(USAGE, err);
    return 1;
  }
  std::optional<Container> container = load(args.positional[0], err);
  if (!container) return 1;
  Extraction extraction = extract_chunks(*container, args.positional[1]);
  for (const std::string& path : extraction.written) std::fprintf(out, "%s\n", path.c_str());
  return report(extraction.diagnostics, err);
}

int check(const Arguments& args, FILE*, FILE* err) {
  if (args.positional.size() != 1) {
    std::fputs(USAGE, err);
    return 1;
  }
  const std::string& path = args.positional[0];
  if (path.ends_with(".tds"))
    return report(compile_and_check(path, path, CheckPass::RUN, nullptr), err, args.warnings);
  std::optional<Container> container = load(path, err);
  if (!container) return 1;
  return report(check_show(*container).diagnostics, err, args.warnings);
}

int classes(const Arguments& args, FILE* out, FILE* err) {
  if (!args.positional.empty()) {
    std::fputs(USAGE, err);
    return 1;
  }
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
  return 0;
}

struct Command {
  const char* name;
  int (*run)(const Arguments& args, FILE* out, FILE* err);
};

constexpr Command commands[] = {
    {"build", build},     {"font", font},   {"list", list},       {"disasm", disasm},
    {"extract", extract}, {"check", check}, {"classes", classes},
};

}  // namespace

int run_tool(const std::vector<std::string>& args, FILE* out, FILE* err) {
  if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
    std::fputs(USAGE, args.empty() ? err : out);
    return args.empty() ? 1 : 0;
  }
  Arguments parsed = parse(args);
  for (const Command& command : commands) {
    if (args[0] != command.name) continue;
    if (!parsed.error.empty()) {
      std::fprintf(err, "tundra-dat %s: %s\n%s", command.name, parsed.error.c_str(), USAGE);
      return 1;
    }
    return command.run(parsed, out, err);
  }
  std::fprintf(err, "tundra-dat: unknown command '%s'\n%s", args[0].c_str(), USAGE);
  return 1;
}

}  // namespace tools
