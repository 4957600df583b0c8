// Reads the score. One statement a line; a word starting with '#' starts a comment:
//
//   title NAME...                     the module's name
//   channels NAME...                  the channels, left to right (once, before any pattern)
//   pattern NAME ROWS                 starts a pattern; the lines below fill it, up to the next
//   ROW | CHANNEL CELL | CHANNEL CELL   what channels play at a row (counted from 0)
//   play PATTERN at ROW...            copies a pattern defined earlier into this one at rows
//   scene NAME at FRAME plays PATTERN...   the patterns, in order, from the scene's first frame
//
// A cell is words in any order: a note (C-4, F#2; `off` releases), an instrument's name, a
// volume (v0 to v64), an effect as trackers write it (A0F: slide the volume down, 15 a tick).
// Scenes follow one another: a scene must start on the frame its predecessors' rows end.
#include "score.h"

#include <cctype>
#include <fstream>
#include <map>
#include <sstream>

namespace show {
namespace {

constexpr size_t MAX_SCORE_BYTES = 1 << 20;

std::vector<std::string> split_words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// '#' starts a comment where it starts a word; in a note it is a sharp.
std::string without_comment(const std::string& line) {
  for (size_t i = 0; i < line.size(); ++i)
    if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t'))
      return line.substr(0, i);
  return line;
}

bool all_digits(const std::string& word) {
  if (word.empty() || word.size() > 6) return false;
  for (char c : word)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Parser {
 public:
  Parser(std::string file_name, std::vector<xm::Instrument> instruments)
      : file_(std::move(file_name)) {
    module_.instruments = std::move(instruments);
  }

  xm::Module parse(const std::string& text) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      ++line_;
      statement(without_comment(line));
    }
    line_ = 0;
    if (module_.order.empty()) fail("no scene plays anything");
    return std::move(module_);
  }

 private:
  struct Defined {
    xm::Pattern pattern;
    int module_index = -1;  // where the module holds it, once a scene plays it
  };

  [[noreturn]] void fail(const std::string& message) const {
    throw ScoreError(file_ + ":" + (line_ > 0 ? std::to_string(line_) + ":" : "") + " " + message);
  }

  int number(const std::string& word, const std::string& what, int low, int high) const {
    if (!all_digits(word)) fail(what + " must be a number, not \"" + word + "\"");
    const int value = std::stoi(word);
    if (value < low || value > high)
      fail(what + " " + word + " is outside " + std::to_string(low) + " to " +
           std::to_string(high));
    return value;
  }

  Defined& defined(const std::string& name) {
    auto found = patterns_.find(name);
    if (found == patterns_.end()) fail("no pattern \"" + name + "\" defined above");
    return found->second;
  }

  void statement(const std::string& line) {
    const std::vector<std::string> words = split_words(line);
    if (words.empty()) return;
    const std::string& keyword = words[0];
    if (all_digits(keyword)) {
      row(line);
    } else if (keyword == "title") {
      module_.name = line.substr(line.find("title") + 5);
      module_.name.erase(0, module_.name.find_first_not_of(" \t"));
    } else if (keyword == "channels") {
      if (!channels_.empty()) fail("the channels are already named");
      if (words.size() < 2 || words.size() > xm::MAX_CHANNELS + 1) fail("1 to 32 channels");
      for (size_t i = 1; i < words.size(); ++i) {
        if (channel(words[i]) >= 0) fail("channel \"" + words[i] + "\" is named twice");
        channels_.push_back(words[i]);
      }
      module_.channels = int(channels_.size());
    } else if (keyword == "pattern") {
      if (channels_.empty()) fail("name the channels before the first pattern");
      if (words.size() != 3) fail("a pattern is \"pattern NAME ROWS\"");
      if (patterns_.count(words[1])) fail("pattern \"" + words[1] + "\" is defined twice");
      if (patterns_.size() >= xm::MAX_PATTERNS) fail("more than 256 patterns");
      const int rows = number(words[2], "the number of rows", 1, xm::MAX_ROWS);
      current_ = &patterns_.emplace(words[1], Defined{xm::Pattern(rows, module_.channels)})
                      .first->second.pattern;
    } else if (keyword == "play") {
      play(words);
    } else if (keyword == "scene") {
      scene(words);
    } else {
      fail("unknown statement \"" + keyword + "\"");
    }
  }

  int channel(const std::string& name) const {
    for (size_t i = 0; i < channels_.size(); ++i)
      if (channels_[i] == name) return int(i);
    return -1;
  }

  // "ROW | CHANNEL CELL | CHANNEL CELL ..."
  void row(const std::string& line) {
    if (current_ == nullptr) fail("a row outside a pattern");
    std::vector<std::string> parts;
    std::istringstream in(line);
    for (std::string part; std::getline(in, part, '|');) parts.push_back(part);
    const std::vector<std::string> row_words = split_words(parts[0]);
    if (row_words.size() != 1 || parts.size() < 2) fail("a row is \"ROW | CHANNEL CELL | ...\"");
    const int row = number(row_words[0], "the row", 0, current_->rows - 1);
    for (size_t i = 1; i < parts.size(); ++i) {
      const std::vector<std::string> words = split_words(parts[i]);
      if (words.empty()) fail("an empty cell at row " + row_words[0]);
      const int index = channel(words[0]);
      if (index < 0) fail("no channel \"" + words[0] + "\"");
      xm::Cell& cell = current_->at(row, index);
      if (!cell.empty())
        fail("channel " + words[0] + " at row " + row_words[0] + " is written twice");
      cell = parse_cell(words);
    }
  }

