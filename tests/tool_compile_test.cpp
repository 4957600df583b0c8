// The show compiler: the bytes statements become, times, names and includes, and every error
// it reports with its position.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/tool_harness.h"
#include "tools/dat/font_art.h"
#include "tools/dat/timecode.h"

namespace {

using support::Bytes;
using support::ShowDir;

// A data file's chunks: tag and payload, in file order.
std::vector<std::pair<std::string, Bytes>> chunks_of(const Bytes& file) {
  std::vector<std::pair<std::string, Bytes>> chunks;
  for (size_t at = 0; at + 8 <= file.size();) {
    size_t length = size_t{file[at + 4]} << 24 | size_t{file[at + 5]} << 16 |
                    size_t{file[at + 6]} << 8 | file[at + 7];
    chunks.emplace_back(std::string(file.begin() + at, file.begin() + at + 4),
                        Bytes(file.begin() + at + 8, file.begin() + at + 8 + length));
    at += 8 + length;
  }
  return chunks;
}

TEST(ShowBytes, StatementsBecomeTheOpcodesTheEngineReads) {
  ShowDir show;
  tools::CompiledShow compiled = show.compile(
      "buffer 3 at 1,2 size 160x50\n"
      "view 4 at 80,0 of 3\n"
      "fx 2 curtain on 3\n"
      "set 2 hold = -2\n"
      "set 2 0x85 = 300\n"
      "at 0:40.5\n"
      "wait 1.5s\n"
      "end\n");
  ASSERT_FALSE(compiled.diagnostics.has_errors()) << show.lines(compiled.diagnostics)[0];
  const Bytes script = {
      0x01, 3,    0x00, 0x01, 0x00, 0x02, 0x00, 0xA0, 0x00, 0x32,  // NEWBUF 3 at 1,2 size 160x50
      0x06, 4,    0x00, 0x50, 0x00, 0x00, 3,                       // VIEWBUF 4 at 80,0 of 3
      0x03, 2,    5,    3,                                         // NEWFX 2, class 5, buffer 3
      0x05, 2,    0x81, 0xFF, 0xFF, 0xFF, 0xFE,                    // SETINT hold = -2
      0x05, 2,    0x85, 0x00, 0x00, 0x01, 0x2C,                    // SETINT 0x85 = 300
      0x02, 0x05, 0x46,                                            // WAITAT 1350 (40.5 s)
      0x09, 0x00, 0x32,                                            // WAITFOR 50 (1.5 s)
      0xFF,                                                        // END
  };
  Bytes file = {'D', 'E', 'M', 'O', 0, 0, 0, 42};
  file.insert(file.end(), script.begin(), script.end());
  EXPECT_EQ(compiled.data_file, file);
}

TEST(ShowBytes, ChunksAreNumberedInDeclarationOrderAfterTheScript) {
  ShowDir show;
  tools::CompiledShow compiled = show.compile(
      "text bare \"hello.txt\" raw\n"
      "buffer 0 at 0,0 size 160x50\n"
      "fx 0 still on 0\n"
      "set 0 image = picture   # declared below: chunk names are known everywhere\n"
      "set 0 0x80 = chunk 3\n"
      "end\n"
      "image picture \"white.png\"\n"
      "text greeting \"hello.txt\"\n");
  ASSERT_FALSE(compiled.diagnostics.has_errors()) << show.lines(compiled.diagnostics)[0];
  auto chunks = chunks_of(compiled.data_file);
  ASSERT_EQ(chunks.size(), 4u);
  EXPECT_EQ(chunks[0].first, "DEMO");
  // A raw text is the file as it is, a PNG is stored as it is, a text gets its zero byte.
  EXPECT_EQ(chunks[1], std::make_pair(std::string("TEXT"), Bytes{'h', 'e', 'l', 'l', 'o'}));
  EXPECT_EQ(chunks[2], std::make_pair(std::string("PING"), show.read("white.png")));
  EXPECT_EQ(chunks[3], std::make_pair(std::string("TEXT"), Bytes{'h', 'e', 'l', 'l', 'o', 0}));
  const Bytes& script = chunks[0].second;
  EXPECT_EQ(Bytes(script.begin() + 14, script.end()),
            (Bytes{0x07, 0, 0x80, 2, 0x07, 0, 0x80, 3, 0xFF}));
}

TEST(ShowBytes, NamesIncludesAndMnemonicsSayTheSameAsNumbers) {
  ShowDir show;
  show.write("scenes/intro.tds",
             "image picture \"pictures/white.png\"   # beside this file\n"
             "buffer 2 as screen at 0,0 size 160 x 50\n"
             "fx 5 as still_life still on screen\n");
  show.dir.write("scenes/pictures/white.png", show.read("white.png"));
  tools::CompiledShow named = show.compile(
      "include \"scenes/intro.tds\"\n"
      "set still_life image = picture\n"
      "start still_life\n"
      "end\n");
  tools::CompiledShow numbered = show.compile(
      "image picture \"white.png\"\n"
      "NEWBUF 2, 0, 0, 160, 50\n"
      "NEWFX 5 still 2\n"
      "SETCHUNK 5, 0x80, picture\n"
      "FXSTATE 5, 1\n"
      "END\n",
      "numbered.tds");
  ASSERT_FALSE(named.diagnostics.has_errors()) << show.lines(named.diagnostics)[0];
  ASSERT_FALSE(numbered.diagnostics.has_errors()) << show.lines(numbered.diagnostics)[0];
  EXPECT_EQ(named.data_file, numbered.data_file);
  // Statements from an include are found again under their own file and line.
  const tools::SourceSpan* span = named.source_map.find(12);  // inside NEWFX, bytes 10 to 13
  ASSERT_NE(span, nullptr);
  EXPECT_TRUE(span->file.ends_with("scenes/intro.tds"));
  EXPECT_EQ(span->line, 3);
  EXPECT_EQ(span->text, "fx 5 as still_life still on screen");
}

TEST(ShowTimes, SecondsBecomeTheNearestFrameAndHalfAFrameRoundsUp) {
  struct Case {
    const char* time;
    int64_t frames;
  };
  const Case cases[] = {
      {"40", 40},     {"0", 0},          {"1.5s", 50},        {"1s", 33},  // 33.33 frames
      {"0.015s", 1},  {"0.014999s", 0},  {"45ms", 2},         {"44.999ms", 1},     {"0:40.5", 1350},
      {"1:00", 2000}, {"2:03.33", 4111}, {"32:46.05", 65535}, {"0:00.999999", 33},
  };
  for (const Case& c : cases) {
    tools::Time time = tools::parse_time(c.time);
    EXPECT_EQ(time.error, "") << c.time;
    EXPECT_EQ(time.frames, c.frames) << c.time;
  }
  EXPECT_EQ(tools::format_time(0), "0:00.00");
  EXPECT_EQ(tools::format_time(33), "0:00.99");
  EXPECT_EQ(tools::format_time(65535), "32:46.05");
}

// Each source, compiled alone in a directory of fixtures, gives this message first.
TEST(ShowErrors, EveryCompilerErrorSaysWhereAndWhat) {
  const std::string setup = "buffer 3 as b at 0,0 size 1x1\nfx 0 cycle on 3\n";
  std::string many_chunks;
  for (int i = 0; i < 127; ++i) many_chunks += "text t" + std::to_string(i) + " \"hello.txt\"\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      // Lines that cannot be read
      {"text t \"a\\q\"",
       "show.tds:1:10: error: unknown escape '\\q' in a string (only \\\" and \\\\)"},
      {"text t \"abc", "show.tds:1:8: error: the string \"abc is not closed"},
      {"include \"missing.tds\"",
       "show.tds:1:9: error: cannot read 'missing.tds': No such file or directory"},
      {"include \"show.tds\"",
       "show.tds:1:9: error: 'show.tds' is already being read: a show cannot include itself"},
      {"include missing.tds",
       "show.tds:1:9: error: expected the name of the file to include in double quotes, found "
       "'missing.tds'"},
      // Names
      {"buffer 3 as 9a at 0,0 size 1x1",
       "show.tds:1:13: error: '9a' cannot be a name: names are letters, digits and _, and begin "
       "with a letter or _"},
      {"buffer 3 as size at 0,0 size 1x1",
       "show.tds:1:13: error: 'size' is a word of the language and cannot be a name"},
      {"image pic \"white.png\"\nbuffer 3 as pic at 0,0 size 1x1",
       "show.tds:2:13: error: 'pic' already names image chunk 1 (show.tds:1)"},
      {"buffer screen at 0,0 size 1x1", "show.tds:1:8: error: unknown buffer 'screen'"},
      {"buffer 1.5 at 0,0 size 1x1", "show.tds:1:8: error: expected a buffer number, found '1.5'"},
      {"start roto", "show.tds:1:7: error: unknown fx slot 'roto'"},
      {"image pic \"white.png\"\nbuffer pic at 0,0 size 1x1",
       "show.tds:2:8: error: 'pic' names image chunk 1, not a buffer"},
      {setup + "buffer b as c at 0,0 size 1x1",
       "show.tds:3:8: error: 'as' names a number: write buffer 3 as c"},
      {setup + "set 0 colour = chunk x", "show.tds:3:22: error: 'x' is not a chunk number"},
      {setup + "set 0 colour = nothing", "show.tds:3:16: error: unknown chunk 'nothing'"},
      {setup + "set 0 colour = b", "show.tds:3:16: error: 'b' names buffer 3, not a chunk"},
      // Chunk declarations
      {"image pic",
       "show.tds:1:10: error: expected the image's file in double quotes, found end "
       "of line"},
      {"image \"white.png\"",
       "show.tds:1:7: error: expected a name for the image, found the string \"white.png\""},
      {many_chunks,
       "show.tds:127:1: error: one chunk too many: a data file holds at most 127, the script "
       "among them"},
      {"image pic \"nofile.png\"",
       "show.tds:1:11: error: cannot read 'nofile.png': No such file or directory"},
      {"image pic \"grey.png\"",
       "show.tds:1:11: error: 'grey.png' is not an image the engine can show: unsupported image: "
       "a grey PNG; only 8-bit RGB or palette PNGs without transparency can be shown"},
      {"font f \"hello.txt\" raw",
       "show.tds:1:8: error: 'hello.txt' is not a font the engine can load: 104 glyphs; the "
       "character map has 42"},
      {"font f \"hello.txt\"",
       "hello.txt:1:1: error: 'hello' comes before any glyph: a font begins with 'glyph a'"},
      // Statements
      {"\"buffer\" 3",
       "show.tds:1:1: error: a statement begins with a word, not the string "
       "\"buffer\""},
      {"frobnicate 3", "show.tds:1:1: error: unknown statement 'frobnicate'"},
      {"buffer 3 on 0,0 size 1x1",
       "show.tds:1:10: error: expected 'at' before the buffer's position, found 'on'"},
      {"buffer 3 at 0 0 size 1x1",
       "show.tds:1:15: error: expected ',' between column and row, found '0'"},
      {"buffer 3 at 0,0 sized 1x1",
       "show.tds:1:17: error: expected 'size' before the buffer's size, found 'sized'"},
      {"buffer 3 at 0,0 size 160 by 50",
       "show.tds:1:26: error: expected 'x' between width and height, found 'by'"},
      {"buffer 3 at 0,0 size 160xfifty",
       "show.tds:1:22: error: expected a size such as 160x50, found '160xfifty'"},
      {"view 4 at 0,0 from 3",
       "show.tds:1:15: error: expected 'of' before the buffer the view shows, found 'from'"},
      {"fx 0 cycle in 3",
       "show.tds:1:12: error: expected 'on' before the buffer the effect draws into, found 'in'"},
      {setup + "set 0 colour 5",
       "show.tds:3:14: error: expected '=' after the parameter, found '5'"},
      {setup + "set 0 colour = \"red\"",
       "show.tds:3:16: error: expected a number or a chunk, found the string \"red\""},
      {"end now", "show.tds:1:5: error: unexpected 'now' after the end of the statement"},
      {"skip \"x\"", "show.tds:1:6: error: expected the byte skip ignores, found the string \"x\""},
      {"state 0", "show.tds:1:8: error: expected the state number, found end of line"},
      // Operands too large for their bytes
      {"buffer 300 at 0,0 size 1x1",
       "show.tds:1:8: error: buffer 300 does not fit in a byte (0 to 255)"},
      {"buffer 3 at 0,0 size 70000x1",
       "show.tds:1:22: error: width 70000 does not fit in 16 bits (0 to 65535)"},
      {"buffer 3 at 0,0 size 1x70000",
       "show.tds:1:24: error: height 70000 does not fit in 16 bits (0 to 65535)"},
      {setup + "set 0 colour = 4294967296",
       "show.tds:3:16: error: value 4294967296 does not fit in 32 bits (-2147483648 to "
       "4294967295)"},
      // Classes and parameters
      {"fx 0 rotozom on 3",
       "show.tds:1:6: error: unknown effect class 'rotozom'; did you mean 'rotozoom'?"},
      {"fx 0 spiral on 3",
       "show.tds:1:6: error: unknown effect class 'spiral'; the classes are cycle, bounce, still, "
       "tint, rotozoom, curtain, noise, fade, scroller, blobs, sparks, melt, wipe"},
      {"set 5 colour = 1",
       "show.tds:1:7: error: fx 5 holds no effect at this point, so parameter 'colour' has no "
       "meaning; create it first or give the parameter's number"},
      {"fx 0 20 on 3\nset 0 colour = 1",
       "show.tds:2:7: error: fx 0 holds class 20, which has no parameters"},
      {setup + "set 0 color = 1",
       "show.tds:3:7: error: cycle has no parameter 'color'; did you mean 'colour'?"},
      {setup + "set 0 speed = 1",
       "show.tds:3:7: error: cycle has no parameter 'speed'; its parameters are colour"},
      // Times
      {"wait 1.5x",
       "show.tds:1:6: error: '1.5x' is not a time: a time is frames (40), seconds (1.5s), "
       "milliseconds (250ms) or minutes:seconds (0:40.5)"},
      {"at 1:5", "show.tds:1:4: error: '1:5' needs two digits of seconds, as in 1:05"},
      {"at 1:75",
       "show.tds:1:4: error: '1:75' has 75 seconds; minutes:seconds takes seconds "
       "below 60"},
      {"at 40:00",
       "show.tds:1:4: error: 40:00 is frame 80000, past 65535 (32:46.05), the most a wait can "
       "count"},
      // Raw bytes and mnemonics
      {"bytes", "show.tds:1:6: error: 'bytes' needs at least one byte"},
      {"bytes 1, 256", "show.tds:1:10: error: '256' does not fit in a byte (0 to 255)"},
      {"bytes 1 x", "show.tds:1:9: error: expected a byte, found 'x'"},
      {"NEWBUF 1, 2, 3", "show.tds:1:15: error: expected the width operand, found end of line"},
      {"NEWFX 0, cycl, 1", "show.tds:1:10: error: expected the class operand, found 'cycl'"},
  };
  for (const auto& [source, message] : cases) {
    ShowDir show;
    tools::CompiledShow compiled = show.compile(source);
    std::vector<std::string> lines = show.lines(compiled.diagnostics);
    ASSERT_FALSE(lines.empty()) << source;
    EXPECT_EQ(lines[0], message) << source;
    EXPECT_TRUE(compiled.data_file.empty()) << source;
  }
}

