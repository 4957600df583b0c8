// Errors and warnings as values: each carries where it happened, so that one run reports all.
#pragma once

#include <cstdint>
#include <string>
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

// "file:line:column: error: message", "file: byte 23: warning: message (context)".
std::string format(const Diagnostic& diagnostic);

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