  xm::Cell parse_cell(const std::vector<std::string>& words) const {
    xm::Cell cell;
    for (size_t i = 1; i < words.size(); ++i) {
      const std::string& word = words[i];
      if (note(word, cell)) continue;
      if (word[0] == 'v' && word.size() > 1 && all_digits(word.substr(1))) {
        cell.volume = uint8_t(0x10 + number(word.substr(1), "the volume", 0, 64));
        continue;
      }
      if (effect(word, cell)) continue;
      bool instrument = false;
      for (size_t k = 0; k < module_.instruments.size() && !instrument; ++k) {
        if (module_.instruments[k].name != word) continue;
        cell.instrument = uint8_t(k + 1);
        instrument = true;
      }
      if (!instrument)
        fail("\"" + word + "\" in channel " + words[0] +
             " is no note, instrument, volume (v0 to v64) or effect");
    }
    if (cell.empty()) fail("the cell of channel " + words[0] + " does nothing");
    return cell;
  }

  // C-4 or C#4, octaves 0 to 7; `off` for key-off.
  bool note(const std::string& word, xm::Cell& cell) const {
    if (word == "off") {
      cell.note = xm::KEY_OFF;
      return true;
    }
    static const std::string LETTERS = "C D EF G A B";  // the semitones above C
    const size_t semitone = word.size() == 3 ? LETTERS.find(word[0]) : std::string::npos;
    if (semitone == std::string::npos || word[0] == ' ' || (word[1] != '-' && word[1] != '#') ||
        word[2] < '0' || word[2] > '9')
      return false;
    if (word[1] == '#' && (word[0] == 'E' || word[0] == 'B')) fail("no note " + word);
    if (word[2] > '7') fail("note " + word + " is above the highest octave, 7");
    cell.note = uint8_t((word[2] - '0') * 12 + int(semitone) + (word[1] == '#') + 1);
    return true;
  }

  // An effect letter (or digit) and two hexadecimal digits: A0F, F03, 840.
  bool effect(const std::string& word, xm::Cell& cell) const {
    if (word.size() != 3 || hex_digit(word[1]) < 0 || hex_digit(word[2]) < 0) return false;
    const char kind = word[0];
    if (kind >= '0' && kind <= '9') {
      cell.effect = uint8_t(kind - '0');
    } else if (kind >= 'A' && kind <= 'Z') {
      cell.effect = uint8_t(kind - 'A' + 10);
    } else {
      return false;
    }
    cell.param = uint8_t(hex_digit(word[1]) * 16 + hex_digit(word[2]));
    return true;
  }

  // "play PATTERN at ROW..."
  void play(const std::vector<std::string>& words) {
    if (current_ == nullptr) fail("play outside a pattern");
    if (words.size() < 4 || words[2] != "at") fail("play is \"play PATTERN at ROW...\"");
    const xm::Pattern& source = defined(words[1]).pattern;
    if (&source == current_) fail("a pattern cannot play itself");
    for (size_t i = 3; i < words.size(); ++i) {
      const int at = number(words[i], "the row", 0, current_->rows - 1);
      if (at + source.rows > current_->rows)
        fail("\"" + words[1] + "\" at row " + words[i] + " runs past the pattern's " +
             std::to_string(current_->rows) + " rows");
      for (int r = 0; r < source.rows; ++r) {
        for (int c = 0; c < source.channels; ++c) {
          const xm::Cell& cell = source.at(r, c);
          if (cell.empty()) continue;
          if (!current_->at(at + r, c).empty())
            fail("\"" + words[1] + "\" at row " + words[i] + " meets channel " +
                 channels_[size_t(c)] + " already written at row " + std::to_string(at + r));
          current_->at(at + r, c) = cell;
        }
      }
    }
  }

  // "scene NAME at FRAME plays PATTERN..."
  void scene(const std::vector<std::string>& words) {
    if (words.size() < 6 || words[2] != "at" || words[4] != "plays")
      fail("a scene is \"scene NAME at FRAME plays PATTERN...\"");
    current_ = nullptr;
    const int frame = number(words[3], "the frame", 0, 999999);
    if (frame != rows_ * FRAMES_PER_ROW)
      fail("scene " + words[1] + " starts at frame " + words[3] +
           ", but the scenes before it end at frame " + std::to_string(rows_ * FRAMES_PER_ROW) +
           " (row " + std::to_string(rows_) + ")");
    for (size_t i = 5; i < words.size(); ++i) {
      Defined& pattern = defined(words[i]);
      if (pattern.module_index < 0) {
        pattern.module_index = int(module_.patterns.size());
        module_.patterns.push_back(pattern.pattern);
      }
      if (module_.order.size() >= xm::MAX_ORDER) fail("more than 256 patterns in the song");
      module_.order.push_back(uint8_t(pattern.module_index));
      rows_ += pattern.pattern.rows;
    }
  }

  std::string file_;
  int line_ = 0;
  std::vector<std::string> channels_;
  std::map<std::string, Defined> patterns_;
  xm::Pattern* current_ = nullptr;
  int rows_ = 0;  // the song's, so far
  xm::Module module_;
};

}  // namespace

xm::Module parse_score(const std::string& text, const std::string& file_name,
                       std::vector<xm::Instrument> instruments) {
  return Parser(file_name, std::move(instruments)).parse(text);
}

xm::Module read_score(const std::string& path, std::vector<xm::Instrument> instruments) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw ScoreError(path + ": cannot be read");
  std::string text(MAX_SCORE_BYTES + 1, '\0');
  file.read(text.data(), std::streamsize(text.size()));
  text.resize(size_t(file.gcount()));
  if (text.size() > MAX_SCORE_BYTES) throw ScoreError(path + ": longer than 1 MB");
  return parse_score(text, path, std::move(instruments));
}

}  // namespace show
