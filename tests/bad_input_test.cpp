// The bad-input catalogue: broken data files and scripts, each played by the real player as a user
// plays it (in a directory of its own, AA-lib's stdout driver, no terminal, no keyboard), with
// the exact messages it must print on each stream and its exit status. Rows that the engine plays
// on must play to their end with status 0. The README's "Bad input catalogue" is this table.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdarg>
#include <filesystem>
#include <map>
#include <thread>

#include "engine/opcodes.h"
#include "fixtures/process.h"
#include "fixtures/square_wave_module.h"
#include "fx/fx_info.h"
#include "support/show_harness.h"

namespace {

using support::Bytes;
using support::DataFileBuilder;
using support::make_png;
using support::PngKind;
using support::Rgb;
using support::ScriptBuilder;

constexpr uint8_t CYCLE = 0, STILL = 2, SCROLLER = 8;
const std::string DATA_FILE = "data/mote-tundra-2003.dat";
const std::string WORKING_DIR = "<working directory>";

// How far the player gets. Each stage's progress lines come before the message.
enum class Stage {
  LOADING,   // fatal before the display is opened: loading the file, or its first chunk
  STARTING,  // fatal in the script's start-up run, once the display is open
  PLAYING,   // fatal in a frame of the show
  PLAYS_ON,  // no fatal error: the show plays to its end and the status is 0
};

enum class Stream { OUT, ERR };

enum class Place { FILE, MISSING, DIRECTORY };

struct Row {
  std::string family;   // the README line it belongs to: what is broken
  std::string outcome;  // the README's words for what the player does
  std::string name;     // this row, where a family has several
  Bytes file;
  Stage stage = Stage::PLAYS_ON;
  std::string loader_says = {};  // lines the loader prints on standard error before the show
  Stream stream = Stream::ERR;
  std::string message = {};  // the fatal message, whole lines
  Place place = Place::FILE;
};

// ---- Building rows ----

std::string text(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string text(const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);
  va_end(args);
  return line;
}

// How the loader names chunk `number` of `file`: path, number, tag and offset.
std::string where(const Bytes& file, int number) {
  size_t at = 0;
  for (int i = 0; i < number; ++i)
    at += 8 + (size_t{file.at(at + 4)} << 24 | size_t{file.at(at + 5)} << 16 |
               size_t{file.at(at + 6)} << 8 | file.at(at + 7));
  return text("%s: chunk %d (%.4s at offset %zu)", DATA_FILE.c_str(), number,
              reinterpret_cast<const char*>(file.data() + at), at);
}

std::string script_error(uint32_t byte, const std::string& opcode, const std::string& problem) {
  return text("engine  : script error at byte %u (%s): %s\n", byte, opcode.c_str(),
              problem.c_str());
}

std::string cannot_be_used(const Bytes& file, int number) {
  return "loader  : " + where(file, number) + " cannot be used; loading stops here\n";
}

Rgb pattern(int x, int y) {
  return Rgb{uint8_t(x * 5), uint8_t(y * 9), uint8_t(x ^ y)};
}

// Buffer 0 over the whole picture, showing chunk `image` as a still image for three frames.
ScriptBuilder still_of(uint8_t image) {
  return ScriptBuilder().newbuf(0, 0, 0, 160, 50).newfx(0, STILL, 0).setchunk(0, 0x80, image);
}
ScriptBuilder three_frames(ScriptBuilder script) {
  return script.start(0).waitfor(3).end();
}

// A scroller over the whole picture with text chunk `text_chunk` and font chunk `font_chunk`.
ScriptBuilder scroller_of(uint8_t text_chunk, uint8_t font_chunk) {
  return ScriptBuilder()
      .newbuf(0, 0, 0, 160, 50)
      .newfx(0, SCROLLER, 0)
      .setchunk(0, 0x81, text_chunk)
      .setchunk(0, 0x82, font_chunk);
}

Bytes small_font() {
  return support::make_font({{"##", "#.", "##"}, {"#.", "##", "##"}, {".#", "##", "##"}});
}

std::vector<Row> container_rows() {
  std::vector<Row> rows;
  Bytes png = make_png(160, 50, pattern);
  Bytes whole = DataFileBuilder().script(three_frames(still_of(1))).image(png).bytes;
  Bytes truncated(whole.begin(), whole.end() - 10);
  rows.push_back({"A truncated chunk: its length runs past the end of the file",
                  "`loader  : <file>: chunk 1 (PING at offset N) is truncated: its length is N "
                  "bytes but only N - 10 follow`",
                  "", truncated, Stage::LOADING, "", Stream::ERR,
                  text("loader  : %s is truncated: its length is %zu bytes but only %zu follow\n",
                       where(truncated, 1).c_str(), png.size(), png.size() - 10)});

  Bytes negative = DataFileBuilder().script(three_frames(still_of(1))).header("PING", -10).bytes;
  rows.push_back({"A negative chunk length",
                  "`loader  : <file>: chunk 1 (PING at offset N) has a negative length (-10)`", "",
                  negative, Stage::LOADING, "", Stream::ERR,
                  "loader  : " + where(negative, 1) + " has a negative length (-10)\n"});

  DataFileBuilder many;
  many.script(three_frames(ScriptBuilder().newbuf(0, 0, 0, 160, 50).newfx(0, CYCLE, 0)));
  for (int i = 1; i < 200; ++i) many.text("chunk " + std::to_string(i));
  rows.push_back(
      {"200 chunks", "`loader  : <file> holds more than 127 chunks; chunk 127 is one too many`", "",
       many.bytes, Stage::LOADING, "", Stream::ERR,
       "loader  : " + DATA_FILE + " holds more than 127 chunks; chunk 127 is one too many\n"});

  Bytes unknown_after = DataFileBuilder()
                            .script(three_frames(still_of(1)))
                            .image(make_png(160, 50, pattern))
                            .chunk("JUNK", {1, 2, 3})
                            .text("never loaded")
                            .bytes;
  rows.push_back({"An unknown tag after every chunk the script uses",
                  "`loader  : <file>: chunk 2 (JUNK at offset N): unknown tag; loading stops "
                  "here`, then plays",
                  "", unknown_after, Stage::PLAYS_ON,
                  "loader  : " + where(unknown_after, 2) + ": unknown tag; loading stops here\n"});

  Bytes unknown_before = DataFileBuilder()
                             .script(three_frames(still_of(3)))
                             .text("loaded")
                             .chunk("JUNK", {1, 2, 3})
                             .image(make_png(160, 50, pattern))
                             .bytes;
  rows.push_back(
      {"An unknown tag before a chunk the script uses",
       "the unknown-tag line, then `engine  : script error at byte 14 (SETCHUNK): chunk 3 does "
       "not exist (2 chunks were loaded)`",
       "", unknown_before, Stage::STARTING,
       "loader  : " + where(unknown_before, 2) + ": unknown tag; loading stops here\n", Stream::ERR,
       script_error(14, "SETCHUNK", "chunk 3 does not exist (2 chunks were loaded)")});

  rows.push_back({"An empty data file",
                  "`loader  : <file> holds no usable chunk 0; a data file must begin with its "
                  "DEMO chunk`",
                  "",
                  {},
                  Stage::LOADING,
                  "",
                  Stream::ERR,
                  "loader  : " + DATA_FILE +
                      " holds no usable chunk 0; a data file must begin with its DEMO chunk\n"});

  rows.push_back(
      {"A data file whose first chunk is not its script",
       "`engine  : chunk 0 is a text chunk; a data file must begin with its DEMO chunk`", "",
       DataFileBuilder().text("first").script(three_frames(still_of(0))).bytes, Stage::LOADING, "",
       Stream::ERR,
       "engine  : chunk 0 is a text chunk; a data file must begin with its DEMO chunk\n"});

  Bytes stray =
      DataFileBuilder().script(three_frames(still_of(1))).image(make_png(160, 50, pattern)).bytes;
  size_t stray_at = stray.size();
  stray.insert(stray.end(), {'P', 'I', 'N'});
  rows.push_back(
      {"Bytes after the last chunk, too few for a chunk header",
       "`loader  : <file>: 3 stray bytes at offset N ignored`, then plays", "", stray,
       Stage::PLAYS_ON,
       text("loader  : %s: 3 stray bytes at offset %zu ignored\n", DATA_FILE.c_str(), stray_at)});

  // A header whose tag is unknown ends loading before its length is looked at: whatever four
  // bytes stand there, past the end of the file or negative.
  for (int32_t length : {1000, -10}) {
    Bytes junk = DataFileBuilder()
                     .script(three_frames(still_of(1)))
                     .image(make_png(160, 50, pattern))
                     .header("JUNK", length)
                     .bytes;
    junk.insert(junk.end(), {1, 2, 3});
    rows.push_back({"An unknown tag whose length runs past the end of the file, or is negative",
                    "the unknown-tag line, then plays", text("length %d", length), junk,
                    Stage::PLAYS_ON,
                    "loader  : " + where(junk, 2) + ": unknown tag; loading stops here\n"});
  }

  // A PING chunk whose length is 4 bytes short of its PNG. The PNG reader is not told where the
  // chunk ends: it reads the whole PNG. The next header is read 4 bytes before the PNG's end.
  Bytes long_png = make_png(160, 50, pattern);
  DataFileBuilder short_ping;
  short_ping.script(three_frames(still_of(1))).header("PING", int32_t(long_png.size()) - 4);
  Bytes last = short_ping.bytes;
  last.insert(last.end(), long_png.begin(), long_png.end());
  rows.push_back({"A PNG 4 bytes longer than its PING chunk says",
                  "the PNG is read whole; its last 4 bytes are where the next chunk would start, "
                  "so `loader  : <file>: 4 stray bytes at offset N ignored` when it is the last "
                  "chunk, or the unknown-tag line (the tag is the PNG's last 4 bytes, the length "
                  "the next chunk's tag) when one follows; then plays",
                  "last in the file", last, Stage::PLAYS_ON,
                  text("loader  : %s: 4 stray bytes at offset %zu ignored\n", DATA_FILE.c_str(),
                       last.size() - 4)});
  Bytes followed = last;
  const Bytes after = DataFileBuilder().text("after").bytes;
  followed.insert(followed.end(), after.begin(), after.end());
  rows.push_back({"A PNG 4 bytes longer than its PING chunk says", rows.back().outcome,
                  "followed by a TEXT chunk", followed, Stage::PLAYS_ON,
                  text("loader  : %s: chunk 2 (\\xAEB`\\x82 at offset %zu): unknown tag; loading "
                       "stops here\n",
                       DATA_FILE.c_str(), last.size() - 4)});

  // Without a file on the command line, the player also says where it looked: WORKING_DIR
  // stands for the directory the row plays in.
  std::string installed_folder =
      (std::filesystem::path(TUNDRA_PLAYER).parent_path() / TUNDRA_SHOW_FROM_BIN)
          .lexically_normal()
          .string();
  Row missing{"No data file",
              "`loader  : cannot open data file <file>: No such file or directory`, then `loader  "
              ": no mote-tundra-2003.dat in <folder>/data (the working directory's data folder) "
              "nor in <prefix>/share/tundra (the installed show's); name the data file to play "
              "on the command line`",
              "",
              {},
              Stage::LOADING,
              "",
              Stream::ERR,
              "loader  : cannot open data file " + DATA_FILE +
                  ": No such file or directory\n"
                  "loader  : no mote-tundra-2003.dat in " +
                  WORKING_DIR + "/data (the working directory's data folder) nor in " +
                  installed_folder +
                  " (the installed show's); name the data file to play on the command line\n"};
  missing.place = Place::MISSING;
  rows.push_back(missing);
  Row directory{"A directory where the data file should be",
                "`loader  : cannot read data file <file>: it is not a regular file`",
                "",
                {},
                Stage::LOADING,
                "",
                Stream::ERR,
                "loader  : cannot read data file " + DATA_FILE + ": it is not a regular file\n"};
  directory.place = Place::DIRECTORY;
  rows.push_back(directory);
  return rows;
}

// A PING chunk 1 that cannot be used: loading stops there, and the still image that names it
// then finds no chunk 1.
Row bad_picture(const std::string& family, const std::string& outcome, const Bytes& payload,
                const std::string& problem) {
  Bytes file = DataFileBuilder().script(three_frames(still_of(1))).image(payload).bytes;
  std::string says = problem.empty() ? "ping: invalid data format\n"
                                     : "ping: " + where(file, 1) + ": " + problem + "\n";
  return {family,
          outcome,
          "",
          file,
          Stage::STARTING,
          says + cannot_be_used(file, 1),
          Stream::ERR,
          script_error(14, "SETCHUNK", "chunk 1 does not exist (only the script was loaded)")};
}

std::vector<Row> picture_rows() {
  const std::string then =
      ", `loader  : <file>: chunk 1 (PING at offset N) cannot be used; "
      "loading stops here`, then the script's `chunk 1 does not exist`";
  const std::string only = "; only 8-bit RGB or palette PNGs without transparency can be shown";
  std::vector<Row> rows;
  Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J',  'F',  'I',  'F',  0x00,
                0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0xFF, 0xD9};
  rows.push_back(
      bad_picture("A JPEG in a PING chunk", "`ping: invalid data format`" + then, jpeg, ""));
  rows.push_back(bad_picture("A 16-bit PNG",
                             "`ping: <file>: chunk 1 (PING at offset N): unsupported image: a "
                             "16-bit RGB PNG; only 8-bit RGB or palette PNGs without transparency "
                             "can be shown`" +
                                 then,
                             make_png(160, 50, pattern, PngKind::RGB16),
                             "unsupported image: a 16-bit RGB PNG" + only));
  rows.push_back(bad_picture("A PNG with alpha",
                             "`... unsupported image: a PNG with an alpha "
                             "channel; ...`" +
                                 then,
                             make_png(160, 50, pattern, PngKind::RGBA),
                             "unsupported image: a PNG with an alpha channel" + only));
  rows.push_back(bad_picture("A grey PNG", "`... unsupported image: a grey PNG; ...`" + then,
                             make_png(160, 50, pattern, PngKind::GREY),
                             "unsupported image: a grey PNG" + only));
  rows.push_back(bad_picture("A palette PNG with transparency",
                             "`... unsupported image: a palette PNG with transparency; ...`" + then,
                             make_png(160, 50, Rgb{200, 10, 10}, PngKind::PALETTE_TRNS),
                             "unsupported image: a palette PNG with transparency" + only));
  rows.push_back(bad_picture(
      "A 3,000-row PNG", "`... unsupported image: a PNG of 3000 rows (at most 2048); ...`" + then,
      make_png(160, 3000, Rgb{90, 90, 90}),
      "unsupported image: a PNG of 3000 rows (at most 2048)" + only));

