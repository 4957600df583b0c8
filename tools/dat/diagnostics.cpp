// Formatting and counting diagnostics.
#include "tools/dat/diagnostics.h"

namespace tools {

std::string format(const Diagnostic& diagnostic) {
  std::string text = diagnostic.file;
  if (diagnostic.line > 0) {
    text += ":" + std::to_string(diagnostic.line) + ":" + std::to_string(diagnostic.column);
    text += diagnostic.severity == Severity::ERROR ? ": error: " : ": warning: ";
    text += diagnostic.message;
    if (diagnostic.byte >= 0) {
      text += " (byte " + std::to_string(diagnostic.byte);
      if (!diagnostic.context.empty()) text += ": " + diagnostic.context;
      text += ")";
    }
    return text;
  }
  if (diagnostic.byte >= 0) text += ": byte " + std::to_string(diagnostic.byte);
  text += diagnostic.severity == Severity::ERROR ? ": error: " : ": warning: ";
  text += diagnostic.message;
  if (!diagnostic.context.empty()) text += " (" + diagnostic.context + ")";
  return text;
}

void Diagnostics::error(std::string file, int line, int column, std::string message) {
  items.push_back({Severity::ERROR, std::move(file), line, column, -1, std::move(message), {}});
}

void Diagnostics::warning(std::string file, int line, int column, std::string message) {
  items.push_back({Severity::WARNING, std::move(file), line, column, -1, std::move(message), {}});
}

void Diagnostics::append(const Diagnostics& more) {
  items.insert(items.end(), more.items.begin(), more.items.end());
}

int Diagnostics::error_count() const {
  int count = 0;
  for (const Diagnostic& item : items) count += item.severity == Severity::ERROR;
  return count;
}

int Diagnostics::warning_count() const {
  return static_cast<int>(items.size()) - error_count();
}

}  // namespace tools
