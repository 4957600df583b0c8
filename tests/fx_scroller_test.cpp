// Text scroller (class 8).
#include <gtest/gtest.h>

#include "support/fx_harness.h"
#include "support/show_harness.h"

namespace {

using support::FxUnderTest;
using support::make_text;

constexpr uint8_t SCROLLER = 8;
constexpr uint8_t TEXT = 0x81, FONT = 0x82;
constexpr int W = 40, H = 20;

std::unique_ptr<datafile::FontChunk> font_of(const std::vector<std::vector<std::string>>& glyphs,
                                             int extra_columns = 1) {
  support::Bytes bytes = support::make_font(glyphs, extra_columns);
  std::string error;
  auto font = datafile::parse_font(bytes.data(), bytes.size(), error);
  EXPECT_TRUE(font) << error;
  return font;
}

// Four rows tall; every glyph's first column is blank, so a cell's extra column (the next
// glyph's first) is blank too. "a" advances 5 and lights column 1; "b" advances 4 and lights
// columns 1 and 2. Cells are 32 wide, space_advance 8.
std::unique_ptr<datafile::FontChunk> small_font() {
  return font_of({{".#...", ".#...", ".#...", ".#..."}, {".##.", ".##.", ".##.", ".##."}});
}

// A glyph drawn in render d lights strip column W + 33 (+ 1 for "b"); render n shows it at
// target column W + 33 - 2 (n - d).
int lit_column(int drawn, int renders) {
  return W + 33 - 2 * (renders - drawn);
}

struct Scroller {
  explicit Scroller(const std::string& text, uint16_t width = W, uint16_t height = H)
      : fx(SCROLLER, width, height), chunk(make_text(text)) {
    fx.set(TEXT, *chunk);
    fx.set(FONT, *font);
  }
  void renders(int count) {
    for (int i = 0; i < count; ++i) fx.render();
  }
  // Lit columns of target row y.
  std::vector<int> lit(int y) {
    std::vector<int> columns;
    for (int x = 0; x < fx.buffer().width; ++x)
      if (fx.pixel(x, y) == 0xFFFF) columns.push_back(x);
    return columns;
  }
  std::unique_ptr<datafile::FontChunk> font = small_font();
  FxUnderTest fx;
  std::unique_ptr<datafile::TextChunk> chunk;
};

TEST(TextScroller, TheFirstCharacterIsDrawnAtOnceAndReachesTheRightEdgeSeventeenRendersLater) {
  Scroller scroller(std::string("a\0", 2));
  std::fill_n(scroller.fx.buffer().pixels.get(), W * H, 0x5555);
  scroller.renders(17);
  // The strip starts black (its pixels are not the target's): so far it shows only black.
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) ASSERT_EQ(scroller.fx.pixel(x, y), 0);
  scroller.renders(1);  // the cell's first column is at W - 2, its lit column at W - 1
  EXPECT_EQ(scroller.lit(12), std::vector<int>{W - 1});
  for (int y : {12, 13, 14, 15}) EXPECT_EQ(scroller.lit(y), std::vector<int>{W - 1});
  for (int y : {0, 11, 16, 19}) EXPECT_EQ(scroller.lit(y), std::vector<int>{});
}

TEST(TextScroller, GlyphsFollowAfterTheAdvancePlusTwoOrThreePixels) {
  // "a" (5, odd) is followed 8 pixels on, "b" (4, even) 6 pixels on; after "b" comes the text's
  // end, which takes no space: "a" again. "b" in renders 5, 12, 19 shows at columns 3, 17, 31
  // (and the next); "a" in renders 8, 15, 22 at 9, 23, 37.
  Scroller scroller(std::string("ab\0", 3));
  scroller.renders(40);
  EXPECT_EQ(scroller.lit(12), (std::vector<int>{3, 4, 9, 17, 18, 23, 31, 32, 37}));
}

TEST(TextScroller, UnmappedCharactersTakeTheSpaceAdvance) {
  for (const char* blank : {" ", "A", "\x80"}) {
    // "a" then a character without a glyph (advance 8: the next glyph 10 pixels on), repeated:
    // "a" in renders 1, 10, 19, 28, 37.
    Scroller scroller(std::string("a") + blank + std::string(1, '\0'));
    scroller.renders(40);
    EXPECT_EQ(scroller.lit(12), (std::vector<int>{lit_column(10, 40), lit_column(19, 40)}))
        << int(static_cast<uint8_t>(blank[0]));
  }
}

