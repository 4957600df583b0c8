// The show language's tokens.
#include "tools/dat/lexer.h"

namespace tools {
namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

bool ends_word(char c) {
  return is_blank(c) || c == ',' || c == '=' || c == '"' || c == '#';
}

}  // namespace

LexedLine lex_line(const std::string& line) {
  LexedLine out;
  size_t i = 0;
  size_t code_end = line.size();
  while (i < line.size()) {
    char c = line[i];
    int column = static_cast<int>(i) + 1;
    if (is_blank(c)) {
      ++i;
    } else if (c == '#') {
      code_end = i;
      break;
    } else if (c == ',' || c == '=') {
      out.tokens.push_back(
          {c == ',' ? TokenKind::COMMA : TokenKind::EQUALS, std::string(1, c), column});
      ++i;
    } else if (c == '"') {
      Token token{TokenKind::STRING, {}, column};
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char s = line[i];
        if (s == '"') {
          closed = true;
          ++i;
          break;
        }
        if (s == '\\') {
          if (i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
            token.text += line[i + 1];
            i += 2;
            continue;
          }
          out.error = "unknown escape '" + line.substr(i, 2) + "' in a string (only \\\" and \\\\)";
          out.error_column = static_cast<int>(i) + 1;
          return out;
        }
        token.text += s;
        ++i;
      }
      if (!closed) {
        out.error = "the string " + line.substr(column - 1) + " is not closed";
        out.error_column = column;
        return out;
      }
      out.tokens.push_back(std::move(token));
    } else {
      size_t start = i;
      while (i < line.size() && !ends_word(line[i])) ++i;
      out.tokens.push_back({TokenKind::WORD, line.substr(start, i - start), column});
    }
  }
  size_t first = line.find_first_not_of(" \t\r");
  size_t last = line.find_last_not_of(" \t\r", code_end == 0 ? 0 : code_end - 1);
  if (first != std::string::npos && first < code_end && last != std::string::npos)
    out.code = line.substr(first, last - first + 1);
  return out;
}

std::string quoted(const Token* token) {
  if (token == nullptr) return "end of line";
  if (token->kind == TokenKind::STRING) return "the string \"" + token->text + "\"";
  return "'" + token->text + "'";
}

}  // namespace tools
