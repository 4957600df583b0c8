// The data file: the chunk container, PNG decoding to RGB565 and the bitmap font.
#include <gtest/gtest.h>

#include "base/fatal.h"
#include "datafile/chunk.h"
#include "support/show_harness.h"

namespace {

using datafile::ChunkKind;
using support::Bytes;
using support::DataFileBuilder;
using support::load_bytes;
using support::make_png;
using support::PngKind;
using support::Rgb;
using support::ScriptBuilder;

const Bytes script = ScriptBuilder().end().bytes;

// The message of the fatal error that loading `file` ends with.
std::string load_failure(const Bytes& file) {
  try {
    load_bytes(file);
  } catch (const engine::FatalError& error) {
    return error.message;
  }
  return "(no error)";
}

const datafile::ImageChunk& image_at(const datafile::ChunkTable& table, size_t index) {
  return static_cast<const datafile::ImageChunk&>(*table.at(index));
}

TEST(Loader, ReadsChunksInFileOrder) {
  auto table = load_bytes(DataFileBuilder()
                              .script(ScriptBuilder().end())
                              .text("hello")
                              .image(make_png(2, 2, Rgb{255, 255, 255}))
                              .font(support::make_font({{"#"}}))
                              .music({'t', 'u', 'n', 'e'})
                              .bytes);
  ASSERT_EQ(table.size(), 5u);
  EXPECT_EQ(table[0]->kind, ChunkKind::SCRIPT);
  EXPECT_EQ(table[1]->kind, ChunkKind::TEXT);
  EXPECT_EQ(table[2]->kind, ChunkKind::IMAGE);
  EXPECT_EQ(table[3]->kind, ChunkKind::FONT);
  EXPECT_EQ(table[4]->kind, ChunkKind::MUSIC);
  const auto& text = static_cast<const datafile::TextChunk&>(*table[1]);
  EXPECT_EQ(text.size, 6);  // the zero byte is part of the payload, none is added
  EXPECT_EQ(text.bytes, (Bytes{'h', 'e', 'l', 'l', 'o', 0}));
  // The module is kept as its bytes, whatever they are: decoding them is the sound library's.
  engine::Show show(std::move(table));
  ASSERT_NE(show.music(), nullptr);
  EXPECT_EQ(show.music()->bytes, (Bytes{'t', 'u', 'n', 'e'}));
  EXPECT_EQ(engine::Show(load_bytes(DataFileBuilder().script(ScriptBuilder().end()).bytes)).music(),
            nullptr);
}

TEST(Loader, AnUnknownTagEndsLoadingThere) {
  std::string err;
  auto table = load_bytes(DataFileBuilder()
                              .chunk("DEMO", script)
                              .text("one")
                              .chunk("JUNK", {1, 2, 3})
                              .text("never loaded")
                              .bytes,
                          &err);
  EXPECT_EQ(table.size(), 2u);
  EXPECT_NE(err.find("chunk 2 (JUNK at offset"), std::string::npos) << err;
  EXPECT_NE(err.find("unknown tag"), std::string::npos) << err;
}

TEST(Loader, TheNextChunkStartsAfterThePayloadWhateverTheReaderConsumed) {
  Bytes png = make_png(1, 1, Rgb{0, 0, 255});
  png.insert(png.end(), {'T', 'E', 'X', 'T', 0, 0, 0, 0});  // inside the payload: not a chunk
  auto table = load_bytes(DataFileBuilder().chunk("DEMO", script).image(png).text("after").bytes);
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(static_cast<const datafile::TextChunk&>(*table[2]).size, 6);
}

TEST(Loader, AnEmptyTextChunkHasSizeZero) {
  auto table = load_bytes(DataFileBuilder().chunk("DEMO", script).chunk("TEXT", {}).bytes);
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(static_cast<const datafile::TextChunk&>(*table[1]).size, 0);
}

TEST(Loader, BrokenContainersAreFatalAndSayWhere) {
  struct Case {
    const char* name;
    Bytes file;
    const char* message;
  };
  DataFileBuilder many;
  many.chunk("DEMO", script);
  for (int i = 0; i < 127; ++i) many.text("x");
  const Case cases[] = {
      {"empty file", {}, "holds no usable chunk 0"},
      {"unknown first tag", DataFileBuilder().chunk("XXXX", script).bytes,
       "holds no usable chunk 0"},
      {"negative length", DataFileBuilder().chunk("DEMO", script).header("TEXT", -5).bytes,
       "chunk 1 (TEXT at offset 9) has a negative length (-5)"},
      {"truncated payload",
       DataFileBuilder().chunk("DEMO", script).header("TEXT", 100).text("x").bytes,
       "chunk 1 (TEXT at offset 9) is truncated: its length is 100 bytes but only 10 follow"},
      {"128 chunks", many.bytes, "holds more than 127 chunks; chunk 127 is one too many"},
  };
  for (const Case& c : cases) {
    std::string message = load_failure(c.file);
    EXPECT_NE(message.find(c.message), std::string::npos) << c.name << ": " << message;
    EXPECT_TRUE(message.starts_with("loader  : ")) << c.name;
  }
}

TEST(Loader, AMissingFileIsFatalAndNamesIt) {
  support::CapturedStream out, err;
  try {
    datafile::load_data_file("no/such/file.dat", {out.file, err.file});
    FAIL() << "loaded a missing file";
  } catch (const engine::FatalError& error) {
    EXPECT_EQ(error.message,
              "loader  : cannot open data file no/such/file.dat: No such file or directory\n");
  }
  EXPECT_EQ(out.text(), "loader  : loading no/such/file.dat\n");
}

TEST(Loader, StrayBytesAfterTheLastChunkAreIgnoredWithAWarning) {
  Bytes file = DataFileBuilder().chunk("DEMO", script).bytes;
  file.insert(file.end(), {'P', 'I', 'N'});
  std::string err;
  EXPECT_EQ(load_bytes(file, &err).size(), 1u);
  EXPECT_NE(err.find("3 stray bytes at offset 9 ignored"), std::string::npos) << err;
}

TEST(PingChunk, ConvertsChannelsToRgb565ByDroppingLowBits) {
  const Rgb colours[] = {{255, 255, 255}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255},
                         {0, 0, 0},       {7, 3, 7},   {8, 4, 8},   {200, 100, 50}};
  const uint16_t expected[] = {0xFFFF, 0xF800, 0x07E0, 0x001F, 0x0000, 0x0000, 0x0821, 0xCB26};
  for (PngKind kind : {PngKind::RGB8, PngKind::PALETTE}) {
    auto table = load_bytes(DataFileBuilder()
                                .chunk("DEMO", script)
                                .image(make_png(
                                    8, 1, [&](int x, int) { return colours[x]; }, kind))
                                .bytes);
    const auto& image = image_at(table, 1);
    ASSERT_EQ(image.width, 8);
    ASSERT_EQ(image.height, 1);
    EXPECT_EQ(image.depth, 16);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(image.pixels[x], expected[x]) << "pixel " << x;
  }
}