TEST(ShowErrors, OneRunReportsEveryBrokenLineInOrder) {
  ShowDir show;
  tools::CompiledShow compiled = show.compile(
      "buffer 0 at 0,0 size 160x50\n"
      "fx 0 spinner on 0        # first\n"
      "image pic \"nofile.png\"  # second\n"
      "wait soon                # third\n"
      "end\n");
  std::vector<std::string> lines = show.lines(compiled.diagnostics);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(lines[0].starts_with("show.tds:2:6: error: unknown effect class 'spinner'"));
  EXPECT_TRUE(lines[1].starts_with("show.tds:3:11: error: cannot read 'nofile.png'"));
  EXPECT_TRUE(lines[2].starts_with("show.tds:4:6: error: 'soon' is not a time"));
}

TEST(ShowErrors, TheShowItselfAndDeepIncludesAreReported) {
  ShowDir show;
  tools::CompiledShow missing = tools::compile_show(show.path("nowhere.tds"));
  EXPECT_EQ(show.lines(missing.diagnostics),
            std::vector<std::string>{
                "nowhere.tds: error: cannot read the show: No such file or directory"});

  for (int i = 0; i < 40; ++i)
    show.write("f" + std::to_string(i) + ".tds",
               "include \"f" + std::to_string(i + 1) + ".tds\"\n");
  tools::CompiledShow deep = tools::compile_show(show.path("f0.tds"));
  ASSERT_FALSE(deep.diagnostics.items.empty());
  EXPECT_EQ(show.lines(deep.diagnostics)[0],
            "f31.tds:1:9: error: includes nest deeper than 32 files");
}

