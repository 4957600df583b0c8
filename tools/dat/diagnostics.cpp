// Formatting and counting diagnostics.
#include "tools/dat/diagnostics.h"

namespace tools {

namespace {

// The length of the UTF-8 character at the start of `text` that a terminal may show, or 0 for
// a byte that must be escaped: a control other than a tab, a stray or overlong byte, a surrogate, a
// C1 control or a direction override.
size_t shown_length(std::string_view text) {
  const auto byte = [&](size_t i) { return i < text.size() ? uint8_t(text[i]) : uint8_t{0}; };
  const uint8_t lead = byte(0);
  if ((lead >= 0x20 && lead < 0x7F) || lead == '\t') return 1;  // a tab only indents
  // The lead byte gives the length and the first bits; the least code point of that length
  // tells an overlong form.
  const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
  if (length == 0) return 0;
  const uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
  uint32_t code = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = code << 6 | (byte(i) & 0x3F);
  }
  const bool control =
      code < 0xA0 || (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
  const bool valid = code >= least && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
  return valid && !control ? length : 0;
}

}  // namespace

std::string printable(std::string_view text) {
  std::string shown;
  for (size_t at = 0; at < text.size();) {
    if (size_t length = shown_length(text.substr(at))) {
      shown.append(text.substr(at, length));
      at += length;
      continue;
    }
    const uint8_t byte = static_cast<uint8_t>(text[at++]);
    const char digits[] = "0123456789ABCDEF";
    shown += {'\\', 'x', digits[byte >> 4], digits[byte & 15]};
  }
  return shown;
}

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
    return printable(text);
  }
  if (diagnostic.byte >= 0) text += ": byte " + std::to_string(diagnostic.byte);
  text += diagnostic.severity == Severity::ERROR ? ": error: " : ": warning: ";
  text += diagnostic.message;
  if (!diagnostic.context.empty()) text += " (" + diagnostic.context + ")";
  return printable(text);
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