  Bytes corrupt = make_png(160, 50, pattern);
  corrupt[corrupt.size() - 20] ^= 0x55;  // the end of the compressed pixels: their checksum
  rows.push_back(bad_picture("A PNG whose compressed pixels are corrupt",
                             "`ping: <file>: chunk 1 (PING at offset N): corrupt PNG: IDAT: "
                             "incorrect data check`" +
                                 then,
                             corrupt, "corrupt PNG: IDAT: incorrect data check"));
  Bytes cut = make_png(160, 50, pattern);
  cut.resize(cut.size() / 2);  // the chunk's length says so too: the PNG itself ends early
  rows.push_back(bad_picture("A PNG cut short inside a whole chunk",
                             "`ping: <file>: chunk 1 (PING at offset N): corrupt PNG: Read "
                             "Error`" +
                                 then,
                             cut, "corrupt PNG: Read Error"));
  return rows;
}

// A FONT chunk 2 that cannot be used, after text chunk 1: the scroller that names it then finds
// no chunk 2.
Row bad_font(const std::string& family, const std::string& outcome, const Bytes& payload,
             const std::string& problem) {
  Bytes file =
      DataFileBuilder().script(three_frames(scroller_of(1, 2))).text("abc").font(payload).bytes;
  return {family,
          outcome,
          "",
          file,
          Stage::STARTING,
          "loader  : " + where(file, 2) + ": not a font the engine can draw: " + problem + "\n" +
              cannot_be_used(file, 2),
          Stream::ERR,
          script_error(18, "SETCHUNK", "chunk 2 does not exist (2 chunks were loaded)")};
}

