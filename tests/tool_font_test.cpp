// Font art: the FONT payload it compiles to, what it refuses, and payloads turned back into art.
#include <gtest/gtest.h>

#include "support/tool_harness.h"
#include "tools/dat/font_art.h"

namespace {

using support::Bytes;

Bytes compile(const std::string& art, std::vector<std::string>* messages = nullptr) {
  tools::Diagnostics diagnostics;
  std::optional<Bytes> payload = tools::compile_font_art(art, "glyphs.txt", diagnostics);
  if (messages != nullptr)
    for (const tools::Diagnostic& diagnostic : diagnostics.items)
      messages->push_back(format(diagnostic));
  return payload.value_or(Bytes{});
}

TEST(FontArt, CompilesToAStripOfGlyphsSideBySide) {
  Bytes payload = compile(support::ABC_ART);
  ASSERT_EQ(payload.size(), 1 + 3 * 2 + 4 + 9 * 3 * 4u);
  EXPECT_EQ(Bytes(payload.begin(), payload.begin() + 11),
            (Bytes{3,        // three glyphs
                   3, 0,     // a ends at column 3 (little-endian)
                   5, 0,     // b at 5
                   8, 0,     // c at 8
                   9, 0,     // the strip: 8 columns of glyphs and one blank
                   3, 0}));  // 3 rows
  // Row 0 is .#. .# .## and the blank column; a lit pixel has all four bytes set.
  std::string row;
  for (int column = 0; column < 9; ++column) {
    const uint8_t* pixel = payload.data() + 11 + column * 4;
    EXPECT_TRUE((pixel[0] & pixel[1] & pixel[2] & pixel[3]) == 0xFF ||
                (pixel[0] | pixel[1] | pixel[2] | pixel[3]) == 0);
    row += pixel[0] != 0 ? '#' : '.';
  }
  EXPECT_EQ(row, ".#..#.##.");
}

TEST(FontArt, TheEngineDrawsTheTextAsTheArtShowsIt) {
  std::string error;
  Bytes payload = compile(support::ABC_ART);
  auto font = datafile::parse_font(payload.data(), payload.size(), error);
  ASSERT_NE(font, nullptr) << error;
  EXPECT_EQ(font->cell_width, 32);
  engine::Buffer buffer{engine::allocate_pixels(40 * 3), 40, 3, 0, 0};
  int x = 0;
  for (char c : std::string("cab")) x += datafile::draw_glyph(*font, buffer, c, x, 0);
  EXPECT_EQ(x, 8);
  const char* expected[] = {".##.#..#", ".#.#.#.#", ".#####.#"};
  for (int r = 0; r < 3; ++r) {
    std::string row;
    for (int column = 0; column < 8; ++column)
      row += buffer.pixels[r * 40 + column] == 0xFFFF ? '#' : '.';
    EXPECT_EQ(row, expected[r]) << "row " << r;
  }
}

TEST(FontArt, RefusesWhatTheEngineCannotDrawAndSaysWhere) {
  std::string all;
  for (char c : std::string("abcdefghijklmnopqrstuvwxyz0123456789,.-!?\""))
    all += std::string("glyph ") + c + "\n.#\n";
  std::string tall = "glyph a\n";
  for (int i = 0; i < 39; ++i) tall += "#\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"glyph ab\n#",
       "glyphs.txt:1:1: error: 'glyph ab': a glyph line names one character, as "
       "in 'glyph a'"},
      {"glyph A\n#",
       "glyphs.txt:1:1: error: 'A' has no place in a font: glyphs follow the order "
       "a-z, 0-9, , . - ! ? \""},
      {"glyph b\n#",
       "glyphs.txt:1:1: error: glyph 'b' is out of order: glyph 0 is 'a' (glyphs "
       "follow the order a-z, 0-9, , . - ! ? \")"},
      {all + "glyph a\n#",
       "glyphs.txt:85:1: error: glyph 'a' is one too many: a font holds at "
       "most 42 glyphs"},
      {"  #.#\nglyph a\n#",
       "glyphs.txt:1:3: error: '#.#' comes before any glyph: a font begins "
       "with 'glyph a'"},
      {"glyph a\n#x#",
       "glyphs.txt:2:2: error: unexpected 'x' in a row of glyph 'a': draw with # "
       "(lit) and . (unlit)"},
      {"glyph a\n##\n###",
       "glyphs.txt:3:1: error: '###' is 3 wide, but glyph 'a' began 2 wide: "
       "every row of a glyph is as wide as its advance"},
      {"glyph a\n#\n#\nglyph b\n#",
       "glyphs.txt:4:1: error: glyph 'b' has 1 row, but glyph 'a' "
       "has 2: all glyphs are as tall as the first"},
      {"glyph a\nglyph b\n#", "glyphs.txt:1:1: error: glyph 'a' has no rows"},
      {"glyph a\n" + std::string(32, '#'),
       "glyphs.txt:1:1: error: glyph 'a' is 32 pixels wide; "
       "the scroller's 32-column cells hold glyphs of at "
       "most 31"},
      {tall,
       "glyphs.txt:1:1: error: glyphs of 39 rows do not fit the scroller: it draws them "
       "from row 12 of a buffer at most 50 rows high, so 38 rows at most"},
      {"; nothing but a comment\n",
       "glyphs.txt:1:1: error: no glyphs: a font begins with "
       "'glyph a'"},
  };
  for (const auto& [art, message] : cases) {
    std::vector<std::string> messages;
    EXPECT_TRUE(compile(art, &messages).empty()) << art;
    ASSERT_FALSE(messages.empty()) << art;
    EXPECT_EQ(messages[0], message) << art;
  }
  // 42 glyphs of 31 columns and 38 rows are the most the engine can draw, and are fine.
  std::vector<std::string> messages;
  std::string widest = "glyph a\n";
  for (int i = 0; i < 38; ++i) widest += std::string(31, '#') + "\n";
  EXPECT_FALSE(compile(widest, &messages).empty());
  EXPECT_FALSE(compile(all, &messages).empty());
  EXPECT_TRUE(messages.empty());
}