TEST(TextScroller, AOneCharacterTextRepeatsEveryEightPixels) {
  Scroller scroller(std::string("a\0", 2));
  scroller.renders(40);
  std::vector<int> expected;
  for (int drawn = 1; drawn <= 40; drawn += 4)
    if (int x = lit_column(drawn, 40); x >= 0 && x < W) expected.push_back(x);
  EXPECT_EQ(scroller.lit(12), expected);
}

TEST(TextScroller, PixelsLeavingARowEnterTheRowAboveAtItsHiddenEnd) {
  // One glyph lit in its first column, advance 3: drawn every 3 renders (6 pixels), while the
  // band cleared before each is 5 wide. The glyph drawn in render 1 lights strip column 72 of
  // rows 12 to 15; in render 37 it is at column 0, in render 38 at column 102 of the row above,
  // 4 columns further left in render 40, where the band clears columns 99 to 103 only. So it
  // travels on along row 11 and shows at its column 38 in render 70.
  auto font = font_of({{"#..", "#..", "#..", "#.."}});
  FxUnderTest fx(SCROLLER, W, H);
  auto text = make_text(std::string("a\0", 2));
  fx.set(TEXT, *text);
  fx.set(FONT, *font);
  for (int i = 0; i < 69; ++i) fx.render();
  for (int x = 0; x < W; ++x) EXPECT_EQ(fx.pixel(x, 11), 0) << x;
  fx.render();
  for (int x = 0; x < W; ++x) EXPECT_EQ(fx.pixel(x, 11), x == 38 ? 0xFFFF : 0) << x;
  // What row 13 passed into row 12 met the next glyph's opaque cell, drawn over columns 72 to
  // 103 of rows 12 to 15 in render 40.
  EXPECT_EQ(fx.pixel(38, 12), 0);
}

// The text is trusted to be non-empty and zero-terminated; the scroller copes when it is not.
TEST(TextScroller, ATextWithoutAZeroByteEndsAtItsLastByte) {
  Scroller terminated(std::string("ab\0", 3)), bare("ab");
  terminated.renders(60);
  bare.renders(60);
  for (int y : {12, 15}) EXPECT_EQ(bare.lit(y), terminated.lit(y));
}

TEST(TextScroller, EmptyTextsScrollBlankSpaces) {
  for (const std::string& text : {std::string(), std::string(1, '\0'), std::string(3, '\0')}) {
    Scroller scroller(text);
    scroller.renders(50);
    EXPECT_EQ(scroller.lit(12), std::vector<int>{}) << text.size();
  }
}

TEST(TextScroller, ATextBeginningWithAZeroByteDrawsThatZeroAsASpace) {
  // Space (8: next 10 on) in render 1, "a" in render 6, the end and the zero again in 10, "a"
  // in 15, 24, 33: a space before every "a".
  Scroller scroller(std::string("\0a\0", 3));
  scroller.renders(40);
  EXPECT_EQ(scroller.lit(12), (std::vector<int>{lit_column(6, 40), lit_column(15, 40)}));
}

TEST(TextScroller, ANewTextShorterThanThePositionStartsOverFromItsFirstCharacter) {
  Scroller scroller(std::string("aaaaaaaa\0", 9));
  scroller.renders(13);  // "a" drawn in renders 1, 5, 9, 13: text_pos is 4
  auto shorter = make_text(std::string("b\0", 2));
  scroller.fx.set(TEXT, *shorter);
  scroller.renders(25);  // render 17 reads past the new text's end: "b" in 17, 20, 23, ...
  const int b1 = lit_column(17, 38), b2 = lit_column(20, 38);
  EXPECT_EQ(scroller.lit(12), (std::vector<int>{lit_column(5, 38), lit_column(9, 38),
                                                lit_column(13, 38), b1, b1 + 1, b2, b2 + 1}));
}

TEST(TextScroller, ATextChangeKeepsThePosition) {
  Scroller scroller(std::string("aaaa\0", 5));
  scroller.renders(5);  // "a" in renders 1 and 5: text_pos 2
  auto other = make_text(std::string("aab\0", 4));
  scroller.fx.set(TEXT, *other);
  scroller.renders(33);  // "b" (position 2) in render 9, then "a" in 12 and 16, "b" in 20
  const int b1 = lit_column(9, 38), b2 = lit_column(20, 38);
  EXPECT_EQ(scroller.lit(12), (std::vector<int>{lit_column(5, 38), b1, b1 + 1, lit_column(12, 38),
                                                lit_column(16, 38), b2, b2 + 1}));
}

