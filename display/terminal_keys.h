// Keys from the bytes a terminal sends: characters in UTF-8, and the escape sequences of the
// cursor and page keys in both of the forms terminals use (CSI and SS3).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace display {

struct Key {
  enum class Name : uint8_t {
    CHARACTER,  // `character` holds it: letters, digits, space, ^A as 1, Enter as '\r', ...
    ESCAPE,
    UP,
    DOWN,
    LEFT,
    RIGHT,
    HOME,
    END,
    PAGE_UP,
    PAGE_DOWN,
    INSERT,
    DELETE,
    UNKNOWN,  // a complete escape sequence this decoder does not name (F keys, mouse, ...)
  };
  Name name = Name::CHARACTER;
  char32_t character = 0;

  static Key named(Name name) { return {name, 0}; }
  static Key of(char32_t character) { return {Name::CHARACTER, character}; }
  friend bool operator==(const Key&, const Key&) = default;
};

// Turns terminal bytes into keys. A read may end inside a sequence, so incomplete bytes wait for
// the next feed. A lone ESC is a sequence's start or the Escape key, which only time can tell:
// the caller calls `flush` when a read brings nothing new (the player polls every 30 ms, far
// longer than a terminal takes to send one sequence), and whatever waits is then taken as keys.
class KeyDecoder {
 public:
  // Appends the keys completed by `bytes` to `keys`.
  void feed(std::string_view bytes, std::vector<Key>& keys);
  // Appends what is still waiting, as keys: a lone ESC is Escape, an unfinished sequence is
  // Escape followed by its characters.
  void flush(std::vector<Key>& keys);
  bool waiting() const { return !pending_.empty(); }

 private:
  std::string pending_;
};

}  // namespace display