TEST(PingChunk, ReadsPaletteAndInterlacedImagesRowMajor) {
  auto pattern = [](int x, int y) { return Rgb{uint8_t(x * 8), uint8_t(y * 4), uint8_t(x ^ y)}; };
  auto table = load_bytes(DataFileBuilder()
                              .chunk("DEMO", script)
                              .image(make_png(1, 1, Rgb{16, 32, 64}, PngKind::PALETTE))
                              .image(make_png(13, 7, pattern, PngKind::RGB8, true))
                              .bytes);
  EXPECT_EQ(image_at(table, 1).pixels[0], support::rgb565({16, 32, 64}));
  const auto& interlaced = image_at(table, 2);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 13; ++x)
      EXPECT_EQ(interlaced.pixels[y * 13 + x], support::rgb565(pattern(x, y)));
}

TEST(PingChunk, PayloadsThatAreNotUsablePngsEndLoadingWithAMessage) {
  Bytes corrupt = make_png(16, 16, [](int x, int y) {
    return Rgb{uint8_t(x * 16), uint8_t(y * 16), 9};
  });
  for (size_t i = corrupt.size() / 2; i < corrupt.size() - 12; ++i) corrupt[i] ^= 0x5A;
  Bytes tall = make_png(1, 3000, Rgb{1, 2, 3}, PngKind::PALETTE);
  struct Case {
    const char* name;
    Bytes payload;
    const char* message;
  };
  const Case cases[] = {
      {"JPEG",
       {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0},
       "ping: invalid data format\n"},
      {"text",
       {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'},
       "ping: invalid data format\n"},
      {"corrupt body", corrupt, "corrupt PNG"},
      {"grey", make_png(2, 2, Rgb{9, 9, 9}, PngKind::GREY), "a grey PNG"},
      {"alpha", make_png(2, 2, Rgb{9, 9, 9}, PngKind::RGBA), "a PNG with an alpha channel"},
      {"16-bit", make_png(2, 2, Rgb{9, 9, 9}, PngKind::RGB16), "a 16-bit RGB PNG"},
      {"palette with transparency", make_png(2, 2, Rgb{9, 9, 9}, PngKind::PALETTE_TRNS),
       "a palette PNG with transparency"},
      {"3000 rows", tall, "a PNG of 3000 rows (at most 2048)"},
  };
  for (const Case& c : cases) {
    std::string err;
    auto table = load_bytes(
        DataFileBuilder().chunk("DEMO", script).chunk("PING", c.payload).text("after").bytes, &err);
    EXPECT_EQ(table.size(), 1u) << c.name;
    EXPECT_NE(err.find(c.message), std::string::npos) << c.name << ": " << err;
    EXPECT_NE(err.find("chunk 1 (PING at offset 9) cannot be used; loading stops here"),
              std::string::npos)
        << c.name << ": " << err;
  }
}

// Fonts: glyph g of `widths` is a solid block `widths[g]` columns wide and 4 rows high.
Bytes block_font(const std::vector<int>& widths) {
  std::vector<std::vector<std::string>> glyphs;
  for (int width : widths) glyphs.push_back(std::vector<std::string>(4, std::string(width, '#')));
  return support::make_font(glyphs);
}

std::unique_ptr<datafile::FontChunk> parse(const Bytes& payload, std::string* error = nullptr) {
  std::string problem;
  auto font = datafile::parse_font(payload.data(), payload.size(), problem);
  if (error != nullptr) *error = problem;
  return font;
}

TEST(FontChunk, CellWidthIsTheNextMultipleOf32AboveTheWidestAdvance) {
  auto narrow = parse(block_font({3, 20, 7}));
  ASSERT_TRUE(narrow);
  EXPECT_EQ(narrow->cell_width, 32);
  EXPECT_EQ(narrow->space_advance, 8);
  EXPECT_EQ(narrow->glyph_height, 4);
  EXPECT_EQ(narrow->table_rows, 12);
  EXPECT_EQ(narrow->glyph_stride, 128);
  EXPECT_EQ(narrow->glyph_count, 3);
  EXPECT_EQ(narrow->advances[1], 20);
  auto wide = parse(block_font({32}));
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->cell_width, 64);
  EXPECT_EQ(wide->space_advance, 16);
}