// A font of `count` glyphs, each `width` columns wide and `height` rows high, every pixel lit.
Bytes block_font(int count, int width, int height) {
  std::vector<uint16_t> ends;
  for (int g = 1; g <= count; ++g) ends.push_back(static_cast<uint16_t>(g * width));
  return support::make_font_raw(static_cast<uint8_t>(count), ends,
                                static_cast<uint16_t>(count * width + 1),
                                static_cast<uint16_t>(height), [](int, int) { return true; });
}

std::vector<Row> font_rows() {
  const std::string then =
      ", `loader  : <file>: chunk 2 (FONT at offset N) cannot be used; "
      "loading stops here`, then the script's `chunk 2 does not exist`";
  std::vector<Row> rows;
  rows.push_back(bad_font("A font with 60 glyphs",
                          "`loader  : <file>: chunk 2 (FONT at offset N): not a font the engine "
                          "can draw: 60 glyphs; the character map has 42`" +
                              then,
                          block_font(60, 4, 8), "60 glyphs; the character map has 42"));
  rows.push_back(bad_font("Glyph end columns that go backwards",
                          "`... not a font the engine can draw: glyph 1 ends at column 2, before "
                          "it starts at 5`" +
                              then,
                          support::make_font_raw(2, {5, 2}, 8, 4, [](int, int) { return true; }),
                          "glyph 1 ends at column 2, before it starts at 5"));
  rows.push_back(bad_font("A glyph that ends outside the strip",
                          "`... glyph 0 ends at column 8, outside the strip of width 8`" + then,
                          support::make_font_raw(1, {8}, 8, 4, [](int, int) { return true; }),
                          "glyph 0 ends at column 8, outside the strip of width 8"));
  Bytes short_strip = support::make_font_raw(1, {4}, 8, 4, [](int, int) { return true; });
  short_strip.resize(short_strip.size() - 4);
  rows.push_back(bad_font(
      "A strip shorter than its width and height say",
      "`... the strip of 8 x 4 pixels needs 128 bytes, but only 124 follow`" + then, short_strip,
      "the strip of 8 x 4 pixels needs 128 bytes, but only 124 "
      "follow"));
  rows.push_back(bad_font("An empty FONT payload", "`... the payload is empty`" + then, {},
                          "the payload is empty"));

  // Glyph cells that do not fit the scroller's buffer are clipped.
  for (auto [family, font] :
       {std::pair{"A font with a 40-pixel-wide glyph used by a scroller", block_font(3, 40, 8)},
        std::pair{"A font with a 40-pixel-high glyph used by a scroller", block_font(3, 8, 40)}}) {
    rows.push_back({family, "plays; the glyph cells are clipped to the buffer", "",
                    DataFileBuilder()
                        .script(ScriptBuilder(scroller_of(1, 2)).start(0).waitfor(60).end())
                        .text("abcabc")
                        .font(font)
                        .bytes,
                    Stage::PLAYS_ON});
  }
  return rows;
}

