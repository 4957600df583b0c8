// The static check: every finding, with the statement and byte it points at, on shows compiled
// here and on data files built byte by byte.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/fatal.h"
#include "fixtures/square_wave_module.h"
#include "support/tool_harness.h"

namespace {

using support::Bytes;
using support::DataFileBuilder;
using support::ScriptBuilder;
using support::ShowDir;

// Chunks of every size and kind the checks compare; buffer 0 is as large as the picture. The
// script's own instructions start at byte 10, after this NEWBUF.
const char* const PRELUDE =
    "image white \"white.png\"      # 1: 160 x 50\n"
    "image small \"small.png\"      # 2: 64 x 64\n"
    "image texture \"texture.png\"  # 3: 256 x 256\n"
    "image tall \"tall.png\"        # 4: 160 x 120\n"
    "image wide \"wide.png\"        # 5: 320 x 50\n"
    "image big \"big.png\"          # 6: 512 x 128\n"
    "text hello \"hello.txt\"       # 7: hello, then a zero byte\n"
    "text bare \"hello.txt\" raw    # 8: hello\n"
    "text empty \"empty.txt\"       # 9: a zero byte\n"
    "font abc \"abc.txt\"           # 10: a, b and c, 3 rows high\n"
    "font broad \"broad.font\" raw  # 11: one glyph 33 pixels wide\n"
    "text cab \"cab.txt\"           # 12: words of a, b and c\n"
    "buffer 0 at 0,0 size 160x50\n";

struct CheckDir : ShowDir {
  CheckDir() {
    dir.write("big.png", support::make_png(512, 128, support::Rgb{1, 2, 3}));
    write("empty.txt", "");
    write("cab.txt", "cab bac");
    dir.write("broad.font", support::make_font({{std::string(33, '#')}}));
    write("prelude.tds", PRELUDE);
  }

  // Every finding on the show made of the prelude and `source`, which starts at line 2.
  std::vector<std::string> check(const std::string& source) {
    return findings("include \"prelude.tds\"\n" + source);
  }
};

bool contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "\n  " + line;
  return text;
}

TEST(Check, ACleanShowHasNothingToSay) {
  CheckDir show;
  std::vector<std::string> findings = show.check(
      "fx 0 still on 0\n"
      "set 0 image = white\n"
      "fx 1 scroller on 0\n"
      "set 1 text = cab\n"
      "set 1 font = abc\n"
      "fx 2 rotozoom on 0\n"
      "set 2 texture = texture\n"
      "start 0\n"
      "start 1\n"
      "at 0:01\n"
      "stop 1\n"
      "start 2\n"
      "wait 2s\n"
      "end\n");
  EXPECT_TRUE(findings.empty()) << joined(findings);
}