// A glyph's cell reaches one column past its advance, into the next glyph's first column: a lit
// one is a bar after the glyph before it, warned about where it is drawn.
TEST(FontArt, AGlyphWhoseFirstColumnIsLitIsWarnedAboutWhereItIsDrawn) {
  std::vector<std::string> messages;
  EXPECT_FALSE(compile("glyph a\n#.\n##\nglyph b\n.#\n##\n", &messages).empty());
  EXPECT_EQ(messages, std::vector<std::string>{
                          "glyphs.txt:6:1: warning: glyph 'b' has its first column lit: the "
                          "scroller shows that column as a one-pixel bar after every 'a', whose "
                          "cell reaches one column past its advance; leave the first column of a "
                          "glyph blank"});
}

TEST(FontArt, PayloadsBecomeArtOnlyWhenTheArtRebuildsThemExactly) {
  Bytes payload = compile(support::ABC_ART);
  std::string why_not;
  std::optional<std::string> art = tools::font_to_art(payload, why_not);
  ASSERT_TRUE(art.has_value()) << why_not;
  EXPECT_EQ(compile(*art), payload);

  struct Case {
    const char* name;
    Bytes payload;
    const char* why_not;
  };
  Bytes trailing = payload;
  trailing.push_back(0);
  Bytes lit_corner = payload;
  lit_corner[11 + 8 * 4] = 0xFF;  // the blank column after the last glyph, row 0
  const Case cases[] = {
      {"other pixel bytes", support::make_font({{"#."}, {".#"}}),
       "pixel 0 of row 0 holds bytes other than 00 or FF"},
      {"extra strip columns", support::make_font_raw(1, {2}, 5, 1, [](int, int) { return false; }),
       "its strip is 5 columns wide, not 3"},
      {"an empty glyph", support::make_font_raw(2, {2, 2}, 3, 1, [](int, int) { return false; }),
       "glyph 1 has an advance art cannot draw (ends 2 to 2)"},
      {"bytes after the strip", trailing,
       "it holds 109 bytes after its header, not the strip's 108"},
      {"a drawn last column", lit_corner, "its last strip column is drawn on in row 0"},
      {"no glyphs", Bytes{0, 1, 0, 1, 0, 0, 0, 0, 0}, "it has no glyphs"},
      {"a cut header", Bytes{3, 1}, "its header is cut short"},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(tools::font_to_art(c.payload, why_not).has_value()) << c.name;
    EXPECT_EQ(why_not, c.why_not) << c.name;
  }
}

TEST(FontArt, TheFontCommandWritesThePayload) {
  support::ShowDir show;
  support::ToolRun run = show.run({"font", show.path("abc.txt"), "-o", show.path("abc.font")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(show.read("abc.font"), compile(support::ABC_ART));

  show.write("bad.txt", "glyph a\n#?\n");
  run = show.run({"font", show.path("bad.txt"), "-o", show.path("bad.font")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "bad.txt:2:2: error: unexpected '?' in a row of glyph 'a': draw with # (lit) and . "
            "(unlit)\n1 error, 0 warnings\n");
}

}  // namespace