std::vector<Row> script_rows() {
  std::vector<Row> rows;
  ScriptBuilder no_end = still_of(1).start(0).waitfor(3);
  rows.push_back({"A script without END",
                  "`engine  : script error at byte 24: the script ends there without END`, in "
                  "the frame that runs off the end",
                  "", DataFileBuilder().script(no_end).image(make_png(160, 50, pattern)).bytes,
                  Stage::PLAYING, "", Stream::ERR,
                  "engine  : script error at byte 24: the script ends there without END\n"});
  rows.push_back({"An empty script",
                  "`engine  : script error at byte 0: the script ends there without END`", "",
                  DataFileBuilder().chunk("DEMO", {}).bytes, Stage::STARTING, "", Stream::ERR,
                  "engine  : script error at byte 0: the script ends there without END\n"});
  rows.push_back(
      {"A buffer of 65535 x 65535 pixels",
       "`engine  : script error at byte 0 (NEWBUF): buffer 0 of 65535 x 65535 pixels "
       "is too large (at most 16777216 pixels)`",
       "", DataFileBuilder().script(ScriptBuilder().newbuf(0, 0, 0, 65535, 65535).end()).bytes,
       Stage::STARTING, "", Stream::ERR,
       script_error(0, "NEWBUF",
                    "buffer 0 of 65535 x 65535 pixels is too large (at most 16777216 "
                    "pixels)")});
  for (uint8_t opcode : {0x00, 0x0A, 0xFE}) {
    // Undefined opcodes keep the classic lines, on standard output.
    rows.push_back({"An undefined opcode (0x00, 0x0A and 0xFE; 0x0A to 0xFE are undefined)",
                    "`Unknown OPCode in Script !!!` and `<opcode>@<byte>` on stdout",
                    text("opcode 0x%02X", opcode),
                    DataFileBuilder()
                        .script(still_of(1).start(0).waitfor(3).raw({opcode}))
                        .image(make_png(160, 50, pattern))
                        .bytes,
                    Stage::PLAYING, "", Stream::OUT,
                    text("Unknown OPCode in Script !!!\n%d@24\n", opcode)});
  }
  rows.push_back({"Bytes after END", "plays; they are never reached", "",
                  DataFileBuilder()
                      .script(three_frames(still_of(1)).raw({0x00, 0x01, 0xFE}))
                      .image(make_png(160, 50, pattern))
                      .bytes,
                  Stage::PLAYS_ON});
  return rows;
}

// ---- Rows generated from the opcode table ----

