// Compiling shows: includes are expanded, chunk declarations numbered, and every statement
// turned into one instruction whose operands are written as the opcode table lays them out.
#include "tools/dat/assembler.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

#include "base/fatal.h"
#include "fx/fx_info.h"
#include "tools/dat/files.h"
#include "tools/dat/font_art.h"
#include "tools/dat/grey_picture.h"
#include "tools/dat/lexer.h"
#include "tools/dat/suggest.h"
#include "tools/dat/timecode.h"

namespace tools {
namespace {

using datafile::ChunkKind;
using engine::format_text;
using engine::OpcodeInfo;
using engine::OperandKind;

inline constexpr int MAX_INCLUDE_DEPTH = 32;
// A file included twice is read twice, so a chain of small files that each include the next
// twice doubles at every step: thirty of them would be read a billion times. The show as
// expanded is bounded instead, by the source it amounts to and by the files read for it; our own
// show expands to about 20 KB read from 13 files.
inline constexpr size_t MAX_EXPANDED_BYTES = size_t{8} << 20;
inline constexpr int MAX_SOURCE_READS = 10000;
inline constexpr int64_t LAST_FRAME = 65535;  // a wait's frame is 16 bits

const std::set<std::string> KEYWORDS = {
    "include", "image", "text",  "font", "buffer", "view",  "fx",   "set",
    "start",   "stop",  "state", "skip", "wait",   "at",    "end",  "bytes",
    "as",      "size",  "of",    "on",   "raw",    "chunk", "grey", "music",
};

// The words a statement can begin with, for "did you mean" (the mnemonics are added to them).
constexpr std::string_view STATEMENT_WORDS[] = {
    "include", "image", "text", "font", "buffer", "view", "fx",    "set",   "start",
    "stop",    "state", "skip", "wait", "at",     "end",  "bytes", "music",
};

// A data file begins with its DEMO chunk: the tag, then a big-endian length the file holds. No
// text does, since its length would be four letters' worth, hundreds of megabytes.
bool is_data_file(const Bytes& bytes) {
  if (bytes.size() < datafile::HEADER_BYTES || std::memcmp(bytes.data(), "DEMO", 4) != 0)
    return false;
  const uint32_t length = uint32_t{bytes[4]} << 24 | uint32_t{bytes[5]} << 16 |
                          uint32_t{bytes[6]} << 8 | uint32_t{bytes[7]};
  return length <= bytes.size() - datafile::HEADER_BYTES;
}

struct Line {
  std::string file;
  int number = 0;
  std::string code;  // without comment
  std::vector<Token> tokens;
  int end_column = 1;  // just past the code, for "end of line" errors
  // A line that could not be read (or included) carries its error, reported in its turn.
  std::string error;
  int error_column = 0;
};

enum class NameKind { CHUNK, BUFFER, SLOT };

struct Name {
  NameKind kind;
  uint32_t number;
  std::string where;  // "show.tds:4"
  ChunkKind chunk_kind = ChunkKind::IMAGE;
};

std::string describe(const Name& name) {
  switch (name.kind) {
    case NameKind::CHUNK:
      return format_text("%s chunk %u", datafile::kind_name(name.chunk_kind), name.number);
    case NameKind::BUFFER:
      return format_text("buffer %u", name.number);
    case NameKind::SLOT:
      return format_text("fx %u", name.number);
  }
  return "?";
}

const char* noun(NameKind kind) {
  return kind == NameKind::CHUNK ? "chunk" : kind == NameKind::BUFFER ? "buffer" : "fx slot";
}

bool is_name(const std::string& word) {
  if (word.empty() || !(std::isalpha(static_cast<unsigned char>(word[0])) || word[0] == '_'))
    return false;
  return std::all_of(word.begin(), word.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  });
}

bool is_mnemonic(const std::string& word) {
  return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
    return std::isupper(static_cast<unsigned char>(c)) != 0;
  }) && engine::find_opcode(word.c_str()) != nullptr;
}

// One statement's tokens, read left to right. The first error ends the statement: it is
// recorded and every later call fails quietly.
class Statement {
 public:
  Statement(const Line& line, Diagnostics& diagnostics) : line_(line), diagnostics_(diagnostics) {}

  const Line& line() const { return line_; }
  const Token* peek() const {
    return index_ < line_.tokens.size() ? &line_.tokens[index_] : nullptr;
  }
  bool failed() const { return failed_; }

  void fail(const Token* at, const std::string& message) {
    if (failed_) return;
    failed_ = true;
    diagnostics_.error(line_.file, line_.number, at ? at->column : line_.end_column, message);
  }

  // Ends the statement without a message: an earlier error already says what is wrong here.
  void fail_quietly() { failed_ = true; }

  const Token* next() { return index_ < line_.tokens.size() ? &line_.tokens[index_++] : nullptr; }