TEST(TextScroller, CellsThatDoNotFitTheStripAreClipped) {
  // Advance 40: the cell is 64 wide, twice the margin. Rows 12 to 23 on a 20-row target.
  auto font = font_of({std::vector<std::string>(12, "." + std::string(39, '#'))});
  FxUnderTest fx(SCROLLER, W, H);
  auto text = make_text(std::string("a\0", 2));
  fx.set(TEXT, *text);
  fx.set(FONT, *font);
  for (int i = 0; i < 18; ++i) fx.render();
  EXPECT_EQ(fx.pixel(W - 2, 12), 0);
  EXPECT_EQ(fx.pixel(W - 1, 12), 0xFFFF);
  EXPECT_EQ(fx.pixel(W - 1, H - 1), 0xFFFF);
  for (int i = 0; i < 20; ++i) fx.render();  // the next glyph, drawn in render 22, is hidden
  EXPECT_EQ(fx.pixel(29, 12), 0xFFFF);       // cell column 31, the margin's last
  EXPECT_EQ(fx.pixel(30, 12), 0);            // the cell's columns past it were never drawn
  EXPECT_EQ(fx.pixel(W - 1, 12), 0);
}

TEST(TextScroller, WithoutTextOrFontTheStripScrollsBlank) {
  FxUnderTest fx(SCROLLER, W, H);
  for (int i = 0; i < 30; ++i) fx.render();
  auto text = make_text(std::string("a\0", 2));
  fx.set(TEXT, *text);
  for (int i = 0; i < 30; ++i) fx.render();  // no font: no character is taken
  EXPECT_EQ(fx.pixel(W - 1, 12), 0);
  auto font = small_font();
  fx.set(FONT, *font);
  for (int i = 0; i < 18; ++i) fx.render();  // the first "a", drawn in the first render now
  EXPECT_EQ(fx.pixel(W - 1, 12), 0xFFFF);

  FxUnderTest no_text(SCROLLER, W, H);
  no_text.set(FONT, *font);
  for (int i = 0; i < 30; ++i) no_text.render();
  EXPECT_EQ(no_text.pixel(W - 1, 12), 0);
}

TEST(TextScroller, ATargetRecreatedAtAnotherSizeGetsAStripOfItsSize) {
  Scroller scroller(std::string("ab\0", 3));
  scroller.renders(10);
  scroller.fx.buffer() = *support::make_entry(100, 30);
  scroller.renders(40);
  EXPECT_FALSE(scroller.lit(12).empty());
  EXPECT_EQ(scroller.lit(0), std::vector<int>{});
  scroller.fx.buffer() = *support::make_entry(8, 4);
  scroller.renders(10);
  scroller.fx.buffer() = *support::make_entry(UINT16_MAX, 16);  // the strip's width is limited
  scroller.renders(3);
  EXPECT_EQ(scroller.fx.pixel(UINT16_MAX - 1, 12), 0);
}

TEST(TextScroller, ScriptScrollsATextAcrossTheBottomOfThePicture) {
  support::EngineRun run(support::DataFileBuilder()
                             .script(support::ScriptBuilder()
                                         .newbuf(3, 0, 20, 160, 30)
                                         .newfx(0, SCROLLER, 3)
                                         .setchunk(0, TEXT, 1)
                                         .setchunk(0, FONT, 2)
                                         .setint(0, 0x80, 7)  // ignored
                                         .start(0)
                                         .waitfor(100)
                                         .end())
                             .text("ba")
                             .font(support::make_font({{".#...", ".#...", ".#...", ".#..."},
                                                       {".##.", ".##.", ".##.", ".##."}}))
                             .bytes);
  run.start();
  run.frames(17);
  EXPECT_EQ(run.picture().at(159, 32), 0);
  run.frame();  // "b" lights cell columns 1 and 2: picture column 159, rows 32 to 35
  EXPECT_EQ(run.picture().at(159, 32), 0xFFFF);
  EXPECT_EQ(run.picture().at(159, 35), 0xFFFF);
  EXPECT_EQ(run.picture().at(159, 36), 0);
  run.frames(4);  // "b" now starts at 150; "a", drawn in the 4th render, 6 pixels on
  EXPECT_EQ(run.picture().at(151, 32), 0xFFFF);
  EXPECT_EQ(run.picture().at(152, 32), 0xFFFF);
  EXPECT_EQ(run.picture().at(153, 32), 0);
  EXPECT_EQ(run.picture().at(157, 32), 0xFFFF);
  EXPECT_EQ(run.picture().at(158, 32), 0);
}

}  // namespace