// The script every operand row starts with: buffers 0 and 1 over the picture; slot 0 a still
// image showing chunk 1, slot 1 a colour cycle on buffer 1, both running. Chunk 2 is a text.
const ScriptBuilder operand_prelude = ScriptBuilder()
                                          .newbuf(0, 0, 0, 160, 50)
                                          .newbuf(1, 0, 0, 160, 50)
                                          .newfx(0, STILL, 0)
                                          .setchunk(0, 0x80, 1)
                                          .newfx(1, CYCLE, 1)
                                          .start(0)
                                          .start(1);
constexpr int LOADED_CHUNKS = 3;

Bytes operand_file(const Bytes& instruction) {
  ScriptBuilder script = operand_prelude;
  script.bytes.insert(script.bytes.end(), instruction.begin(), instruction.end());
  return DataFileBuilder()
      .script(script.waitfor(3).end())
      .image(make_png(160, 50, pattern))
      .text("hello")
      .bytes;
}

// An operand value the prelude makes valid.
uint32_t valid_operand(const engine::Operand& operand) {
  using enum engine::OperandKind;
  switch (operand.kind) {
    case NEW_BUFFER:
    case NEW_SLOT:
      return 1;
    case BUFFER:
    case SLOT:
      return 0;
    case CLASS:
      return STILL;
    case PARAM:
      return 0x7F;  // no class has it, so any value goes
    case CHUNK:
      return 2;
    case WORD:
      return std::string(operand.name) == "width"    ? 160
             : std::string(operand.name) == "height" ? 50
                                                     : 0;
    case FRAME:
    case BYTE:
      return 1;
    case VALUE:
    case NONE:
      return 0;
  }
  return 0;
}

Bytes encode(const engine::OpcodeInfo& info, const std::vector<uint32_t>& operands) {
  Bytes bytes = {info.code};
  for (int i = 0; i < info.operand_count(); ++i)
    for (int b = engine::operand_width(info.operands[i].kind) - 1; b >= 0; --b)
      bytes.push_back(static_cast<uint8_t>(operands[i] >> (8 * b)));
  return bytes;
}

struct BadOperand {
  uint32_t value;
  std::string problem;  // empty: the show plays on
  std::string family, outcome;
};

// The values that break each kind of operand, and what the engine says about them.
std::vector<BadOperand> bad_operands(const engine::OpcodeInfo& info,
                                     const engine::Operand& operand) {
  using enum engine::OperandKind;
  const std::string name = operand.name;
  std::vector<BadOperand> bad;
  auto out_of_range = [&](const char* family, const char* table, int last, uint32_t value) {
    bad.push_back({value,
                   text("%s %u is out of range (%s are 0 to %d)", name.c_str(), value, table, last),
                   family,
                   text("`engine  : script error at byte N (OPCODE): OPERAND %d is out of range "
                        "(%s are 0 to %d)` (also for 255)",
                        last + 1, table, last)});
  };
  switch (operand.kind) {
    case NEW_BUFFER:
    case BUFFER:
      for (uint32_t value : {27u, 255u})
        out_of_range("A buffer operand of 27 or more", "buffers", 26, value);
      if (operand.kind == BUFFER)
        bad.push_back(
            {9, name + " 9 has not been created", "A buffer operand naming no buffer",
             "`engine  : script error at byte N (OPCODE): OPERAND 9 has not been created`"});
      break;
    case NEW_SLOT:
    case SLOT:
      for (uint32_t value : {27u, 255u})
        out_of_range("An FX slot operand of 27 or more", "FX slots", 26, value);
      if (operand.kind == SLOT)
        bad.push_back({9, name + " 9 holds no FX", "An FX slot operand naming no FX",
                       "`engine  : script error at byte N (OPCODE): slot 9 holds no FX`"});
      break;
    case CLASS:
      for (uint32_t value : {13u, 255u})
        out_of_range("An FX class of 13 or more", "FX classes", 12, value);
      break;
    case CHUNK:
      for (uint32_t value : {uint32_t{LOADED_CHUNKS}, 255u})
        bad.push_back(
            {value, text("chunk %u does not exist (%d chunks were loaded)", value, LOADED_CHUNKS),
             "A chunk operand past the last chunk loaded",
             "`engine  : script error at byte N (SETCHUNK): chunk 3 does not exist (3 chunks "
             "were loaded)` (also for 255)"});
      break;
    case PARAM:
      // Slot 0 is a still image: its one parameter takes an image, and the other operands give
      // a number or the text chunk.
      bad.push_back(
          {0x80,
           info.code == engine::SETINT
               ? "parameter 0x80 (image) of still takes an image chunk, not a number"
               : "parameter 0x80 (image) of still takes an image chunk, but chunk 2 is "
                 "a text chunk",
           "A parameter id given a value of the wrong kind",
           "`engine  : script error at byte N (OPCODE): parameter 0x80 (image) of still takes an "
           "image chunk, not a number` (or `..., but chunk 2 is a text chunk`)"});
      bad.push_back({0xFF, "", "A parameter id the slot's class does not have",
                     "plays; the instruction is ignored"});
      break;
    case BYTE:
      for (uint32_t value : {0u, 255u})
        bad.push_back({value, "", "Any byte operand (SKIP's byte, FXSTATE's state)",
                       "plays; states other than 1 and 2 change nothing"});
      break;
    case WORD:
      bad.push_back({65535, "", "A position, width or height of 65535",
                     "plays; the display shows what falls on the picture"});
      break;
    case FRAME:  // any frame is a frame to wait for
    case VALUE:  // numbers are each effect's to judge: see the numbers rows
    case NONE:
      break;
  }
  return bad;
}