  // A word; `what` says what was expected, for the message.
  const Token* word(const std::string& what) {
    if (failed_) return nullptr;
    const Token* token = peek();
    if (token == nullptr || token->kind != TokenKind::WORD) {
      fail(token, "expected " + what + ", found " + quoted(token));
      return nullptr;
    }
    return next();
  }

  bool keyword(const std::string& keyword, const std::string& after) {
    if (failed_) return false;
    const Token* token = peek();
    if (token == nullptr || token->kind != TokenKind::WORD || token->text != keyword) {
      fail(token, "expected '" + keyword + "' " + after + ", found " + quoted(token));
      return false;
    }
    next();
    return true;
  }

  bool optional_keyword(const std::string& keyword) {
    const Token* token = peek();
    if (failed_ || token == nullptr || token->kind != TokenKind::WORD || token->text != keyword)
      return false;
    next();
    return true;
  }

  bool punctuation(TokenKind kind, const std::string& after) {
    if (failed_) return false;
    const Token* token = peek();
    if (token == nullptr || token->kind != kind) {
      fail(token, std::string("expected '") + (kind == TokenKind::COMMA ? "," : "=") + "' " +
                      after + ", found " + quoted(token));
      return false;
    }
    next();
    return true;
  }

  const Token* string(const std::string& what) {
    if (failed_) return nullptr;
    const Token* token = peek();
    if (token == nullptr || token->kind != TokenKind::STRING) {
      fail(token, "expected " + what + " in double quotes, found " + quoted(token));
      return nullptr;
    }
    return next();
  }

  bool finish() {
    if (failed_) return false;
    if (const Token* extra = peek()) {
      fail(extra, "unexpected " + quoted(extra) + " after the end of the statement");
      return false;
    }
    return true;
  }

 private:
  const Line& line_;
  Diagnostics& diagnostics_;
  size_t index_ = 0;
  bool failed_ = false;
};

// One instruction being put together: operand values and the tokens they were read from.
struct Operands {
  std::array<int64_t, engine::MAX_OPERANDS> values{};
  std::array<const Token*, engine::MAX_OPERANDS> tokens{};
  void set(int i, int64_t value, const Token* token) {
    values[i] = value;
    tokens[i] = token;
  }
};

struct DeclaredChunk {
  ChunkKind kind;
  Bytes payload;
};

class Assembler {
 public:
  explicit Assembler(CompiledShow& show) : show_(show), diagnostics_(show.diagnostics) {}

  // Chunk names are known everywhere, so the first pass numbers the declarations; the second
  // compiles every line in order, declarations included, so that messages come in order too.
  void run(const std::string& path) {
    std::vector<std::string> stack;
    read_source(path, nullptr, nullptr, stack);
    if (expansion_stopped_) {
      lines_.clear();
      if (stop_line_) compile(*stop_line_);
      return;
    }
    uint32_t number = 0;
    for (const Line& line : lines_)
      if (std::optional<ChunkKind> kind = declared_kind(line)) name_chunk(line, *kind, ++number);
    for (const Line& line : lines_) compile(line);
    const std::optional<SourceSpan>& music = show_.source_map.music;
    if (music && chunks_.size() + 2 > static_cast<size_t>(datafile::MAX_CHUNKS))
      diagnostics_.error(music->file, music->line, music->column,
                         format_text("one chunk too many: a data file holds at most %d, the "
                                     "script and the music among them",
                                     datafile::MAX_CHUNKS));
    if (diagnostics_.has_errors()) return;
    append_chunk(show_.data_file, "DEMO", script_);
    for (const DeclaredChunk& chunk : chunks_)
      append_chunk(show_.data_file, tag_of(chunk.kind), chunk.payload);
    // The music goes after every other chunk: a reader that stops at the tag it does not know
    // has loaded the whole show by then.
    if (music) append_chunk(show_.data_file, tag_of(ChunkKind::MUSIC), music_);
  }

 private:
  CompiledShow& show_;
  Diagnostics& diagnostics_;
  std::vector<Line> lines_;
  std::map<std::string, Name> names_;
  std::vector<DeclaredChunk> chunks_;                       // chunk i + 1
  std::array<std::optional<uint8_t>, 256> slot_classes_{};  // as of the statement compiled
  // Slots whose last fx statement was wrong: what is said of them later would only repeat it.
  std::array<bool, 256> broken_slots_{};
  Bytes script_;
  Bytes music_;                // the module named by the music statement, as its file holds it
  size_t expanded_bytes_ = 0;  // every source read so far, each include counted
  int source_reads_ = 0;
  bool expansion_stopped_ = false;  // past the limits: nothing more is read
  std::optional<Line> stop_line_;   // the include that went past them

  // ----- reading sources -----

  // Every file the show reads or tries to read, once, in the order they are first named.
  void note_file(const std::string& path) {
    if (std::find(show_.files.begin(), show_.files.end(), path) == show_.files.end())
      show_.files.push_back(path);
  }

