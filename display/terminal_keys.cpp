// The key decoder.
#include "display/terminal_keys.h"

#include <optional>

namespace display {
namespace {

constexpr char ESC = '\x1b';
constexpr char32_t REPLACEMENT = U'\uFFFD';

// A sequence longer than this is no key a keyboard sends: it is given up as unknown rather than
// waited for forever.
constexpr size_t LONGEST_SEQUENCE = 32;

using Name = Key::Name;

// The final letter of CSI and SS3 sequences: ESC [ A, ESC O A, ESC [ 1 ; 5 A (with Ctrl), ...
std::optional<Name> letter_key(char letter) {
  switch (letter) {
    case 'A':
      return Name::UP;
    case 'B':
      return Name::DOWN;
    case 'C':
      return Name::RIGHT;
    case 'D':
      return Name::LEFT;
    case 'H':
      return Name::HOME;
    case 'F':
      return Name::END;
    default:
      return std::nullopt;
  }
}

// The number of ESC [ N ~ (VT220 style, what xterm, tmux and the Linux console send).
Name tilde_key(int number) {
  switch (number) {
    case 1:
    case 7:
      return Name::HOME;
    case 4:
    case 8:
      return Name::END;
    case 2:
      return Name::INSERT;
    case 3:
      return Name::DELETE;
    case 5:
      return Name::PAGE_UP;
    case 6:
      return Name::PAGE_DOWN;
    default:
      return Name::UNKNOWN;
  }
}

// The length of the CSI sequence at the start of `text` (which begins with ESC [), or 0 while
// it is incomplete: parameter bytes, then intermediate bytes, then one final byte.
size_t csi_length(std::string_view text) {
  for (size_t i = 2; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x40 && c <= 0x7E) return i + 1;
    if (c < 0x20 || c > 0x3F) return i + 1;  // not a sequence byte: the sequence is broken here
  }
  return 0;
}

Key csi_key(std::string_view sequence) {
  char final = sequence.back();
  if (final == '~') {
    int number = 0;
    for (size_t i = 2; i < sequence.size() && sequence[i] >= '0' && sequence[i] <= '9'; ++i)
      number = number * 10 + (sequence[i] - '0');
    return Key::named(tilde_key(number));
  }
  if (std::optional<Name> name = letter_key(final)) return Key::named(*name);
  return Key::named(Name::UNKNOWN);
}

// The number of bytes of the UTF-8 character whose first byte is `lead`; 0 for a byte that
// cannot begin one.
size_t utf8_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// The character of a complete UTF-8 sequence, or the replacement character when a
// continuation byte is missing.
std::optional<char32_t> utf8_character(std::string_view bytes) {
  char32_t value = static_cast<unsigned char>(bytes[0]);
  if (bytes.size() > 1) value &= 0x7F >> bytes.size();
  for (size_t i = 1; i < bytes.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if ((c & 0xC0) != 0x80) return std::nullopt;
    value = value << 6 | (c & 0x3F);
  }
  return value;
}

}  // namespace

void KeyDecoder::feed(std::string_view bytes, std::vector<Key>& keys) {
  pending_.append(bytes);
  size_t at = 0;
  while (at < pending_.size()) {
    std::string_view rest = std::string_view(pending_).substr(at);
    if (rest[0] == ESC) {
      if (rest.size() < 2) break;
      if (rest[1] == '[') {
        size_t length = csi_length(rest);
        if (length == 0) {
          if (rest.size() < LONGEST_SEQUENCE) break;
          length = rest.size();
        }
        keys.push_back(csi_key(rest.substr(0, length)));
        at += length;
      } else if (rest[1] == 'O') {
        if (rest.size() < 3) break;
        std::optional<Name> name = letter_key(rest[2]);
        keys.push_back(Key::named(name.value_or(Name::UNKNOWN)));
        at += 3;
      } else {
        // ESC before anything else is the Escape key (or Alt held with the next key).
        keys.push_back(Key::named(Name::ESCAPE));
        at += 1;
      }
      continue;
    }
    size_t length = utf8_length(static_cast<unsigned char>(rest[0]));
    if (length == 0) {
      keys.push_back(Key::of(REPLACEMENT));
      at += 1;
      continue;
    }
    if (rest.size() < length) break;
    std::optional<char32_t> character = utf8_character(rest.substr(0, length));
    keys.push_back(Key::of(character.value_or(REPLACEMENT)));
    at += character ? length : 1;
  }
  pending_.erase(0, at);
}

void KeyDecoder::flush(std::vector<Key>& keys) {
  std::string waiting;
  waiting.swap(pending_);
  // Each round takes at least one byte: an ESC as Escape, or the first byte of an unfinished
  // character as the replacement character.
  while (!waiting.empty()) {
    if (waiting[0] == ESC) {
      keys.push_back(Key::named(Name::ESCAPE));
      waiting.erase(0, 1);
    }
    feed(waiting, keys);
    waiting.clear();
    waiting.swap(pending_);
    if (!waiting.empty() && waiting[0] != ESC) {
      keys.push_back(Key::of(REPLACEMENT));
      waiting.erase(0, 1);
    }
  }
}

}  // namespace display
