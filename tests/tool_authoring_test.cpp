// Authoring without traps: ordinary pictures made into the display's greys, the check's word on
// plain greys and on images a wipe paints into, "did you mean" for slips, and the files a show
// is made of.
#include <gtest/gtest.h>

#include "support/tool_harness.h"
#include "tools/dat/grey_picture.h"
#include "tools/dat/suggest.h"

namespace {

using support::PngKind;
using support::Rgb;
using support::ShowDir;

// The image chunk `number` of a compiled show, as the engine decodes it.
const datafile::ImageChunk& image_chunk(const tools::Container& container, uint32_t number) {
  const datafile::ImageChunk* image = tools::image_of(*container.loaded_chunk(number));
  if (image == nullptr) throw std::runtime_error("no image chunk there");
  return *image;
}

TEST(GreyPicture, BrightnessIsLumaOverBlackAsWorkedExamplesShow) {
  EXPECT_EQ(tools::brightness(255, 255, 255), 255);
  EXPECT_EQ(tools::brightness(0, 0, 0), 0);
  EXPECT_EQ(tools::brightness(128, 128, 128), 128);       // a grey is its own brightness
  EXPECT_EQ(tools::brightness(255, 0, 0), 76);            // 0.299 x 255 = 76.2
  EXPECT_EQ(tools::brightness(0, 255, 0), 150);           // 0.587 x 255 = 149.7
  EXPECT_EQ(tools::brightness(0, 0, 255), 29);            // 0.114 x 255 = 29.1
  EXPECT_EQ(tools::brightness(255, 255, 255, 128), 128);  // half covered: 127.5 rounds up
  EXPECT_EQ(tools::brightness(200, 200, 200, 0), 0);
  // The display reads the low byte; the high byte repeats it.
  EXPECT_EQ(tools::display_grey(0x80), 0x8080);
  EXPECT_FALSE(tools::is_banded_grey(tools::display_grey(36)));
  EXPECT_TRUE(tools::is_banded_grey(0x8410));  // R = G = B = 128 as RGB565
  EXPECT_FALSE(tools::is_banded_grey(0xFFFF));
  EXPECT_FALSE(tools::is_banded_grey(0x0000));
}

TEST(GreyPicture, EveryKindOfPngBecomesPixelsWhoseLowByteIsItsBrightness) {
  ShowDir show;
  // A horizontal ramp of greys, in every kind of PNG, the engine's own kinds among them.
  auto ramp = [](int x, int) {
    const auto level = static_cast<uint8_t>(x * 255 / 159);
    return Rgb{level, level, level};
  };
  const std::vector<std::pair<std::string, PngKind>> kinds = {
      {"rgb", PngKind::RGB8},  {"palette", PngKind::PALETTE}, {"mono", PngKind::GREY},
      {"rgba", PngKind::RGBA}, {"rgb16", PngKind::RGB16},
  };
  std::string source;
  for (const auto& [name, kind] : kinds) {
    show.dir.write(name + ".png", support::make_png(160, 50, ramp, kind));
    source += "image " + name + " \"" + name + ".png\" grey\n";
  }
  source += "end\n";
  tools::CompiledShow compiled = show.compile(source);
  ASSERT_FALSE(compiled.diagnostics.has_errors()) << show.lines(compiled.diagnostics)[0];
  tools::Container container = tools::read_data_file(compiled.data_file, "show.dat");
  for (uint32_t chunk = 1; chunk <= kinds.size(); ++chunk) {
    const datafile::ImageChunk& image = image_chunk(container, chunk);
    ASSERT_EQ(image.width, 160);
    ASSERT_EQ(image.height, 50);
    for (int x = 0; x < 160; ++x) {
      const auto level = static_cast<uint8_t>(x * 255 / 159);
      ASSERT_EQ(image.pixels[size_t(49) * 160 + x], level << 8 | level)
          << kinds[chunk - 1].first << " at column " << x;
    }
  }
}

TEST(GreyPicture, AColourPictureShowsAsItsBrightnessOnTheDisplay) {
  ShowDir show;
  // Left half red, right half a plain mid grey, which without 'grey' would show as 16.
  show.dir.write("photo.png", support::make_png(160, 50, [](int x, int) {
                   return x < 80 ? Rgb{255, 0, 0} : Rgb{128, 128, 128};
                 }));
  tools::CompiledShow compiled = show.compile(
      "image photo \"photo.png\" grey\n"
      "buffer 0 at 0,0 size 160x50\n"
      "fx 0 still on 0\n"
      "set 0 image = photo\n"
      "start 0\n"
      "wait 2\n"
      "end\n");
  ASSERT_FALSE(compiled.diagnostics.has_errors()) << show.lines(compiled.diagnostics)[0];
  support::EngineRun run(compiled.data_file);
  run.start();
  run.frame();
  EXPECT_EQ(run.picture().at(10, 10) & 0xFF, 76);
  EXPECT_EQ(run.picture().at(120, 10) & 0xFF, 128);
}

TEST(GreyPicture, OnlyImagesTakeItAndABrokenPictureIsNamed) {
  ShowDir show;
  show.write("broken.png", "\x89PNG\r\n\x1a\nthis is not the rest of a PNG");
  EXPECT_EQ(show.lines(show.compile("text t \"hello.txt\" grey\nend\n").diagnostics),
            std::vector<std::string>{
                "show.tds:1:20: error: unexpected 'grey' after the end of the statement"});
  const std::vector<std::string> broken =
      show.lines(show.compile("image b \"broken.png\" grey\nend\n").diagnostics);
  ASSERT_EQ(broken.size(), 1u);
  EXPECT_EQ(broken[0].rfind("show.tds:1:9: error: 'broken.png' cannot be made grey: ", 0), 0u)
      << broken[0];
  EXPECT_EQ(show.lines(show.compile("image grey \"white.png\"\nend\n").diagnostics),
            std::vector<std::string>{"show.tds:1:7: error: 'grey' is a word of the language and "
                                     "cannot be a name"});
}

// A still of `picture` over the whole picture, from frame 0 to 10.
std::string still_of(const std::string& declaration) {
  return declaration +
         "\n"
         "buffer 0 at 0,0 size 160x50\n"
         "fx 0 still on 0\n"
         "set 0 image = pic\n"
         "start 0\n"
         "wait 10\n"
         "end\n";
}

TEST(Check, PlainGreysInAShownImageAreWarnedAboutWithAWorkedExample) {
  ShowDir show;
  // Greys 120 and 128: RGB565 0x7BCF shows as 207, the brighter 0x8410 as 16.
  show.dir.write("greys.png", support::make_png(160, 50, [](int x, int) {
                   return x < 80 ? Rgb{120, 120, 120} : Rgb{128, 128, 128};
                 }));
  EXPECT_EQ(show.findings(still_of("image pic \"greys.png\"")),
            std::vector<std::string>{
                "show.tds:4:15: warning: image 'pic' holds plain greys (red = green = blue), "
                "which the display shows banded: it reads a pixel's low 8 bits, so 0x7BCF shows "
                "as 207, brighter than 0x8410, which shows as 16; declare it 'image pic "
                "\"greys.png\" grey' (show.tds:1) to show its brightness (byte 14: set 0 image "
                "= pic)"});
  EXPECT_EQ(show.findings(still_of("image pic \"greys.png\" grey")), std::vector<std::string>{});
  // Black and white are shown as they should be; colours are not greys.
  show.dir.write("bw.png", support::make_png(160, 50, [](int x, int y) {
                   return x < 80 ? Rgb{0, 0, 0} : y < 20 ? Rgb{255, 255, 255} : Rgb{200, 40, 10};
                 }));
  EXPECT_EQ(show.findings(still_of("image pic \"bw.png\"")), std::vector<std::string>{});
  // One grey level alone: how it shows.
  show.dir.write("mid.png", support::make_png(160, 50, Rgb{128, 128, 128}));
  const std::vector<std::string> mid = show.findings(still_of("image pic \"mid.png\""));
  ASSERT_EQ(mid.size(), 1u);
  EXPECT_NE(mid[0].find("so 0x8410, 51% of white, shows as 16 of 255;"), std::string::npos)
      << mid[0];
  // Colours fare no better: green shows as its low byte, 64, not as its brightness, 119; the
  // message names the option that fixes it.
  show.dir.write("green.png", support::make_png(160, 50, Rgb{0, 200, 0}));
  EXPECT_EQ(show.findings(still_of("image pic \"green.png\"")),
            std::vector<std::string>{
                "show.tds:4:15: warning: image 'pic' is in colours the display shows as "
                "unrelated greys: it reads a pixel's low 8 bits, so 0x0640, of brightness 119, "
                "shows as 64; declare it 'image pic \"green.png\" grey' (show.tds:1) to show its "
                "brightness (byte 14: set 0 image = pic)"});
  EXPECT_EQ(show.findings(still_of("image pic \"green.png\" grey")), std::vector<std::string>{});
}

TEST(Check, PlainGreysReadAsNumbersByTheMeltAreNotWarnedAbout) {
  ShowDir show;
  show.dir.write("mass.png", support::make_png(160, 50, Rgb{128, 128, 128}));
  EXPECT_EQ(show.findings("image mass \"mass.png\"\n"
                          "buffer 0 at 0,0 size 160x50\n"
                          "fx 0 melt on 0\n"
                          "set 0 source = mass\n"
                          "set 0 gravity_map = mass\n"
                          "start 0\n"
                          "wait 10\n"
                          "end\n"),
            std::vector<std::string>{});
}

TEST(Check, AnImageAWipePaintsIntoIsWarnedAboutWhenAnotherEffectUsesIt) {
  ShowDir show;
  const std::string wipe =
      "fx 1 as blind wipe on 1\n"
      "set blind image = pic\n"  // line 7 below
      "set blind right = 160\n"
      "set blind bottom = 50\n"
      "set blind increment = 8\n"
      "set blind direction = 1\n"
      "start blind\n";
  const std::string header =
      "image pic \"white.png\"\n"
      "buffer 0 at 0,0 size 160x50\n"
      "buffer 1 at 0,0 size 160x50\n"
      "fx 0 still on 0\n"
      "set 0 image = pic\n";
  // A still of the image, and a wipe that paints into the same image: the still is painted too,
  // and a fade of it later would fade the paint.
  EXPECT_EQ(show.findings(header + wipe + "start 0\nwait 10\nend\n"),
            std::vector<std::string>{
                "show.tds:7:19: warning: the wipe of fx 1 paints into image chunk 1 itself, which "
                "fx 0 (still) also uses (show.tds:5): every effect given the image sees the paint "
                "(byte 32: set blind image = pic)"});
  // Alone with its image, a wipe is what it is meant to be.
  EXPECT_EQ(show.findings("image pic \"white.png\"\n"
                          "buffer 1 at 0,0 size 160x50\n" +
                          wipe + "wait 10\nend\n"),
            std::vector<std::string>{});
}

TEST(DidYouMean, EditDistanceCountsChangesInsertionsDeletionsAndSwaps) {
  EXPECT_EQ(tools::edit_distance("fx", "fx"), 0);
  EXPECT_EQ(tools::edit_distance("fxx", "fx"), 1);
  EXPECT_EQ(tools::edit_distance("strat", "start"), 1);  // two neighbours swapped
  EXPECT_EQ(tools::edit_distance("color", "colour"), 1);
  EXPECT_EQ(tools::edit_distance("Still", "still"), 0);  // case is not a slip of a letter
  EXPECT_EQ(tools::edit_distance("rotozom", "rotozoom"), 1);
  EXPECT_EQ(tools::edit_distance("kitten", "sitting"), 3);
  EXPECT_EQ(tools::edit_distance("", "wait"), 4);
  const std::vector<std::string_view> words = {"at", "as", "wait", "start", "stop"};
  EXPECT_EQ(tools::nearest_word("strt", words), "start");
  EXPECT_EQ(tools::nearest_word("a", words), "at");  // the first of equally near words
  EXPECT_EQ(tools::nearest_word("banana", words), "");
  EXPECT_EQ(tools::nearest_word("wait", words), "");  // a known word is no slip
}

TEST(DidYouMean, MisspeltStatementsClassesParametersAndNamesGetASuggestion) {
  ShowDir show;
  const std::vector<std::string> findings = show.findings(
      "image pic \"white.png\"\n"
      "buffer 0 as screen at 0,0 size 160x50\n"
      "fxx 1 still on screen\n"
      "fx 2 as paint wipe on scren\n"
      "fx 3 as fill cycle on screen\n"
      "set fill color = 5\n"
      "fx 4 as picture still on screen\n"
      "set picture image = pix\n"
      "strat fill\n"
      "NEWBUFF 5, 0, 0, 10, 10\n"
      "end\n");
  EXPECT_EQ(findings, (std::vector<std::string>{
                          "show.tds:3:1: error: unknown statement 'fxx'; did you mean 'fx'?",
                          "show.tds:4:23: error: unknown buffer 'scren'; did you mean 'screen'?",
                          "show.tds:6:10: error: cycle has no parameter 'color'; did you mean "
                          "'colour'?",
                          "show.tds:8:21: error: unknown chunk 'pix'; did you mean 'pic'?",
                          "show.tds:9:1: error: unknown statement 'strat'; did you mean 'start'?",
                          "show.tds:10:1: error: unknown statement 'NEWBUFF'; did you mean "
                          "'NEWBUF'?",
                      }));
  // Nothing near: the message lists what there is instead.
  EXPECT_EQ(show.findings("buffer 0 at 0,0 size 160x50\nfx 0 pinwheel on 0\nend\n"),
            std::vector<std::string>{
                "show.tds:2:6: error: unknown effect class 'pinwheel'; the classes are cycle, "
                "bounce, still, tint, rotozoom, curtain, noise, fade, scroller, blobs, sparks, "
                "melt, wipe"});
}

TEST(DidYouMean, AMisspeltClassIsOneErrorNotOneForEveryLineAboutItsSlot) {
  ShowDir show;
  EXPECT_EQ(show.findings("image tex \"texture.png\"\n"
                          "buffer 0 at 0,0 size 160x50\n"
                          "fx 2 as roto rotozom on 0\n"
                          "set roto texture = tex\n"
                          "set 2 texture = tex\n"
                          "start roto\n"
                          "wait 10\n"
                          "stop roto\n"
                          "end\n"),
            std::vector<std::string>{
                "show.tds:3:14: error: unknown effect class 'rotozom'; did you mean 'rotozoom'?"});
  // Made again with a good class, the slot is an ordinary slot again.
  EXPECT_EQ(show.findings("buffer 0 at 0,0 size 160x50\n"
                          "fx 2 as roto rotozom on 0\n"
                          "fx 2 as roto cycle on 0\n"
                          "set roto texture = 5\n"
                          "end\n"),
            (std::vector<std::string>{
                "show.tds:2:14: error: unknown effect class 'rotozom'; did you mean 'rotozoom'?",
                "show.tds:4:10: error: cycle has no parameter 'texture'; its parameters are "
                "colour"}));
}

TEST(CompiledShowFiles, AreEveryFileTheShowReadsOrTriedToRead) {
  ShowDir show;
  show.write("scenes/one.tds",
             "image pic \"../white.png\"\n"
             "text words \"../hello.txt\"\n"
             "include \"two.tds\"\n");
  show.write("scenes/two.tds", "font small \"../abc.txt\"\nimage gone \"../missing.png\"\n");
  tools::CompiledShow compiled = show.compile("include \"scenes/one.tds\"\nend\n");
  EXPECT_TRUE(compiled.diagnostics.has_errors());  // the missing picture
  EXPECT_EQ(compiled.files,
            (std::vector<std::string>{
                show.path("show.tds"), show.path("scenes/one.tds"), show.path("scenes/two.tds"),
                show.path("scenes/../white.png"), show.path("scenes/../hello.txt"),
                show.path("scenes/../abc.txt"), show.path("scenes/../missing.png")}));
}

}  // namespace
