// Shows in tests: a temporary directory holding a few pictures, a text and a font, where show
// sources are written, compiled and checked, and tundra-dat run as a user would run it.
#pragma once

#include <string>
#include <vector>

#include "fixtures/datafile_builder.h"
#include "fixtures/process.h"
#include "support/show_harness.h"
#include "tools/dat/assembler.h"
#include "tools/dat/checker.h"
#include "tools/dat/cli.h"
#include "tools/dat/files.h"

namespace support {

// Three glyphs, a b c, 3 rows high, 3 and 2 and 3 wide. The first column of b and c is blank,
// as a font's must be after its first glyph.
inline const char* const ABC_ART =
    "; three glyphs\n"
    "glyph a\n"
    ".#.\n"
    "#.#\n"
    "###\n"
    "glyph b\n"
    ".#\n"
    ".#\n"
    ".#\n"
    "glyph c\n"
    ".##\n"
    ".#.\n"
    ".##\n";

struct ToolRun {
  int status = 0;
  std::string out;
  std::string err;
};

struct ShowDir {
  TempDir dir;

  ShowDir() {
    dir.write("white.png", make_png(160, 50, Rgb{255, 255, 255}));
    dir.write("small.png", make_png(64, 64, Rgb{255, 0, 0}));
    dir.write("texture.png", make_png(256, 256, Rgb{0, 0, 255}, PngKind::PALETTE));
    dir.write("tall.png", make_png(160, 120, Rgb{0, 255, 0}));
    dir.write("wide.png", make_png(320, 50, Rgb{0, 255, 0}));
    dir.write("grey.png", make_png(160, 50, Rgb{9, 9, 9}, PngKind::GREY));
    write("hello.txt", "hello");
    write("abc.txt", ABC_ART);
  }

  std::string path(const std::string& name) const { return dir.path + "/" + name; }

  std::string write(const std::string& name, const std::string& text) const {
    return dir.write(name, Bytes(text.begin(), text.end()));
  }

  tools::CompiledShow compile(const std::string& source, const std::string& name = "show.tds") {
    return tools::compile_show(write(name, source));
  }

  // Diagnostics as tundra-dat prints them, file names relative to the directory.
  std::vector<std::string> lines(const tools::Diagnostics& diagnostics) const {
    std::vector<std::string> lines;
    for (const tools::Diagnostic& diagnostic : diagnostics.items)
      lines.push_back(strip_all(format(diagnostic)));
    return lines;
  }

  // Compiles `source` and, when it compiles, checks it: every finding, in order.
  std::vector<std::string> findings(const std::string& source) {
    tools::CompiledShow show = compile(source);
    tools::Diagnostics all = show.diagnostics;
    if (!all.has_errors())
      all.append(
          tools::check_show(tools::read_data_file(show.data_file, "show.dat"), &show.source_map)
              .diagnostics);
    return lines(all);
  }

  ToolRun run(const std::vector<std::string>& args) const {
    CapturedStream out, err;
    ToolRun result;
    result.status = tools::run_tool(args, out.file, err.file);
    result.out = strip_all(out.text());
    result.err = strip_all(err.text());
    return result;
  }

  // A program run in the directory as a user runs it, from a shell command line.
  ToolRun run_program(const std::string& command) const {
    ToolRun result;
    result.out = run_command(
        "cd " + shell_quote(dir.path) + " && " + command + " </dev/null 2>.stderr", &result.status);
    result.err = support::read_file(path(".stderr"));
    return result;
  }

  Bytes read(const std::string& name) const {
    std::string error;
    return tools::read_file(path(name), error).value_or(Bytes{});
  }

 private:
  std::string strip_all(std::string text) const {
    std::string prefix = dir.path + "/";
    for (size_t at; (at = text.find(prefix)) != std::string::npos;) text.erase(at, prefix.size());
    return text;
  }
};

}  // namespace support