  void read_source(const std::string& path, const Line* from, const Token* token,
                   std::vector<std::string>& stack) {
    auto problem = [&](const std::string& message) {
      if (from == nullptr) return diagnostics_.error(path, 0, 0, message);
      Line failed = *from;
      failed.error = message;
      failed.error_column = token->column;
      lines_.push_back(std::move(failed));
    };
    note_file(path);
    std::error_code ignored;
    std::string identity = std::filesystem::weakly_canonical(path, ignored).string();
    if (std::find(stack.begin(), stack.end(), identity) != stack.end()) {
      problem("'" + token->text + "' is already being read: a show cannot include itself");
      return;
    }
    if (static_cast<int>(stack.size()) >= MAX_INCLUDE_DEPTH) {
      problem(format_text("includes nest deeper than %d files", MAX_INCLUDE_DEPTH));
      return;
    }
    if (expansion_stopped_) return;
    std::string error;
    std::optional<Bytes> bytes = read_file(path, error);
    if (!bytes) {
      problem(from != nullptr ? "cannot read '" + token->text + "': " + error
                              : "cannot read the show: " + error);
      return;
    }
    if (is_data_file(*bytes)) {
      problem(std::string(from != nullptr ? "'" + token->text + "'" : "this") +
              " is a data file, not a show's source: it begins with a DEMO chunk (tundra-dat "
              "list, check, disasm and extract read data files)");
      return;
    }
    expanded_bytes_ += bytes->size();
    if (expanded_bytes_ > MAX_EXPANDED_BYTES || ++source_reads_ > MAX_SOURCE_READS) {
      // Said once, at the include that went past; what was read is not compiled, since it
      // would only repeat the same statements' findings thousands of times.
      expansion_stopped_ = true;
      problem(
          format_text("the show expands past %zu MiB of source or %d files read, counting "
                      "a file again each time it is included: reading stops here (does a "
                      "file include another more than once?)",
                      MAX_EXPANDED_BYTES >> 20, MAX_SOURCE_READS));
      if (from != nullptr) stop_line_ = lines_.back();
      return;
    }
    stack.push_back(identity);
    std::string text(bytes->begin(), bytes->end());
    int number = 0;
    for (size_t start = 0; start <= text.size();) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string raw = text.substr(start, end - start);
      start = end + 1;
      ++number;
      LexedLine lexed = lex_line(raw);
      if (!lexed.error.empty()) {
        lines_.push_back(Line{path, number, {}, {}, 1, lexed.error, lexed.error_column});
        continue;
      }
      if (lexed.tokens.empty()) continue;
      int end_column = lexed.tokens[0].column + static_cast<int>(lexed.code.size());
      Line line{path, number, lexed.code, std::move(lexed.tokens), end_column, {}, 0};
      if (line.tokens[0].kind == TokenKind::WORD && line.tokens[0].text == "include") {
        Diagnostics said;
        Statement statement(line, said);
        statement.next();
        const Token* name = statement.string("the name of the file to include");
        if (statement.finish()) {
          read_source(beside(path, name->text), &line, name, stack);
          if (expansion_stopped_) break;
        } else {
          line.error = said.items[0].message;
          line.error_column = said.items[0].column;
          lines_.push_back(std::move(line));
        }
        continue;
      }
      lines_.push_back(std::move(line));
    }
    stack.pop_back();
  }

  // ----- names -----

  // Binds `token`'s name, if it is a new name, to `name`; says what is wrong otherwise.
  void bind(Statement& statement, const Token* token, Name name) {
    if (statement.failed()) return;
    if (!is_name(token->text)) {
      statement.fail(token, quoted(token) +
                                " cannot be a name: names are letters, digits and _, and begin "
                                "with a letter or _");
      return;
    }
    if (KEYWORDS.contains(token->text)) {
      statement.fail(token, quoted(token) + " is a word of the language and cannot be a name");
      return;
    }
    auto [it, added] = names_.emplace(token->text, name);
    if (!added && (it->second.kind != name.kind || it->second.number != name.number))
      statement.fail(token, quoted(token) + " already names " + describe(it->second) + " (" +
                                it->second.where + ")");
  }

  // A buffer or fx slot given by number or by name.
  std::optional<int64_t> reference(Statement& statement, NameKind kind, const std::string& what) {
    const Token* token = statement.word(what);
    if (token == nullptr) return std::nullopt;
    if (std::optional<int64_t> number = parse_number(token->text)) return number;
    auto it = names_.find(token->text);
    if (it == names_.end()) {
      statement.fail(token, is_name(token->text)
                                ? std::string("unknown ") + noun(kind) + " " + quoted(token) +
                                      did_you_mean(token->text, names_of(kind))
                                : "expected " + what + ", found " + quoted(token));
      return std::nullopt;
    }
    if (it->second.kind != kind) {
      statement.fail(token,
                     quoted(token) + " names " + describe(it->second) + ", not a " + noun(kind));
      return std::nullopt;
    }
    return it->second.number;
  }

  // The number of a chunk given by name or as "chunk N".
  std::optional<int64_t> chunk_reference(Statement& statement, const Token* token) {
    if (token->text == "chunk") {
      const Token* number = statement.word("a chunk number after 'chunk'");
      if (number == nullptr) return std::nullopt;
      if (std::optional<int64_t> value = parse_number(number->text)) return value;
      statement.fail(number, quoted(number) + " is not a chunk number");
      return std::nullopt;
    }
    auto it = names_.find(token->text);
    if (it == names_.end()) {
      statement.fail(token, "unknown chunk " + quoted(token) +
                                did_you_mean(token->text, names_of(NameKind::CHUNK)));
      return std::nullopt;
    }
    if (it->second.kind != NameKind::CHUNK) {
      statement.fail(token, quoted(token) + " names " + describe(it->second) + ", not a chunk");
      return std::nullopt;
    }
    return it->second.number;
  }

  // The names bound so far to things of `kind`: the chunks' are all known from the start.
  std::vector<std::string_view> names_of(NameKind kind) const {
    std::vector<std::string_view> found;
    for (const auto& [name, named] : names_)
      if (named.kind == kind) found.push_back(name);
    return found;
  }

  // "as NAME" after a number: binds the name.
  void alias(Statement& statement, const Token* number_token, std::optional<int64_t> number,
             NameKind kind) {
    if (!statement.optional_keyword("as") || !number) return;
    const Token* name = statement.word("a name after 'as'");
    if (name == nullptr) return;
    if (!parse_number(number_token->text)) {
      statement.fail(number_token, "'as' names a number: write " +
                                       std::string(kind == NameKind::BUFFER ? "buffer" : "fx") +
                                       " 3 as " + name->text);
      return;
    }
    bind(statement, name, Name{kind, static_cast<uint32_t>(*number), where(statement.line())});
  }

  static std::string where(const Line& line) {
    return line.file + ":" + std::to_string(line.number);
  }

  // ----- chunk declarations -----

  static std::optional<ChunkKind> declared_kind(const Line& line) {
    if (!line.error.empty() || line.tokens[0].kind != TokenKind::WORD) return std::nullopt;
    const std::string& word = line.tokens[0].text;
    // A script is the file's first chunk, written by the show itself, never declared; the music
    // has a statement of its own (`music "FILE"`: one a show, and no name).
    for (const datafile::ChunkKindNames& row : datafile::chunk_kinds)
      if (row.kind != ChunkKind::SCRIPT && row.kind != ChunkKind::MUSIC && word == row.name)
        return row.kind;
    return std::nullopt;
  }

  // First pass: the name of chunk `number`, if the declaration gives a good new one. Whatever
  // is wrong is said by the second pass.
  void name_chunk(const Line& line, ChunkKind kind, uint32_t number) {
    if (line.tokens.size() < 2 || line.tokens[1].kind != TokenKind::WORD) return;
    const std::string& name = line.tokens[1].text;
    if (is_name(name) && !KEYWORDS.contains(name))
      names_.emplace(name, Name{NameKind::CHUNK, number, where(line), kind});
  }

  void declare_chunk(Statement& statement, ChunkKind kind) {
    const Line& line = statement.line();
    const Token& first = line.tokens[0];
    const Token* name = statement.word("a name for the " + first.text);
    const Token* path = statement.string("the " + first.text + "'s file");
    bool raw = kind != ChunkKind::IMAGE && statement.optional_keyword("raw");
    bool grey = kind == ChunkKind::IMAGE && statement.optional_keyword("grey");
    if (!statement.finish()) return;
    const uint32_t number = static_cast<uint32_t>(chunks_.size() + 1);
    chunks_.push_back({kind, {}});
    if (number > static_cast<uint32_t>(datafile::MAX_CHUNKS - 1)) {
      statement.fail(&first, format_text("one chunk too many: a data file holds at most %d, the "
                                         "script among them",
                                         datafile::MAX_CHUNKS));
      return;
    }
    bind(statement, name, Name{NameKind::CHUNK, number, where(line), kind});
    if (statement.failed()) return;
    show_.source_map.chunks.resize(number + 1);
    show_.source_map.chunks[number] = {name->text, where(line), line.code};

    std::string error;
    std::string file = beside(line.file, path->text);
    note_file(file);
    std::optional<Bytes> bytes = read_file(file, error);
    if (!bytes) {
      statement.fail(path, "cannot read '" + path->text + "': " + error);
      return;
    }
    Bytes payload = std::move(*bytes);
    if (grey) {
      std::string problem;
      std::optional<Bytes> converted = grey_picture(payload, problem);
      if (!converted) {
        statement.fail(path, "'" + path->text + "' cannot be made grey: " + problem);
        return;
      }
      payload = std::move(*converted);
    }
    if (kind == ChunkKind::IMAGE) {
      std::string problem;
      if (!decode_png(payload, problem))
        statement.fail(path,
                       "'" + path->text + "' is not an image the engine can show: " + problem);
    } else if (kind == ChunkKind::TEXT) {
      if (!raw) payload.push_back(0);
    } else if (raw) {
      std::string problem;
      if (!datafile::parse_font(payload.data(), payload.size(), problem))
        statement.fail(path, "'" + path->text + "' is not a font the engine can load: " + problem);
    } else {
      std::optional<Bytes> font =
          compile_font_art(std::string(payload.begin(), payload.end()), file, diagnostics_);
      payload = font ? std::move(*font) : Bytes{};
    }
    chunks_.back().payload = std::move(payload);
  }

  // music "tune.xm": the show's soundtrack, one module, its format left to the sound library
  // to recognise from its bytes.
  void declare_music(Statement& statement) {
    const Line& line = statement.line();
    const Token* path = statement.string("the module's file");
    if (!statement.finish()) return;
    std::optional<SourceSpan>& music = show_.source_map.music;
    if (music) {
      statement.fail(&line.tokens[0], format_text("a show has one music statement; the first is "
                                                  "at %s:%d",
                                                  music->file.c_str(), music->line));
      return;
    }
    music = SourceSpan{0, line.file, line.number, path->column, {}, line.code};
    show_.source_map.music_file = path->text;
    std::string error;
    std::string file = beside(line.file, path->text);
    note_file(file);
    std::optional<Bytes> bytes = read_file(file, error);
    if (!bytes) return statement.fail(path, "cannot read '" + path->text + "': " + error);
    music_ = std::move(*bytes);
  }

  // ----- instructions -----

  void compile(const Line& line) {
    if (!line.error.empty()) {
      diagnostics_.error(line.file, line.number, line.error_column, line.error);
      return;
    }
    Statement statement(line, diagnostics_);
    const Token* first = statement.next();
    if (first->kind != TokenKind::WORD) {
      statement.fail(first, "a statement begins with a word, not " + quoted(first));
      return;
    }
    const std::string& word = first->text;
    if (std::optional<ChunkKind> kind = declared_kind(line)) return declare_chunk(statement, *kind);
    if (word == "music") return declare_music(statement);
    if (word == "buffer") return new_buffer(statement);
    if (word == "view") return view_buffer(statement);
    if (word == "fx") return new_fx(statement);
    if (word == "set") return set_param(statement);
    if (word == "start" || word == "stop") return fx_state(statement, word == "start" ? 1 : 2);
    if (word == "state") return fx_state(statement, std::nullopt);
    if (word == "skip") return skip(statement);
    if (word == "wait") return wait(statement, engine::WAITFOR);
    if (word == "at") return wait(statement, engine::WAITAT);
    if (word == "end") {
      if (statement.finish()) emit(statement, engine::END, {});
      return;
    }
    if (word == "bytes") return raw_bytes(statement);
    if (is_mnemonic(word)) return mnemonic(statement, *engine::find_opcode(word.c_str()));
    statement.fail(first,
                   "unknown statement " + quoted(first) + did_you_mean(word, statement_words()));
  }

  static std::vector<std::string_view> statement_words() {
    std::vector<std::string_view> words(std::begin(STATEMENT_WORDS), std::end(STATEMENT_WORDS));
    for (const OpcodeInfo& info : engine::opcode_table) words.push_back(info.name);
    return words;
  }

  // Writes the instruction once every operand is known to fit its width.
  void emit(Statement& statement, engine::Opcode code, const Operands& operands) {
    if (statement.failed()) return;
    const OpcodeInfo& info = *engine::find_opcode(static_cast<uint8_t>(code));
    std::array<uint32_t, engine::MAX_OPERANDS> values{};
    SourceSpan span{static_cast<uint32_t>(script_.size()),
                    statement.line().file,
                    statement.line().number,
                    statement.line().tokens[0].column,
                    {},
                    statement.line().code};
    for (int i = 0; i < info.operand_count(); ++i) {
      const int64_t value = operands.values[i];
      const int width = engine::operand_width(info.operands[i].kind);
      const int64_t low = width == 4 ? INT32_MIN : 0;
      const int64_t high = width == 1 ? 0xFF : width == 2 ? 0xFFFF : 0xFFFFFFFF;
      if (value < low || value > high) {
        const char* range = width == 1   ? "a byte (0 to 255)"
                            : width == 2 ? "16 bits (0 to 65535)"
                                         : "32 bits (-2147483648 to 4294967295)";
        const Token* token = operands.tokens[i];
        statement.fail(token, format_text("%s %s does not fit in %s", info.operands[i].name,
                                          token ? token->text.c_str() : "", range));
        return;
      }
      values[i] = static_cast<uint32_t>(value);
      if (operands.tokens[i] != nullptr) span.operand_columns[i] = operands.tokens[i]->column;
    }
    if (code == engine::NEWFX) slot_classes_[values[0]] = static_cast<uint8_t>(values[1]);
    show_.source_map.spans.push_back(std::move(span));
    Bytes bytes = encode_instruction(info, values);
    script_.insert(script_.end(), bytes.begin(), bytes.end());
  }

  // A number where one is expected; `what` names it in the message.
  std::optional<int64_t> number(Statement& statement, const std::string& what,
                                const Token** token_out = nullptr) {
    const Token* token = statement.word(what);
    if (token == nullptr) return std::nullopt;
    if (token_out != nullptr) *token_out = token;
    std::optional<int64_t> value = parse_number(token->text);
    if (!value) statement.fail(token, "expected " + what + ", found " + quoted(token));
    return value;
  }

  // "at X, Y" of buffers and views; fills operands 1 and 2.
  void position(Statement& statement, Operands& operands) {
    statement.keyword("at", "before the buffer's position");
    const Token* x_token = nullptr;
    const Token* y_token = nullptr;
    std::optional<int64_t> x = number(statement, "the column", &x_token);
    statement.punctuation(TokenKind::COMMA, "between column and row");
    std::optional<int64_t> y = number(statement, "the row", &y_token);
    if (x && y) {
      operands.set(1, *x, x_token);
      operands.set(2, *y, y_token);
    }
  }

  // buffer 3 [as screen] at 0,0 size 160x50
  void new_buffer(Statement& statement) {
    Operands operands;
    const Token* index_token = statement.peek();
    std::optional<int64_t> index = reference(statement, NameKind::BUFFER, "a buffer number");
    alias(statement, index_token, index, NameKind::BUFFER);
    position(statement, operands);
    statement.keyword("size", "before the buffer's size");
    const Token* size = statement.word("a size such as 160x50");
    if (statement.failed()) return;
    // "160x50" is one word; "160 x 50" is three.
    std::string width_text = size->text, height_text;
    Token width_token = *size, height_token = *size;
    // "0x50" is a width of 0 and a height of 50 here, not a hex number: a size is two numbers,
    // so a word with an x is split at it unless the three-word form follows.
    const Token* after = statement.peek();
    bool three_words = after != nullptr && after->kind == TokenKind::WORD && after->text == "x";
    size_t cross = size->text.find('x');
    if (cross != std::string::npos && cross > 0 && !three_words) {
      width_text = size->text.substr(0, cross);
      height_text = size->text.substr(cross + 1);
      height_token.column += static_cast<int>(cross) + 1;
    } else {
      statement.keyword("x", "between width and height");
      const Token* height = statement.word("the height");
      if (statement.failed()) return;
      height_text = height->text;
      height_token = *height;
    }
    width_token.text = width_text;
    height_token.text = height_text;
    std::optional<int64_t> width = parse_number(width_text);
    std::optional<int64_t> height = parse_number(height_text);
    if (!width || !height) {
      statement.fail(size, "expected a size such as 160x50, found " + quoted(size));
      return;
    }
    if (!statement.finish()) return;
    operands.set(0, *index, index_token);
    operands.set(3, *width, &width_token);
    operands.set(4, *height, &height_token);
    emit(statement, engine::NEWBUF, operands);
  }

  // view 4 [as right] at 80,0 of 3
  void view_buffer(Statement& statement) {
    Operands operands;
    const Token* index_token = statement.peek();
    std::optional<int64_t> index = reference(statement, NameKind::BUFFER, "a buffer number");
    alias(statement, index_token, index, NameKind::BUFFER);
    position(statement, operands);
    statement.keyword("of", "before the buffer the view shows");
    const Token* source_token = statement.peek();
    std::optional<int64_t> source = reference(statement, NameKind::BUFFER, "a buffer");
    if (!statement.finish()) return;
    operands.set(0, *index, index_token);
    operands.set(3, *source, source_token);
    emit(statement, engine::VIEWBUF, operands);
  }

  // fx 2 [as roto] rotozoom on 3
  void new_fx(Statement& statement) {
    Operands operands;
    const Token* slot_token = statement.peek();
    std::optional<int64_t> slot = reference(statement, NameKind::SLOT, "an fx slot number");
    alias(statement, slot_token, slot, NameKind::SLOT);
    const Token* class_token = statement.word("an effect class");
    std::optional<int64_t> class_id;
    if (class_token != nullptr) {
      class_id = parse_number(class_token->text);
      if (!class_id) {
        int found = fx::find_class(class_token->text);
        if (found < 0)
          statement.fail(class_token, unknown_class(class_token));
        else
          class_id = found;
      }
    }
    statement.keyword("on", "before the buffer the effect draws into");
    const Token* buffer_token = statement.peek();
    std::optional<int64_t> buffer = reference(statement, NameKind::BUFFER, "a buffer");
    const bool made = statement.finish();
    if (slot && *slot >= 0 && *slot < 256) broken_slots_[*slot] = !made;
    if (!made) return;
    operands.set(0, *slot, slot_token);
    operands.set(1, *class_id, class_token);
    operands.set(2, *buffer, buffer_token);
    emit(statement, engine::NEWFX, operands);
  }

  static std::string unknown_class(const Token* token) {
    std::vector<std::string_view> names;
    for (const fx::FxClass* info : fx::fx_classes) names.push_back(info->name);
    std::string_view nearest = nearest_word(token->text, names);
    if (!nearest.empty())
      return "unknown effect class " + quoted(token) + "; did you mean '" + std::string(nearest) +
             "'?";
    std::string list;
    for (std::string_view name : names) list += (list.empty() ? "" : ", ") + std::string(name);
    return "unknown effect class " + quoted(token) + "; the classes are " + list;
  }

  // set 2 texture = tex, set 2 hold = 30, set 2 0x85 = chunk 7
  void set_param(Statement& statement) {
    Operands operands;
    const Token* slot_token = statement.peek();
    std::optional<int64_t> slot = reference(statement, NameKind::SLOT, "an fx slot");
    const Token* param_token = statement.word("a parameter");
    std::optional<int64_t> param;
    if (param_token != nullptr) {
      param = parse_number(param_token->text);
      if (!param) param = param_id(statement, param_token, slot);
    }
    statement.punctuation(TokenKind::EQUALS, "after the parameter");
    const Token* value_token = statement.word("a number or a chunk");
    if (statement.failed()) return;
    std::optional<int64_t> value = parse_number(value_token->text);
    engine::Opcode code = engine::SETINT;
    const Token* chunk_number_token = value_token;
    if (!value) {
      code = engine::SETCHUNK;
      if (value_token->text == "chunk") chunk_number_token = statement.peek();
      value = chunk_reference(statement, value_token);
    }
    if (!statement.finish()) return;
    operands.set(0, *slot, slot_token);
    operands.set(1, *param, param_token);
    operands.set(2, *value, chunk_number_token);
    emit(statement, code, operands);
  }

  // The id of a parameter named after the class the slot holds at this point of the show.
  std::optional<int64_t> param_id(Statement& statement, const Token* token,
                                  std::optional<int64_t> slot) {
    if (!slot) return std::nullopt;
    if (*slot >= 0 && *slot < 256 && broken_slots_[*slot]) {
      statement.fail_quietly();
      return std::nullopt;
    }
    std::optional<uint8_t> class_id =
        *slot >= 0 && *slot < 256 ? slot_classes_[*slot] : std::nullopt;
    if (!class_id) {
      statement.fail(token, format_text("fx %lld holds no effect at this point, so parameter %s "
                                        "has no meaning; create it first or give the "
                                        "parameter's number",
                                        static_cast<long long>(*slot), quoted(token).c_str()));
      return std::nullopt;
    }
    if (*class_id >= fx::FX_CLASS_COUNT) {
      statement.fail(token, format_text("fx %lld holds class %u, which has no parameters",
                                        static_cast<long long>(*slot), *class_id));
      return std::nullopt;
    }
    if (const fx::ParamInfo* param = fx::find_param(*class_id, token->text)) return param->id;
    const fx::FxClass& info = *fx::fx_classes[*class_id];
    std::vector<std::string_view> names;
    for (const fx::ParamInfo& param : info.params) names.push_back(param.name);
    std::string_view nearest = nearest_word(token->text, names);
    if (!nearest.empty()) {
      statement.fail(token, std::string(info.name) + " has no parameter " + quoted(token) +
                                "; did you mean '" + std::string(nearest) + "'?");
      return std::nullopt;
    }
    std::string list;
    for (std::string_view name : names) list += (list.empty() ? "" : ", ") + std::string(name);
    statement.fail(token, std::string(info.name) + " has no parameter " + quoted(token) +
                              "; its parameters are " + list);
    return std::nullopt;
  }

  // start 2, stop 2, state 2 7
  // `state` is the value start and stop imply; none for "state", which gives its own.
  void fx_state(Statement& statement, std::optional<int64_t> state) {
    Operands operands;
    const Token* slot_token = statement.peek();
    std::optional<int64_t> slot = reference(statement, NameKind::SLOT, "an fx slot");
    const Token* state_token = nullptr;
    std::optional<int64_t> value = state;
    if (!state) value = number(statement, "the state number", &state_token);
    if (!statement.finish()) return;
    operands.set(0, *slot, slot_token);
    operands.set(1, *value, state_token);
    emit(statement, engine::FXSTATE, operands);
  }

  // skip, skip 7
  void skip(Statement& statement) {
    Operands operands;
    if (statement.peek() != nullptr) {
      const Token* token = nullptr;
      std::optional<int64_t> value = number(statement, "the byte skip ignores", &token);
      if (value) operands.set(0, *value, token);
    }
    if (statement.finish()) emit(statement, engine::SKIP, operands);
  }

  // wait 40, wait 1.5s, at 1200, at 0:40.5
  void wait(Statement& statement, engine::Opcode code) {
    const bool absolute = code == engine::WAITAT;
    const Token* token =
        statement.word(absolute ? "a frame or a time" : "a number of frames or a time");
    if (token == nullptr) return;
    Time time = parse_time(token->text);
    if (!time.error.empty()) {
      statement.fail(token, time.error);
      return;
    }
    if (time.frames > LAST_FRAME) {
      statement.fail(
          token, format_text("%s is frame %lld, past %lld (%s), the most a wait can count",
                             token->text.c_str(), static_cast<long long>(time.frames),
                             static_cast<long long>(LAST_FRAME), format_time(LAST_FRAME).c_str()));
      return;
    }
    if (!statement.finish()) return;
    Operands operands;
    operands.set(0, time.frames, token);
    emit(statement, code, operands);
  }

  // bytes 0x04 0x00 ...: script bytes as they are, for what no statement says.
  void raw_bytes(Statement& statement) {
    Bytes bytes;
    while (const Token* token = statement.peek()) {
      if (token->kind == TokenKind::COMMA) {
        statement.next();
        continue;
      }
      std::optional<int64_t> value = number(statement, "a byte");
      if (!value) return;
      if (*value < 0 || *value > 0xFF) {
        statement.fail(token, quoted(token) + " does not fit in a byte (0 to 255)");
        return;
      }
      bytes.push_back(static_cast<uint8_t>(*value));
    }
    if (bytes.empty()) {
      statement.fail(nullptr, "'bytes' needs at least one byte");
      return;
    }
    const Line& line = statement.line();
    show_.source_map.spans.push_back(SourceSpan{static_cast<uint32_t>(script_.size()),
                                                line.file,
                                                line.number,
                                                line.tokens[0].column,
                                                {},
                                                line.code});
    script_.insert(script_.end(), bytes.begin(), bytes.end());
  }

  // NEWBUF 3, 0, 0, 160, 50: an instruction by its mnemonic, operands in the table's order.
  // Buffers, slots, classes and chunks may be given by name here too.
  void mnemonic(Statement& statement, const OpcodeInfo& info) {
    Operands operands;
    for (int i = 0; i < info.operand_count(); ++i) {
      if (i > 0 && statement.peek() != nullptr && statement.peek()->kind == TokenKind::COMMA)
        statement.next();
      const engine::Operand& operand = info.operands[i];
      const Token* token = statement.word(std::string("the ") + operand.name + " operand");
      if (token == nullptr) return;
      std::optional<int64_t> value = parse_number(token->text);
      if (!value) value = named_operand(operand.kind, token);
      if (!value) {
        statement.fail(token, std::string("expected the ") + operand.name + " operand, found " +
                                  quoted(token));
        return;
      }
      operands.set(i, *value, token);
    }
    if (statement.finish()) emit(statement, info.code, operands);
  }

  std::optional<int64_t> named_operand(OperandKind kind, const Token* token) {
    auto it = names_.find(token->text);
    switch (kind) {
      case OperandKind::NEW_BUFFER:
      case OperandKind::BUFFER:
        if (it != names_.end() && it->second.kind == NameKind::BUFFER) return it->second.number;
        break;
      case OperandKind::NEW_SLOT:
      case OperandKind::SLOT:
        if (it != names_.end() && it->second.kind == NameKind::SLOT) return it->second.number;
        break;
      case OperandKind::CHUNK:
        if (it != names_.end() && it->second.kind == NameKind::CHUNK) return it->second.number;
        break;
      case OperandKind::CLASS:
        if (int found = fx::find_class(token->text); found >= 0) return found;
        break;
      default:
        break;
    }
    return std::nullopt;
  }
};

}  // namespace