std::vector<Row> operand_rows() {
  const uint32_t at = static_cast<uint32_t>(operand_prelude.bytes.size());
  std::vector<Row> rows;
  for (const engine::OpcodeInfo& info : engine::opcode_table) {
    std::vector<uint32_t> valid;
    for (int i = 0; i < info.operand_count(); ++i) valid.push_back(valid_operand(info.operands[i]));
    for (int i = 0; i < info.operand_count(); ++i) {
      for (const BadOperand& bad : bad_operands(info, info.operands[i])) {
        std::vector<uint32_t> operands = valid;
        operands[i] = bad.value;
        Row row{bad.family, bad.outcome,
                text("%s %s %u", info.name, info.operands[i].name, bad.value),
                operand_file(encode(info, operands))};
        if (!bad.problem.empty()) {
          row.stage = Stage::STARTING;
          row.message = script_error(at, info.name, bad.problem);
        }
        rows.push_back(row);
      }
    }
    // The same instruction with its last byte missing, at the end of the script.
    if (info.length > 1) {
      Bytes cut = encode(info, valid);
      cut.pop_back();
      ScriptBuilder script = operand_prelude;
      script.bytes.insert(script.bytes.end(), cut.begin(), cut.end());
      rows.push_back(
          {"An instruction cut off by the end of the script",
           "`engine  : script error at byte N (OPCODE): the instruction needs L bytes, but only "
           "L - 1 are left`",
           info.name, DataFileBuilder().script(script).image(make_png(160, 50, pattern)).bytes,
           Stage::STARTING, "", Stream::ERR,
           script_error(at, info.name,
                        text("the instruction needs %d bytes, but only %d are left", info.length,
                             info.length - 1))});
    }
  }
  return rows;
}

// ---- Rows generated from the effects' parameter table ----

// The chunks of the parameter rows: 1 a 256 x 256 image (large enough for every effect), 2 a
// text, 3 a font, 4 a 1 x 1 image.
enum : uint8_t {
  SCRIPT_CHUNK = 0,
  BIG_IMAGE = 1,
  TEXT_CHUNK = 2,
  FONT_CHUNK = 3,
  DOT_IMAGE = 4,
  MUSIC_CHUNK = 5
};

Bytes parameter_file(const ScriptBuilder& script) {
  return DataFileBuilder()
      .script(script)
      .image(make_png(256, 256, pattern))
      .text("abc cab")
      .font(small_font())
      .image(make_png(1, 1, Rgb{255, 255, 255}))
      .music(support::square_wave_module())
      .bytes;
}

// Every parameter of `class_id` set to a plausible value, but `except`.
ScriptBuilder& set_plausibly(ScriptBuilder& script, uint8_t class_id, int except = -1) {
  for (const fx::ParamInfo& param : fx::fx_classes[class_id]->params) {
    if (param.id == except) continue;
    switch (param.kind) {
      case fx::ParamKind::NUMBER:
        script.setint(0, param.id, param.name == "count" ? 20 : param.name == "right" ? 100 : 1);
        break;
      case fx::ParamKind::IMAGE:
        script.setchunk(0, param.id, BIG_IMAGE);
        break;
      case fx::ParamKind::TEXT:
        script.setchunk(0, param.id, TEXT_CHUNK);
        break;
      case fx::ParamKind::FONT:
        script.setchunk(0, param.id, FONT_CHUNK);
        break;
    }
  }
  return script;
}

const char* with_article(fx::ParamKind kind) {
  switch (kind) {
    case fx::ParamKind::NUMBER:
      return "a number";
    case fx::ParamKind::IMAGE:
      return "an image chunk";
    case fx::ParamKind::TEXT:
      return "a text chunk";
    case fx::ParamKind::FONT:
      return "a font chunk";
  }
  return "?";
}

std::vector<Row> parameter_kind_rows() {
  struct Offer {
    uint8_t chunk;  // SCRIPT_CHUNK .. MUSIC_CHUNK, or 255 for a number
    const char* what;
    fx::ParamKind kind;  // the parameter kind this offer suits
  };
  const Offer offers[] = {{255, "a number", fx::ParamKind::NUMBER},
                          {SCRIPT_CHUNK, "a script chunk", fx::ParamKind::NUMBER},
                          {BIG_IMAGE, "an image chunk", fx::ParamKind::IMAGE},
                          {TEXT_CHUNK, "a text chunk", fx::ParamKind::TEXT},
                          {FONT_CHUNK, "a font chunk", fx::ParamKind::FONT},
                          {MUSIC_CHUNK, "a music chunk", fx::ParamKind::NUMBER}};
  std::vector<Row> rows;
  for (uint8_t c = 0; c < fx::FX_CLASS_COUNT; ++c) {
    const fx::FxClass& info = *fx::fx_classes[c];
    for (const fx::ParamInfo& param : info.params) {
      for (const Offer& offer : offers) {
        // The script and the music suit no parameter, whatever their kind says.
        const bool suits_none = offer.chunk == SCRIPT_CHUNK || offer.chunk == MUSIC_CHUNK;
        if (offer.kind == param.kind && !suits_none) continue;  // the right kind
        if (offer.chunk == 255 && param.kind == fx::ParamKind::NUMBER) continue;
        ScriptBuilder script = ScriptBuilder().newbuf(0, 0, 0, 160, 50).newfx(0, c, 0);
        std::string problem = text("parameter 0x%02X (%.*s) of %.*s takes %s", param.id,
                                   int(param.name.size()), param.name.data(), int(info.name.size()),
                                   info.name.data(), with_article(param.kind));
        if (offer.chunk == 255) {
          script.setint(0, param.id, 1);
          problem += ", not a number";
        } else {
          script.setchunk(0, param.id, offer.chunk);
          problem += text(", but chunk %u is %s", offer.chunk, offer.what);
        }
        rows.push_back(
            {"Chunk parameters of the wrong kind: every parameter of every class given "
             "each kind it does not take (a number, the script, an image, a text, a "
             "font, the music)",
             "`engine  : script error at byte 14 (SETCHUNK): parameter 0x81 (text) of scroller "
             "takes a text chunk, but chunk 3 is a font chunk`, and so on",
             text("%.*s %.*s given %s", int(info.name.size()), info.name.data(),
                  int(param.name.size()), param.name.data(), offer.what),
             parameter_file(script.start(0).waitfor(3).end()), Stage::STARTING, "", Stream::ERR,
             script_error(14, offer.chunk == 255 ? "SETINT" : "SETCHUNK", problem)});
      }
    }
  }
  return rows;
}