// Each source, after the prelude, makes the check say this, among what else it says.
TEST(Check, EveryFindingPointsAtItsStatementAndByte) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      // Tables
      {"buffer 30 at 0,0 size 1x1\nend",
       "show.tds:2:8: error: buffer 30 is out of range: buffers are 0 to 26 (byte 10: buffer 30 "
       "at 0,0 size 1x1)"},
      {"view 1 at 0,0 of 9\nend",
       "show.tds:2:18: error: source buffer 9 has not been created (byte 10: view 1 at 0,0 of 9)"},
      {"fx 0 cycle on 9\nend",
       "show.tds:2:15: error: buffer 9 has not been created (byte 10: fx 0 cycle on 9)"},
      {"fx 27 cycle on 0\nend",
       "show.tds:2:4: error: fx slot 27 is out of range: slots are 0 to 26 (byte 10: fx 27 cycle "
       "on 0)"},
      {"start 3\nend",
       "show.tds:2:7: error: fx 3 holds no effect: no fx statement has created it (byte 10: start "
       "3)"},
      {"fx 0 13 on 0\nend",
       "show.tds:2:6: error: class 13 is out of range: effect classes are 0 to 12 (byte 10: fx 0 "
       "13 on 0)"},
      {"fx 0 still on 0\nset 0 image = chunk 20\nend",
       "show.tds:3:21: error: chunk 20 does not exist: the file holds 13 chunks (byte 14: set 0 "
       "image = chunk 20)"},
      {"buffer 1 at 0,0 size 5000x5000\nend",
       "show.tds:2:22: error: buffer 1 of 5000 x 5000 pixels is too large: the engine makes "
       "buffers of at most 16777216 pixels (byte 10: buffer 1 at 0,0 size 5000x5000)"},
      {"buffer 1 at 0,0 size 0 x 50\nend",
       "show.tds:2:22: warning: buffer 1 of 0 x 50 has no pixels (byte 10: buffer 1 at 0,0 size 0 "
       "x 50)"},
      // Parameters
      {"fx 0 cycle on 0\nset 0 0x85 = 7\nend",
       "show.tds:3:7: warning: cycle has no parameter 0x85: the engine ignores it (byte 14: set 0 "
       "0x85 = 7)"},
      {"fx 0 cycle on 0\nset 0 colour = white\nend",
       "show.tds:3:16: error: colour (0x80) of cycle takes a number, not a chunk (byte 14: set 0 "
       "colour = white)"},
      {"fx 0 still on 0\nset 0 image = 5\nend",
       "show.tds:3:15: error: image (0x80) of still takes an image chunk, not a number (byte 14: "
       "set 0 image = 5)"},
      {"fx 0 still on 0\nset 0 image = hello\nend",
       "show.tds:3:15: error: image (0x80) of still takes an image chunk, but chunk 7 is a text "
       "chunk (byte 14: set 0 image = hello)"},
      {"fx 0 blobs on 0\nset 0 count = -1\nend",
       "show.tds:3:15: error: count -1 is negative (byte 14: set 0 count = -1)"},
      {"fx 0 sparks on 0\nset 0 count = 6\nend",
       "show.tds:3:15: error: 6 sparks need rows 0 to 50, but buffer 0 has 50 rows: at most 5 "
       "sparks fit (byte 14: set 0 count = 6)"},
      // Images against what they feed
      {"fx 0 still on 0\nset 0 image = small\nend",
       "show.tds:3:15: error: image chunk 2 (64 x 64) is smaller than buffer 0 (160 x 50) that it "
       "feeds (byte 14: set 0 image = small)"},
      {"fx 0 still on 0\nset 0 image = wide\nend",
       "show.tds:3:15: warning: image chunk 5 (320 x 50) is read in rows of 160, the width of "
       "buffer 0 (160 x 50): its picture will be skewed (byte 14: set 0 image = wide)"},
      {"fx 0 rotozoom on 0\nset 0 texture = small\nend",
       "show.tds:3:17: error: image chunk 2 (64 x 64) is smaller than the 256 x 256 texture the "
       "rotozoom reads (byte 14: set 0 texture = small)"},
      {"fx 0 rotozoom on 0\nset 0 texture = big\nend",
       "show.tds:3:17: warning: image chunk 6 (512 x 128) is read in rows of 256: the texture "
       "will be skewed (byte 14: set 0 texture = big)"},
      {"fx 0 curtain on 0\nset 0 source = wide\nend",
       "show.tds:3:16: error: image chunk 5 (320 x 50) is not as wide as buffer 0 (160 x 50): the "
       "curtain reads pages in rows of 160 (byte 14: set 0 source = wide)"},
      {"fx 0 curtain on 0\nset 0 source = tall\nend",
       "show.tds:3:16: error: image chunk 4 (160 x 120) is not a whole number of 50-row pages, "
       "the height of buffer 0 (160 x 50): its last page reads past the image (byte 14: set 0 "
       "source = tall)"},
      // The scroller's font and text
      {"buffer 1 at 0,0 size 160x14\nfx 0 scroller on 1\nset 0 font = abc\nend",
       "show.tds:4:14: error: font 'abc' is 3 rows high, but the scroller draws from row 12 of "
       "buffer 1 (14 rows): 2 rows fit (byte 24: set 0 font = abc)"},
      {"fx 0 scroller on 0\nset 0 font = broad\nend",
       "show.tds:3:14: error: font 'broad' has a glyph 33 pixels wide, so cells of 64: the "
       "scroller's margin holds cells of 32, for glyphs narrower than 32 (byte 14: set 0 font = "
       "broad)"},
      {"fx 0 scroller on 0\nset 0 text = bare\nend",
       "show.tds:3:14: error: text chunk 8 has no zero byte, but the scroller reads its text up "
       "to one (declare it without 'raw') (byte 14: set 0 text = bare)"},
      {"fx 0 scroller on 0\nset 0 text = empty\nend",
       "show.tds:3:14: error: text chunk 9 is empty: the scroller needs a character before its "
       "zero byte (byte 14: set 0 text = empty)"},
      {"fx 0 scroller on 0\nset 0 font = abc\nset 0 text = hello\nend",
       "show.tds:4:14: warning: text 'hello' has characters font 'abc' has no glyphs for ('h', "
       "'e', 'l', 'o'): they scroll as gaps (byte 18: set 0 text = hello)"},
      // Starting and stopping
      {"fx 0 cycle on 0\nstate 0 3\nend",
       "show.tds:3:9: warning: state 3 does nothing: 1 starts an effect and 2 stops it (byte 14: "
       "state 0 3)"},
      {"fx 20 cycle on 0\nstart 20\nend",
       "show.tds:3:7: warning: fx 20 is started but never shown: the engine renders and shows "
       "slots 0 to 17 only (byte 14: start 20)"},
      {"at 100\nat 50\nend",
       "show.tds:3:4: warning: at frame 50 (0:01.50) goes back in time: the show is at frame 100 "
       "here, so it resumes at frame 101 (byte 13: at 50)"},
      // What is rendered and shown once the script waits
      {"view 1 at 80,0 of 0\nfx 0 cycle on 1\nstart 0\nwait 1\nend",
       "show.tds:4:1: error: buffer 1 (160 x 50 at 80,0), shown by fx 0, does not fit the 160 x "
       "50 picture (byte 21: start 0)"},
      {"fx 0 scroller on 0\nset 0 text = hello\nstart 0\nwait 1\nend",
       "show.tds:4:1: error: fx 0 (scroller) renders without its font: set it before the wait "
       "that follows (byte 18: start 0)"},
      {"fx 0 fade on 0\nstart 0\nwait 1\nend",
       "show.tds:3:1: error: fx 0 (fade) renders without its source (needed while mode is 0): set "
       "it before the wait that follows (byte 14: start 0)"},
      {"fx 0 melt on 0\nset 0 flowing = 1\nstart 0\nwait 1\nend",
       "show.tds:4:1: error: fx 0 (melt) renders without its gravity_map (needed while flowing "
       "is 1): set it before the wait that follows (byte 21: start 0)"},
      {"fx 0 wipe on 0\nset 0 right = 200\nset 0 bottom = 10\nset 0 direction = 1\nstart 0\n"
       "wait 1\nend",
       "show.tds:6:1: error: fx 0 (wipe) paints columns 0 to 199 and rows 0 to 9, outside its "
       "buffer 0 (160 x 50) (byte 35: start 0)"},
      // The script's end
      {"fx 0 cycle on 0",
       "show.tds:2:1: error: the script ends after this instruction without END: the engine "
       "would run off its end (byte 10: fx 0 cycle on 0)"},
      {"end\nskip", "show.tds:3:1: warning: 2 bytes after END are never run (byte 11: skip)"},
      {"bytes 0x0A",
       "show.tds:2:1: error: unknown opcode 0x0A: the engine stops the show here (byte 10: bytes "
       "0x0A)"},
      {"bytes 0x01 3",
       "show.tds:2:1: error: NEWBUF needs 10 bytes, but the script has 2 left (byte 10: bytes "
       "0x01 3)"},
  };
  for (const auto& [source, finding] : cases) {
    CheckDir show;
    std::vector<std::string> findings = show.check(source);
    EXPECT_TRUE(contains(findings, finding)) << source << "\nsaid:" << joined(findings);
  }
}

