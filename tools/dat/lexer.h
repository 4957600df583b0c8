// Splits one line of a show into words, strings and the punctuation "," and "=".
#pragma once

#include <string>
#include <vector>

namespace tools {

enum class TokenKind { WORD, STRING, COMMA, EQUALS };

struct Token {
  TokenKind kind = TokenKind::WORD;
  std::string text;  // a string's contents with its escapes resolved
  int column = 0;    // 1-based column of the token's first character
};

struct LexedLine {
  std::vector<Token> tokens;
  std::string code;   // the line without its comment and surrounding blanks
  std::string error;  // empty when the line could be split
  int error_column = 0;
};

// A word is a run of characters other than blanks, ',', '=', '"' and '#'; '#' outside a string
// starts a comment that runs to the end of the line. Strings are in double quotes and know two
// escapes, \" and \\.
LexedLine lex_line(const std::string& line);

// The word as written in a source, for messages: "'texture'", or "end of line" when absent.
std::string quoted(const Token* token);

}  // namespace tools