std::vector<Row> number_rows() {
  std::vector<Row> rows;
  for (uint8_t c = 0; c < fx::FX_CLASS_COUNT; ++c) {
    const fx::FxClass& info = *fx::fx_classes[c];
    for (const fx::ParamInfo& param : info.params) {
      if (param.kind != fx::ParamKind::NUMBER) continue;
      ScriptBuilder script = ScriptBuilder().newbuf(0, 0, 0, 160, 50).newfx(0, c, 0);
      set_plausibly(script, c).start(0);
      for (int32_t value : {INT32_MIN, -1, INT32_MAX}) script.setint(0, param.id, value).waitfor(1);
      rows.push_back(
          {"Numbers an effect cannot use: every number parameter of every class set "
           "to -2^31, -1 and 2^31 - 1 in turn",
           "plays; each effect limits, wraps or ignores the number",
           text("%.*s %.*s", int(info.name.size()), info.name.data(), int(param.name.size()),
                param.name.data()),
           parameter_file(script.end())});
    }
  }
  return rows;
}

std::vector<Row> small_image_rows() {
  std::vector<Row> rows;
  for (uint8_t c = 0; c < fx::FX_CLASS_COUNT; ++c) {
    const fx::FxClass& info = *fx::fx_classes[c];
    for (const fx::ParamInfo& param : info.params) {
      if (param.kind != fx::ParamKind::IMAGE) continue;
      ScriptBuilder script = ScriptBuilder().newbuf(0, 0, 0, 160, 50).newfx(0, c, 0);
      set_plausibly(script, c, param.id).setchunk(0, param.id, DOT_IMAGE);
      rows.push_back(
          {"Images smaller than their buffers: a 1 x 1 image for every image "
           "parameter of every class, on a 160 x 50 buffer",
           "plays; pixels the image does not have read as black",
           text("%.*s %.*s", int(info.name.size()), info.name.data(), int(param.name.size()),
                param.name.data()),
           parameter_file(script.start(0).waitfor(30).end())});
    }
  }
  return rows;
}

std::vector<Row> buffer_rows() {
  std::vector<Row> rows;
  for (uint8_t c = 0; c < fx::FX_CLASS_COUNT; ++c) {
    ScriptBuilder script = ScriptBuilder().newbuf(0, 0, 0, 0, 0).newfx(0, c, 0);
    set_plausibly(script, c).start(0).waitfor(10);
    rows.push_back({"A buffer of 0 x 0 pixels under every class",
                    "plays; nothing is drawn or shown", std::string(fx::fx_classes[c]->name),
                    parameter_file(script.end())});
  }
  auto shown = [](uint16_t x, uint16_t y, uint16_t width, uint16_t height) {
    ScriptBuilder script = ScriptBuilder().newbuf(0, x, y, width, height).newfx(0, STILL, 0);
    return DataFileBuilder()
        .script(script.setchunk(0, 0x80, 1).start(0).waitfor(10).end())
        .image(make_png(width, height, pattern))
        .bytes;
  };
  rows.push_back({"A buffer larger than the picture shown (320 x 100 at 0,0)",
                  "plays; the display shows the part on the picture", "", shown(0, 0, 320, 100)});
  rows.push_back({"A buffer reaching past the picture's edges (160 x 50 at 100,30)",
                  "plays; the display shows the part on the picture", "", shown(100, 30, 160, 50)});
  rows.push_back({"A buffer of fewer than 50 rows shown (160 x 7)",
                  "plays; the display shows the rows it has", "", shown(0, 20, 160, 7)});
  return rows;
}

// ---- Playing rows ----

struct Played {
  int status = -1;
  std::string out, err;
  std::string dir;  // where the player ran
};

Played play(const Row& row) {
  support::TempDir dir;
  if (row.place == Place::FILE) dir.write(DATA_FILE, row.file);
  if (row.place == Place::DIRECTORY)
    std::filesystem::create_directories(dir.path + "/" + DATA_FILE);
  Played played;
  played.dir = dir.path;
  std::string command =
      "cd " + support::shell_quote(dir.path) +
      " && env -u TERM -u DISPLAY AAOPTS='-driver stdout -width 80 -height 25' " TUNDRA_PLAYER
      " -nosync";
  // The farewell is the same whatever the input, so rows that play on skip its 8.7 seconds of
  // pauses. Fatal rows keep it on, so that its absence after the message is seen.
  if (row.stage == Stage::PLAYS_ON) command += " --no-farewell";
  support::run_command(command + " </dev/null >out 2>err", &played.status);
  played.out = support::read_file(dir.path + "/out");
  played.err = support::read_file(dir.path + "/err");
  return played;
}