TEST(Check, SettingWhatAnEffectNeedsBeforeTheWaitIsEnough) {
  CheckDir show;
  // Started first, given its text and font in the same frame: nothing renders in between.
  std::vector<std::string> findings =
      show.check("fx 0 scroller on 0\nstart 0\nset 0 text = cab\nset 0 font = abc\nwait 1\nend");
  EXPECT_TRUE(findings.empty()) << joined(findings);
  // Noise needs its picture only in mode 1.
  findings = show.check("fx 0 noise on 0\nstart 0\nwait 1\nset 0 mode = 1\nwait 1\nend");
  EXPECT_TRUE(contains(findings,
                       "show.tds:3:1: error: fx 0 (noise) renders without its source (needed "
                       "while mode is 1): set it before the wait that follows (byte 14: start 0)"))
      << joined(findings);
}

TEST(Check, ErrorsFailTheBuildAndWarningsDoNot) {
  CheckDir show;
  show.write("warned.tds", std::string(PRELUDE) + "fx 20 cycle on 0\nstart 20\nend\n");
  support::ToolRun run = show.run({"build", show.path("warned.tds"), "-o", show.path("a.dat")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err,
            "warned.tds:15:7: warning: fx 20 is started but never shown: the engine renders and "
            "shows slots 0 to 17 only (byte 14: start 20)\n0 errors, 1 warning\n");
  EXPECT_FALSE(show.read("a.dat").empty());

  run = show.run({"build", show.path("warned.tds"), "-o", show.path("b.dat"), "--strict"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(show.read("b.dat").empty());

  show.write("broken.tds", std::string(PRELUDE) + "fx 0 cycle on 9\nend\n");
  run = show.run({"build", show.path("broken.tds"), "-o", show.path("c.dat")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "broken.tds:14:15: error: buffer 9 has not been created (byte 10: fx 0 cycle on 9)\n"
            "1 error, 0 warnings\n");
  EXPECT_TRUE(show.read("c.dat").empty());  // nothing is written

  run = show.run({"build", show.path("broken.tds"), "-o", show.path("c.dat"), "--no-check"});
  EXPECT_EQ(run.status, 0);
  run = show.run({"check", show.path("c.dat")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "c.dat: byte 10: error: buffer 9 has not been created (NEWFX 0, 0, 9)\n"
            "1 error, 0 warnings\n");
}

// The check of a data file: positions are script bytes, and the container is judged first.
std::vector<std::string> check_file(const Bytes& file) {
  tools::Container container = tools::read_data_file(file, "show.dat");
  std::vector<std::string> lines;
  for (const tools::Diagnostic& diagnostic : tools::check_show(container).diagnostics.items)
    lines.push_back(format(diagnostic));
  return lines;
}

TEST(Check, DataFilesAreJudgedAsTheEngineWouldLoadThem) {
  const Bytes end = ScriptBuilder().end().bytes;
  DataFileBuilder too_many;
  too_many.chunk("DEMO", end);
  for (int i = 0; i < 127; ++i) too_many.text("x");
  Bytes with_stray_bytes = DataFileBuilder().chunk("DEMO", end).bytes;
  with_stray_bytes.insert(with_stray_bytes.end(), {'D', 'E', 'M', 'O', 0, 0});
  const std::vector<std::pair<Bytes, std::string>> cases = {
      {DataFileBuilder().chunk("DEMO", {}).bytes,
       "show.dat: byte 0: error: the script is empty: it needs at least END"},
      {DataFileBuilder()
           .script(
               ScriptBuilder().newbuf(0, 0, 0, 160, 50).newfx(0, 2, 0).setchunk(0, 0x80, 2).end())
           .chunk("JUNK", {1})
           .image(support::make_png(160, 50, support::Rgb{0, 0, 0}))
           .bytes,
       "show.dat: byte 14: error: chunk 2 is never loaded: the engine stops loading at chunk 1 "
       "(SETCHUNK 0, 128, 2)"},
      {DataFileBuilder().chunk("DEMO", end).header("TEXT", -5).bytes,
       "show.dat: error: chunk 1 (TEXT at offset 9) has a negative length (-5); the engine "
       "refuses the file"},
      {DataFileBuilder().chunk("DEMO", end).header("TEXT", 100).bytes,
       "show.dat: error: chunk 1 (TEXT at offset 9) is truncated: its length is 100 bytes but "
       "only 0 follow; the engine refuses the file"},
      {DataFileBuilder().chunk("DEMO", end).chunk("JUNK", {}).text("x").bytes,
       "show.dat: error: chunk 1 (JUNK at offset 9): unknown tag; the engine stops loading here "
       "and never sees the chunks after it"},
      {DataFileBuilder().chunk("DEMO", end).chunk("PING", {'n', 'o'}).bytes,
       "show.dat: error: chunk 1 (PING at offset 9): not a PNG file (no PNG signature); the "
       "engine stops loading here"},
      {DataFileBuilder().chunk("DEMO", end).chunk("FONT", {50}).bytes,
       "show.dat: error: chunk 1 (FONT at offset 9): not a font the engine can draw: 50 glyphs; "
       "the character map has 42; the engine stops loading here"},
      {with_stray_bytes,
       "show.dat: warning: 6 stray bytes at offset 9, too few for a chunk header, are ignored"},
      {too_many.bytes,
       "show.dat: error: the file holds more than 127 chunks; the engine refuses the file"},
      {DataFileBuilder().text("x").chunk("DEMO", end).bytes,
       "show.dat: error: chunk 0 is a text chunk, but a data file begins with its DEMO chunk; the "
       "engine refuses the file"},
      {Bytes{}, "show.dat: error: the file holds no usable chunk 0; the engine refuses the file"},
  };
  for (const auto& [file, finding] : cases) {
    std::vector<std::string> findings = check_file(file);
    EXPECT_TRUE(contains(findings, finding)) << finding << "\nsaid:" << joined(findings);
  }
}

// The music: a module the sound library refuses is an error with its reason, a tune shorter than
// the show a warning with the difference, and one statement is all a show may have; in a source
// at the statement, in a data file at the chunk.
TEST(Check, TheMusicMustOpenAndShouldLastAsLongAsTheShow) {
  CheckDir show;
  show.dir.write("tune.mod", support::square_wave_module());  // 64 frames
  show.write("noise.mod", "not a module at all");
  const std::string waits = "wait 100\nend\n";  // END runs in frame 100
  const std::vector<std::pair<std::string, std::string>> sources = {
      {"music \"noise.mod\"\n" + waits,
       "show.tds:1:7: error: 'noise.mod' cannot be played: libxmp: unrecognised module format"},
      {"music \"tune.mod\"\n" + waits,
       "show.tds:1:7: warning: the music ends at frame 64 (0:01.92), 1.08s (36 frames) before the "
       "show does"},
      {"music \"tune.mod\"\nmusic \"tune.mod\"\n" + waits,
       "show.tds:2:1: error: a show has one music statement; the first is at show.tds:1"},
  };
  for (const auto& [source, finding] : sources) {
    std::vector<std::string> findings = show.findings(source);
    EXPECT_TRUE(contains(findings, finding)) << finding << "\nsaid:" << joined(findings);
  }
  EXPECT_TRUE(show.findings("music \"tune.mod\"\nwait 64\nend\n").empty());

  const Bytes script = ScriptBuilder().waitfor(100).end().bytes;
  const std::vector<std::pair<Bytes, std::string>> files = {
      {DataFileBuilder().chunk("DEMO", script).music({1, 2, 3}).bytes,
       "show.dat: error: chunk 1 (TUNE at offset 12): the music cannot be played: libxmp: "
       "unrecognised module format"},
      {DataFileBuilder().chunk("DEMO", script).music(support::square_wave_module()).bytes,
       "show.dat: warning: chunk 1 (TUNE at offset 12): the music ends at frame 64 (0:01.92), "
       "1.08s (36 frames) before the show does"},
  };
  for (const auto& [file, finding] : files) {
    std::vector<std::string> findings = check_file(file);
    EXPECT_TRUE(contains(findings, finding)) << finding << "\nsaid:" << joined(findings);
  }
}

// A PING chunk whose length is 4 bytes short of its PNG plays: the engine reads the whole PNG and
// then looks for the next chunk inside it. The check says so, and finds nothing wrong with the
// script's use of the image.
TEST(Check, APngLongerThanItsChunkIsReadWholeAndWarnedOf) {
  const Bytes png = support::make_png(160, 50, support::Rgb{255, 255, 255});  // shown as it is
  DataFileBuilder start;
  start.script(ScriptBuilder().newbuf(0, 0, 0, 160, 50).newfx(0, 2, 0).setchunk(0, 0x80, 1).end())
      .header("PING", int32_t(png.size()) - 4);
  Bytes last = start.bytes;
  last.insert(last.end(), png.begin(), png.end());
  Bytes followed = last;
  const Bytes text = DataFileBuilder().text("after").bytes;
  followed.insert(followed.end(), text.begin(), text.end());
  const size_t inside = last.size() - 4;  // the PNG's last 4 bytes
  const std::string overrun = engine::format_text(
      "show.dat: warning: chunk 1 (PING at offset %zu): the PNG is 4 bytes longer than the "
      "chunk's length of %zu; the engine reads the whole PNG all the same, then looks for the next "
      "chunk at offset %zu, inside it",
      start.bytes.size() - 8, png.size() - 4, inside);
  EXPECT_EQ(check_file(last),
            (std::vector<std::string>{
                engine::format_text("show.dat: warning: 4 stray bytes at offset %zu, too few for a "
                                    "chunk header, are ignored",
                                    inside),
                overrun}));
  EXPECT_EQ(check_file(followed),
            (std::vector<std::string>{
                overrun, engine::format_text("show.dat: warning: chunk 2 (\\xAEB`\\x82 at offset "
                                             "%zu): unknown tag; the engine stops loading here",
                                             inside)}));
  CheckDir show;
  show.dir.write("followed.dat", followed);
  support::ToolRun run = show.run({"check", show.path("followed.dat")});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.err.ends_with("0 errors, 2 warnings\n")) << run.err;
}

TEST(Check, ListSaysWhatEachChunkHoldsAndHowLongTheShowRuns) {
  CheckDir show;
  show.write("short.tds",
             "image white \"white.png\"\ntext hello \"hello.txt\"\nfont abc \"abc.txt\"\n"
             "music \"tune.mod\"\nbuffer 0 at 0,0 size 160x50\nwait 1.5s\nat 0:03\nend\n");
  show.dir.write("tune.mod", support::square_wave_module());
  ASSERT_EQ(show.run({"build", show.path("short.tds"), "-o", show.path("short.dat")}).status, 0);
  support::ToolRun run = show.run({"list", show.path("short.dat")});
  EXPECT_EQ(run.status, 0);
  const size_t png = show.read("white.png").size();
  EXPECT_EQ(run.out, "  0  DEMO        17  script  4 instructions, 100 frames (0:03.00)\n" +
                         engine::format_text("  1  PING %9zu  image   160 x 50\n", png) +
                         "  2  TEXT         6  text    \"hello\" (zero-terminated)\n"
                         "  3  FONT       119  font    3 glyphs, 3 rows high, cells 32 wide\n" +
                         engine::format_text("  4  TUNE %9zu  music   module \"tundra test tune\", "
                                             "64 frames (1.92s)\n",
                                             support::square_wave_module().size()));
}

}  // namespace
