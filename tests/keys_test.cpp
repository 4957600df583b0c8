// The key decoder: what xterm, tmux and the Linux console send for the keys a viewer uses, split
// across reads as a terminal may split them, and what a lone ESC or a broken byte becomes.
#include <gtest/gtest.h>

#include "display/terminal_keys.h"

namespace {

using display::Key;
using display::KeyDecoder;
using Name = Key::Name;

std::vector<Key> decode(std::initializer_list<std::string_view> reads, bool flush = true) {
  KeyDecoder decoder;
  std::vector<Key> keys;
  for (std::string_view bytes : reads) decoder.feed(bytes, keys);
  if (flush) decoder.flush(keys);
  return keys;
}

std::vector<Key> named(std::initializer_list<Name> names) {
  std::vector<Key> keys;
  for (Name name : names) keys.push_back(Key::named(name));
  return keys;
}

TEST(KeyDecoder, CursorAndPageKeysInEveryFormTerminalsSend) {
  // CSI letters (normal cursor mode), SS3 letters (application mode), with modifiers (Ctrl-Up).
  EXPECT_EQ(decode({"\x1b[A\x1b[B\x1b[C\x1b[D\x1b[H\x1b[F"}),
            named({Name::UP, Name::DOWN, Name::RIGHT, Name::LEFT, Name::HOME, Name::END}));
  EXPECT_EQ(decode({"\x1bOA\x1bOB\x1bOC\x1bOD\x1bOH\x1bOF"}),
            named({Name::UP, Name::DOWN, Name::RIGHT, Name::LEFT, Name::HOME, Name::END}));
  EXPECT_EQ(decode({"\x1b[1;5A\x1b[1;2D"}), named({Name::UP, Name::LEFT}));
  // VT220 numbers: tmux and xterm send 1~ and 4~ or 7~ and 8~ for Home and End on some setups.
  EXPECT_EQ(decode({"\x1b[5~\x1b[6~\x1b[1~\x1b[4~\x1b[7~\x1b[8~\x1b[2~\x1b[3~"}),
            named({Name::PAGE_UP, Name::PAGE_DOWN, Name::HOME, Name::END, Name::HOME, Name::END,
                   Name::INSERT, Name::DELETE}));
  EXPECT_EQ(decode({"\x1b[5;3~"}), named({Name::PAGE_UP}));  // Alt-PageUp
  // F5 and a mouse report are complete sequences this decoder does not name.
  EXPECT_EQ(decode({"\x1b[15~\x1b[<0;3;4M"}), named({Name::UNKNOWN, Name::UNKNOWN}));
}

TEST(KeyDecoder, CharactersComeOneKeyEachInUtf8) {
  EXPECT_EQ(decode({" ,.rq?"}), (std::vector<Key>{Key::of(' '), Key::of(','), Key::of('.'),
                                                  Key::of('r'), Key::of('q'), Key::of('?')}));
  EXPECT_EQ(decode({"\r\x03\x7f"}),  // Enter in raw mode, ^C as a byte, Backspace
            (std::vector<Key>{Key::of('\r'), Key::of(3), Key::of(0x7F)}));
  EXPECT_EQ(decode({"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x90\xBA"}),  // é, €, a wolf
            (std::vector<Key>{Key::of(U'é'), Key::of(U'€'), Key::of(U'\U0001F43A')}));
}

TEST(KeyDecoder, BytesSplitAcrossReadsWaitForTheRest) {
  EXPECT_EQ(decode({"\x1b", "[", "5", "~"}, false), named({Name::PAGE_UP}));
  EXPECT_EQ(decode({"\x1bO", "D"}, false), named({Name::LEFT}));
  EXPECT_EQ(decode({"\xE2\x82", "\xAC"}, false), std::vector<Key>{Key::of(U'€')});
  KeyDecoder decoder;
  std::vector<Key> keys;
  decoder.feed("q\x1b[", keys);
  EXPECT_EQ(keys, std::vector<Key>{Key::of('q')});
  EXPECT_TRUE(decoder.waiting());
  decoder.feed("A", keys);
  EXPECT_EQ(keys, (std::vector<Key>{Key::of('q'), Key::named(Name::UP)}));
  EXPECT_FALSE(decoder.waiting());
}

TEST(KeyDecoder, ALoneEscapeIsTheEscapeKeyOnceNothingFollows) {
  EXPECT_EQ(decode({"\x1b"}, false), std::vector<Key>{});
  EXPECT_EQ(decode({"\x1b"}), named({Name::ESCAPE}));
  EXPECT_EQ(decode({"\x1b\x1b"}), named({Name::ESCAPE, Name::ESCAPE}));
  // ESC and a letter together: Escape, then the letter (what Alt-x sends).
  EXPECT_EQ(decode({"\x1bx"}, false), (std::vector<Key>{Key::named(Name::ESCAPE), Key::of('x')}));
  // A sequence cut off for good: Escape and what came after it, nothing lost.
  EXPECT_EQ(decode({"\x1b[1"}),
            (std::vector<Key>{Key::named(Name::ESCAPE), Key::of('['), Key::of('1')}));
  EXPECT_EQ(decode({"\x1bO"}), (std::vector<Key>{Key::named(Name::ESCAPE), Key::of('O')}));
}

TEST(KeyDecoder, BrokenBytesAreReplacementCharactersAndEndlessSequencesEnd) {
  constexpr char32_t REPLACEMENT = U'\uFFFD';
  EXPECT_EQ(decode({"\xFF"
                    "a"}),
            (std::vector<Key>{Key::of(REPLACEMENT), Key::of('a')}));
  EXPECT_EQ(decode({"\xE2\x82"
                    "a"}),  // a character whose last byte never came
            (std::vector<Key>{Key::of(REPLACEMENT), Key::of(REPLACEMENT), Key::of('a')}));
  EXPECT_EQ(decode({"\xE2"}), std::vector<Key>{Key::of(REPLACEMENT)});
  // Parameter bytes without a final byte are not waited for past 32 bytes.
  std::string endless = "\x1b[" + std::string(40, '1');
  std::vector<Key> keys = decode({endless}, false);
  EXPECT_EQ(keys, named({Name::UNKNOWN}));
}

}  // namespace