// Each row is a player of its own; they run side by side.
constexpr int PARALLEL_RUNS = 12;

std::vector<Played> play_all(const std::vector<Row>& rows) {
  std::vector<Played> played(rows.size());
  std::atomic<size_t> next{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < PARALLEL_RUNS; ++w)
    workers.emplace_back([&] {
      for (size_t i; (i = next++) < rows.size();) played[i] = play(rows[i]);
    });
  for (std::thread& worker : workers) worker.join();
  return played;
}

void expect_rows(const std::vector<Row>& rows) {
  std::vector<Played> played = play_all(rows);
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    const Played& got = played[i];
    SCOPED_TRACE(row.family + (row.name.empty() ? "" : ": " + row.name));
    std::string err = "engine  : loading...\n" + row.loader_says;
    if (row.stage >= Stage::STARTING) err += "engine  : Initializing the FX\n";
    if (row.stage >= Stage::PLAYING) err += "engine  : Starting\n";
    if (row.stage == Stage::PLAYS_ON)
      err += "engine  : Stopping\n";
    else if (row.stream == Stream::ERR)
      err += row.message;
    if (size_t at = err.find(WORKING_DIR); at != std::string::npos)
      err.replace(at, WORKING_DIR.size(), got.dir);
    EXPECT_EQ(got.status, row.stage == Stage::PLAYS_ON ? 0 : 255);
    EXPECT_EQ(got.err, err);
    EXPECT_TRUE(got.out.starts_with("loader  : loading " + DATA_FILE + "\n"))
        << got.out.substr(0, 200);
    std::string tail = got.out.substr(got.out.size() - std::min<size_t>(got.out.size(), 300));
    if (row.stage == Stage::PLAYS_ON) {
      EXPECT_TRUE(got.out.ends_with("\n\f\n")) << tail;  // the stdout driver's last frame
    } else {
      EXPECT_EQ(got.out.find("congratulations"), std::string::npos);
      if (row.stream == Stream::OUT) {
        EXPECT_TRUE(got.out.ends_with(row.message)) << tail;
      }
    }
  }
}

TEST(BadInputCatalogue, BrokenContainers) {
  expect_rows(container_rows());
}

TEST(BadInputCatalogue, PicturesTheReaderCannotUse) {
  expect_rows(picture_rows());
}

TEST(BadInputCatalogue, FontsTheReaderCannotUseOrTheBufferCannotHold) {
  expect_rows(font_rows());
}

TEST(BadInputCatalogue, BrokenScripts) {
  expect_rows(script_rows());
}

TEST(BadInputCatalogue, EveryOpcodeWithEveryOutOfRangeOperand) {
  expect_rows(operand_rows());
}

TEST(BadInputCatalogue, ChunkParametersOfTheWrongKind) {
  expect_rows(parameter_kind_rows());
}

TEST(BadInputCatalogue, NumbersAnEffectCannotUse) {
  expect_rows(number_rows());
}

TEST(BadInputCatalogue, ImagesAndBuffersOfSizesTheEffectsDoNotExpect) {
  std::vector<Row> rows = small_image_rows();
  for (Row& row : buffer_rows()) rows.push_back(row);
  expect_rows(rows);
}

// ---- The README's table ----

std::vector<Row> every_row() {
  std::vector<Row> rows;
  for (auto make : {container_rows, picture_rows, font_rows, script_rows, operand_rows,
                    parameter_kind_rows, number_rows, small_image_rows, buffer_rows})
    for (Row& row : make()) rows.push_back(row);
  return rows;
}

// One line per family, in the order the rows come.
std::string catalogue_table() {
  std::vector<std::string> order;
  std::map<std::string, std::pair<const Row*, int>> families;
  std::vector<Row> rows = every_row();
  for (const Row& row : rows) {
    auto [it, added] = families.try_emplace(row.family, &row, 0);
    if (added) order.push_back(row.family);
    ++it->second.second;
  }
  std::string table =
      "| input | what the player says and does | status | rows |\n|---|---|---|---|\n";
  for (const std::string& family : order) {
    const auto& [row, count] = families.at(family);
    table += "| " + family + " | " + row->outcome + " | " +
             (row->stage == Stage::PLAYS_ON ? "0" : "255") + " | " + std::to_string(count) + " |\n";
  }
  return table;
}

// The README's "Bad input catalogue" section holds this table, and the two must agree. Print it
// with --gtest_also_run_disabled_tests --gtest_filter='*PrintTable'.
TEST(BadInputCatalogue, DISABLED_PrintTable) {
  std::printf("%zu rows\n\n%s", every_row().size(), catalogue_table().c_str());
}

TEST(BadInputCatalogue, TheReadmeTableIsThisTable) {
  std::string readme = support::read_file(TUNDRA_SOURCE_DIR "/README.md");
  size_t section = readme.find("\n## Bad input catalogue\n");
  ASSERT_NE(section, std::string::npos) << "README.md has no Bad input catalogue section";
  size_t start = readme.find("\n| input |", section);
  ASSERT_NE(start, std::string::npos);
  size_t end = readme.find("\n\n", start + 1);
  EXPECT_EQ(readme.substr(start + 1, end - start), catalogue_table());
}

}  // namespace