TEST(FontChunk, AFontWithoutGlyphsDrawsNothingAndAdvancesEight) {
  auto font = parse(support::make_font_raw(0, {}, 0, 0, [](int, int) { return false; }));
  ASSERT_TRUE(font);
  EXPECT_EQ(font->table_rows, 0);
  EXPECT_EQ(font->cell_width, 32);
  engine::Buffer buffer{engine::allocate_pixels(64 * 8), 64, 8, 0, 0};
  for (int c = 0; c < 256; ++c) EXPECT_EQ(datafile::draw_glyph(*font, buffer, uint8_t(c), 0, 0), 8);
}

TEST(FontChunk, OnlyTheFirstNMapEntriesHaveGlyphs) {
  auto font = parse(block_font({2, 3, 4}));  // "a", "b", "c"
  ASSERT_TRUE(font);
  engine::Buffer buffer{engine::allocate_pixels(64 * 8), 64, 8, 0, 0};
  EXPECT_EQ(datafile::draw_glyph(*font, buffer, 'a', 0, 0), 2);
  EXPECT_EQ(datafile::draw_glyph(*font, buffer, 'c', 0, 0), 4);
  for (uint8_t unmapped : {uint8_t('d'), uint8_t(' '), uint8_t('A'), uint8_t(0), uint8_t(0xFF)})
    EXPECT_EQ(datafile::draw_glyph(*font, buffer, unmapped, 0, 0), 8) << int(unmapped);
}

