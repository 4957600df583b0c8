// Errors and warnings as values: each carries where it happened, so that one run reports all.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

enum class Severity : uint8_t { WARNING, ERROR };

struct Diagnostic {
  Severity severity = Severity::ERROR;
  std::string file;   // the source or data file the position refers to
  int line = 0;       // 1-based; 0 when the position is a byte offset in a data file
  int column = 0;     // 1-based
  int64_t byte = -1;  // script byte of the instruction, for checks; -1 when none
  std::string message;
  std::string context;  // the offending statement or instruction, shown after the message
};

// "file:line:column: error: message", "file: byte 23: warning: message (context)", made
// printable: names and excerpts come from files, and a file may hold any byte.
std::string format(const Diagnostic& diagnostic);

// `text` as it may be put on a terminal: control characters, bytes that are not UTF-8 and the
// characters that reorder a line's direction become \xNN escapes (a tab stays), so that no byte
// from a file moves the cursor, clears the screen or hides what follows it. Other letters, of
// any script, are left alone.
std::string printable(std::string_view text);

struct Diagnostics {
  std::vector<Diagnostic> items;

  void error(std::string file, int line, int column, std::string message);
  void warning(std::string file, int line, int column, std::string message);
  void add(Diagnostic diagnostic) { items.push_back(std::move(diagnostic)); }
  void append(const Diagnostics& more);
  int error_count() const;
  int warning_count() const;
  bool has_errors() const { return error_count() > 0; }
};

}  // namespace tools