// The first fenced block of the documentation's section `heading`.
std::string documented_block(const std::string& heading) {
  std::filesystem::path docs =
      std::filesystem::path(__FILE__).parent_path().parent_path() / "docs" / "show-language.md";
  std::string error;
  std::optional<Bytes> bytes = tools::read_file(docs.string(), error);
  EXPECT_TRUE(bytes.has_value()) << docs << ": " << error;
  if (!bytes) return "";
  std::string text(bytes->begin(), bytes->end());
  size_t section = text.find("\n" + heading + "\n");
  EXPECT_NE(section, std::string::npos) << heading;
  if (section == std::string::npos) return "";
  size_t start = text.find('\n', text.find("```", section)) + 1;
  return text.substr(start, text.find("```", start) - start);
}

// The example the language's documentation gives builds, and the check finds no error in it.
TEST(ShowDocs, TheDocumentedExampleBuilds) {
  std::string example = documented_block("## A complete show");
  ASSERT_FALSE(example.empty());

  ShowDir show;
  show.dir.write("pictures/logo.png", show.read("white.png"));
  show.dir.write("pictures/marble.png", show.read("texture.png"));
  show.write("greets.txt", "abc cab");
  show.write("fonts/small.txt", support::ABC_ART);
  std::vector<std::string> findings = show.findings(example);
  EXPECT_TRUE(findings.empty()) << findings[0];
  // Its font art draws as the font file's comments ask, without a warning.
  tools::Diagnostics said;
  EXPECT_TRUE(
      tools::compile_font_art(documented_block("## Font art"), "small.txt", said).has_value());
  EXPECT_TRUE(said.items.empty()) << format(said.items[0]);
}

// The documentation lists the effect classes as `tundra-dat classes` prints them from the table.
TEST(ShowDocs, TheEffectClassesAreListedAsTheToolPrintsThem) {
  ShowDir show;
  support::ToolRun run = show.run({"classes"});
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(documented_block("## Effect classes"), run.out)
      << "docs/show-language.md needs the list tundra-dat classes prints now";
}

}  // namespace