TEST(FontChunk, AGlyphCellIsCopiedOpaqueAndLightsAtMostAdvancePlusOneColumns) {
  // Glyph "a" is 5 columns wide; the strip's column 5 (the start of "b") is lit as well.
  auto font = parse(block_font({5, 6}));
  ASSERT_TRUE(font);
  engine::Buffer buffer{engine::allocate_pixels(40 * 6), 40, 6, 0, 0};
  std::fill_n(buffer.pixels.get(), 40 * 6, 0x1234);
  EXPECT_EQ(datafile::draw_glyph(*font, buffer, 'a', 2, 1), 5);
  for (int column = 0; column < 40; ++column) {
    uint16_t expected = column < 2 || column >= 34 ? 0x1234 : column < 2 + 6 ? 0xFFFF : 0;
    EXPECT_EQ(buffer.pixels[1 * 40 + column], expected) << "column " << column;
  }
  EXPECT_EQ(buffer.pixels[0], 0x1234);           // row 0 is above the cell
  EXPECT_EQ(buffer.pixels[5 * 40 + 2], 0x1234);  // row 5 is below it
}

TEST(FontChunk, CellsThatDoNotFitTheBufferAreClipped) {
  auto font = parse(block_font({5}));
  ASSERT_TRUE(font);
  engine::Buffer buffer{engine::allocate_pixels(10 * 3), 10, 3, 0, 0};
  EXPECT_EQ(datafile::draw_glyph(*font, buffer, 'a', 7, 1), 5);
  EXPECT_EQ(buffer.pixels[2 * 10 + 9], 0xFFFF);
  EXPECT_EQ(buffer.pixels[0], 0);
  EXPECT_EQ(datafile::draw_glyph(*font, buffer, 'a', -3, -2), 5);
  EXPECT_EQ(buffer.pixels[0], 0xFFFF);  // cell column 3, row 2
  EXPECT_EQ(buffer.pixels[2], 0);       // cell column 5, past the glyph
}

TEST(FontChunk, FontsOutsideWhatCanBeDrawnAreRefused) {
  std::string error;
  EXPECT_FALSE(parse(block_font(std::vector<int>(43, 2)), &error));
  EXPECT_EQ(error, "43 glyphs; the character map has 42");
  EXPECT_FALSE(
      parse(support::make_font_raw(2, {4, 3}, 8, 1, [](int, int) { return true; }), &error));
  EXPECT_EQ(error, "glyph 1 ends at column 3, before it starts at 4");
  EXPECT_FALSE(parse(support::make_font_raw(1, {8}, 8, 1, [](int, int) { return true; }), &error));
  EXPECT_EQ(error, "glyph 0 ends at column 8, outside the strip of width 8");
  Bytes short_strip = block_font({3});
  short_strip.resize(short_strip.size() - 1);
  EXPECT_FALSE(parse(short_strip, &error));
  EXPECT_NE(error.find("needs 64 bytes, but only 63 follow"), std::string::npos) << error;
}

TEST(FontChunk, ARefusedFontEndsLoadingWithAMessage) {
  std::string err;
  auto table = load_bytes(
      DataFileBuilder().chunk("DEMO", script).font(block_font(std::vector<int>(60, 2))).bytes,
      &err);
  EXPECT_EQ(table.size(), 1u);
  EXPECT_NE(err.find("not a font the engine can draw: 60 glyphs"), std::string::npos) << err;
}

}  // namespace