const SourceSpan* SourceMap::find(uint32_t byte) const {
  auto after = std::upper_bound(spans.begin(), spans.end(), byte,
                                [](uint32_t b, const SourceSpan& span) { return b < span.byte; });
  if (after == spans.begin()) return nullptr;
  return &*(after - 1);
}

Bytes encode_instruction(const engine::OpcodeInfo& info,
                         const std::array<uint32_t, engine::MAX_OPERANDS>& operands) {
  Bytes bytes{static_cast<uint8_t>(info.code)};
  for (int i = 0; i < info.operand_count(); ++i)
    for (int b = engine::operand_width(info.operands[i].kind) - 1; b >= 0; --b)
      bytes.push_back(static_cast<uint8_t>(operands[i] >> (8 * b)));
  return bytes;
}

void append_chunk(Bytes& file, const char* tag, const Bytes& payload) {
  file.insert(file.end(), tag, tag + 4);
  const uint32_t length = static_cast<uint32_t>(payload.size());
  for (int b = 3; b >= 0; --b) file.push_back(static_cast<uint8_t>(length >> (8 * b)));
  file.insert(file.end(), payload.begin(), payload.end());
}

CompiledShow compile_show(const std::string& path) {
  CompiledShow show;
  Assembler(show).run(path);
  if (show.diagnostics.has_errors()) show.data_file.clear();
  return show;
}

}  // namespace tools
