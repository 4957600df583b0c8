// Round trips (build, disasm and extract give back the same bytes) and files that try to break
// the tools.
#include <gtest/gtest.h>

#include <set>

#include "engine/opcodes.h"
#include "fixtures/square_wave_module.h"
#include "support/tool_harness.h"
#include "tools/dat/disassembler.h"
#include "tools/dat/font_art.h"
#include "tools/dat/listing.h"

namespace {

using support::Bytes;
using support::DataFileBuilder;
using support::ShowDir;

// Every instruction, every effect class and every kind of chunk, and a clean check.
const char* const EVERYTHING =
    "music \"tune.mod\"  # written after every other chunk, wherever it stands\n"
    "image white \"white.png\"\n"
    "image texture \"texture.png\"\n"
    "image pages \"pages.png\"\n"
    "text hello \"hello.txt\"\n"
    "text bare \"hello.txt\" raw\n"
    "font abc \"abc.txt\"\n"
    "font old \"old.font\" raw\n"
    "\n"
    "buffer 0 as screen at 0,0 size 160x50\n"
    "view 1 as mirror at 0,0 of screen\n"
    "fx 0 cycle on screen\n"
    "set 0 colour = 0x07E0\n"
    "fx 1 bounce on screen\n"
    "set 1 count = 20\n"
    "set 1 source = white\n"
    "set 1 background = white\n"
    "set 1 drop = 1\n"
    "fx 2 still on mirror\n"
    "set 2 image = white\n"
    "fx 3 tint on screen\n"
    "set 3 count = 10\n"
    "set 3 source = white\n"
    "fx 4 rotozoom on screen\n"
    "set 4 texture = texture\n"
    "fx 5 curtain on screen\n"
    "set 5 source = pages\n"
    "set 5 hold = 30\n"
    "fx 6 noise on screen\n"
    "set 6 source = white\n"
    "set 6 mode = 1\n"
    "fx 7 fade on screen\n"
    "set 7 source = white\n"
    "set 7 mode = 1\n"
    "fx 8 scroller on screen\n"
    "set 8 text = hello\n"
    "set 8 font = abc\n"
    "set 8 font = old\n"
    "fx 9 blobs on screen\n"
    "set 9 count = 3\n"
    "set 9 0x90 = bare   # no such parameter: a warning\n"
    "fx 10 sparks on screen\n"
    "set 10 count = 5\n"
    "fx 11 melt on screen\n"
    "set 11 source = white\n"
    "set 11 gravity_map = white\n"
    "set 11 flowing = 1\n"
    "fx 12 wipe on screen\n"
    "set 12 image = white\n"
    "set 12 right = 160\n"
    "set 12 bottom = 50\n"
    "set 12 increment = 4\n"
    "set 12 colour = 0xF800\n"
    "set 12 direction = 1\n"
    "skip\n"
    "skip 7\n"
    "start 0\n"
    "wait 1.5s\n"
    "stop 0\n"
    "start 12\n"
    "at 0:03\n"
    "state 12 3\n"
    "end\n";

struct RoundTrip : ShowDir {
  RoundTrip() {
    dir.write("pages.png", support::make_png(160, 150, support::Rgb{200, 100, 0}));
    dir.write("old.font", support::make_font({{"#.", "##"}, {"##", ".#"}}));  // 00 00 00 FF pixels
    dir.write("tune.mod", support::square_wave_module());
    write("show.tds", EVERYTHING);
  }
};

TEST(RoundTrip, BuildDisasmAndExtractGiveTheSameBytes) {
  RoundTrip show;
  support::ToolRun run = show.run({"build", show.path("show.tds"), "-o", show.path("a.dat")});
  ASSERT_EQ(run.status, 0) << run.err;
  const Bytes built = show.read("a.dat");

  // The show does use every opcode, every class and every kind of chunk.
  tools::Container container = tools::read_data_file(built, "a.dat");
  std::set<int> opcodes, classes;
  std::set<std::string> tags;
  const std::span<const uint8_t> script = container.script()->payload;
  for (uint32_t at = 0; at < script.size();) {
    engine::Instruction instruction;
    ASSERT_EQ(engine::decode_instruction(script.data(), script.size(), at, instruction),
              engine::Decode::OK);
    opcodes.insert(instruction.info->code);
    if (instruction.info->code == engine::NEWFX) classes.insert(instruction.operands[1]);
    at += instruction.info->length;
  }
  for (const tools::FileChunk& chunk : container.chunks) tags.insert(chunk.tag_text());
  EXPECT_EQ(opcodes.size(), std::size(engine::opcode_table));
  EXPECT_EQ(classes.size(), size_t{fx::FX_CLASS_COUNT});
  EXPECT_EQ(tags, (std::set<std::string>{"DEMO", "PING", "TEXT", "FONT", "TUNE"}));
  EXPECT_EQ(container.chunks.back().tag_text(), "TUNE");  // after every other chunk

  run = show.run({"extract", show.path("a.dat"), show.path("out")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "out/image1.png\nout/image2.png\nout/image3.png\nout/text4.txt\nout/text5.txt\n"
            "out/font6.txt\nout/font7.font\nout/music8.mod\nout/show.tds\n");
  EXPECT_EQ(show.read("out/music8.mod"), support::square_wave_module());
  run = show.run({"build", show.path("out/show.tds"), "-o", show.path("b.dat")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(show.read("b.dat"), built);

  run = show.run({"disasm", show.path("a.dat"), "-o", show.path("out/disasm.tds")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(show.read("out/disasm.tds"), show.read("out/show.tds"));
  run = show.run({"build", show.path("out/disasm.tds"), "-o", show.path("c.dat")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(show.read("c.dat"), built);
}

TEST(RoundTrip, TheDisassemblyReadsLikeTheShow) {
  RoundTrip show;
  ASSERT_EQ(show.run({"build", show.path("show.tds"), "-o", show.path("a.dat")}).status, 0);
  std::string text = show.run({"disasm", show.path("a.dat")}).out;
  for (const char* line : {
           "font  font6    \"font6.txt\"\n",
           "text  text5    \"text5.txt\" raw\n",
           "music \"music8.mod\"\n",
           "buffer 0 at 0,0 size 160x50\n",
           "view 1 at 0,0 of 0\n",
           "fx 4 rotozoom on 0\n",
           "set 4 texture = image2\n",
           "set 12 colour = 0xF800\n",
           "set 9 0x90 = text5\n",
           "set 5 hold = 30\n",
           "skip 7\n",
           "wait 50  # 1.50s\n",
           "at 100  # 0:03.00\n",
           "state 12 3\n",
       })
    EXPECT_NE(text.find(line), std::string::npos) << line << text;
  EXPECT_NE(text.find("font  font7    \"font7.font\" raw  # as art it would not rebuild: pixel 0 "
                      "of row 0 holds bytes other than 00 or FF\n"),
            std::string::npos)
      << text;
}

// A small deterministic generator, so that every run tries the same scripts.
struct Random {
  uint32_t state;
  uint32_t next(uint32_t bound) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % bound;
  }
};

Bytes random_script(Random& random) {
  Bytes script;
  const int count = static_cast<int>(random.next(12));
  for (int i = 0; i < count; ++i) {
    if (random.next(10) == 0) {  // any byte at all, opcode or not
      script.push_back(static_cast<uint8_t>(random.next(256)));
      continue;
    }
    const engine::OpcodeInfo& info =
        engine::opcode_table[random.next(std::size(engine::opcode_table))];
    std::array<uint32_t, engine::MAX_OPERANDS> operands{};
    for (int o = 0; o < info.operand_count(); ++o)
      operands[o] = random.next(4) == 0 ? random.state : random.next(16) + (o == 1 ? 0x80 : 0);
    Bytes bytes = tools::encode_instruction(info, operands);
    script.insert(script.end(), bytes.begin(), bytes.end());
  }
  if (random.next(3) == 0 && !script.empty())
    script.resize(random.next(static_cast<uint32_t>(script.size())));
  return script;
}

TEST(RoundTrip, AnyScriptDisassemblesToAShowThatRebuildsIt) {
  ShowDir show;
  tools::Diagnostics ignored;
  Bytes abc = tools::compile_font_art(support::ABC_ART, "abc.txt", ignored).value_or(Bytes{});
  Random random{7};
  for (int round = 0; round < 150; ++round) {
    Bytes script = random_script(random);
    Bytes file = DataFileBuilder()
                     .chunk("DEMO", script)
                     .image(show.read("white.png"))
                     .text("hi")
                     .font(abc)
                     .bytes;
    tools::Container container = tools::read_data_file(file, "random.dat");
    std::string directory = show.path("round" + std::to_string(round));
    tools::Extraction extraction = tools::extract_chunks(container, directory);
    ASSERT_FALSE(extraction.diagnostics.has_errors()) << round;
    tools::CompiledShow rebuilt = tools::compile_show(directory + "/show.tds");
    ASSERT_FALSE(rebuilt.diagnostics.has_errors())
        << round << ": " << show.lines(rebuilt.diagnostics)[0];
    EXPECT_EQ(rebuilt.data_file, file) << "round " << round;
  }
}

// Runs every reader of outside bytes over `file`; the sanitizers see what they touch.
void take_apart(const Bytes& file) {
  tools::Container container = tools::read_data_file(file, "hostile.dat");
  std::string listing = tools::list_chunks(container);
  EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'),
            static_cast<ptrdiff_t>(container.chunks.size()));
  tools::disassemble(container);
  tools::check_show(container);
}

TEST(HostileFiles, BrokenContainersAreReportedNotTrusted) {
  const Bytes end = {0xFF};
  const std::vector<Bytes> files = {
      {},
      {'D', 'E', 'M', 'O'},
      {'D', 'E', 'M', 'O', 0x7F, 0xFF, 0xFF, 0xFF, 0xFF},
      {'D', 'E', 'M', 'O', 0x80, 0, 0, 0},
      DataFileBuilder().chunk("DEMO", {0x01, 0x03}).bytes,
      DataFileBuilder().chunk("DEMO", end).chunk("PING", {0x89, 'P', 'N', 'G', 0x0D, 0x0A}).bytes,
      DataFileBuilder()
          .chunk("DEMO", end)
          .chunk("FONT", {1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})
          .bytes,
      DataFileBuilder().chunk("DEMO", end).chunk("FONT", {42}).bytes,
      DataFileBuilder().chunk("DEMO", {0x07, 0, 0x80, 200, 0xFF}).chunk("DEMO", end).bytes,
  };
  for (const Bytes& file : files) take_apart(file);
}

TEST(HostileFiles, MutatedFilesNeverBreakTheTools) {
  RoundTrip everything;
  ASSERT_EQ(
      everything.run({"build", everything.path("show.tds"), "-o", everything.path("a.dat")}).status,
      0);
  const Bytes original = everything.read("a.dat");
  Random random{2003};
  for (int round = 0; round < 300; ++round) {
    Bytes file = original;
    const int changes = 1 + static_cast<int>(random.next(8));
    for (int c = 0; c < changes; ++c) {
      // Chunk headers are where lengths live: aim at them as often as at payloads.
      if (file.empty()) break;
      size_t at =
          random.next(2) == 0 ? random.next(64) : random.next(static_cast<uint32_t>(file.size()));
      if (at >= file.size()) continue;
      switch (random.next(4)) {
        case 0:
          file[at] = static_cast<uint8_t>(random.next(256));
          break;
        case 1:
          file[at] ^= static_cast<uint8_t>(1u << random.next(8));
          break;
        case 2:
          file.resize(at);
          break;
        case 3:
          file.insert(file.begin() + static_cast<ptrdiff_t>(at),
                      static_cast<uint8_t>(random.next(256)));
          break;
      }
    }
    take_apart(file);
  }
}

TEST(HostileFiles, ExtractSaysWhatTheShowCannotRebuild) {
  ShowDir show;
  show.dir.write("odd.dat",
                 DataFileBuilder().chunk("DEMO", {0xFF}).chunk("JUNK", {1, 2}).text("after").bytes);
  support::ToolRun run = show.run({"extract", show.path("odd.dat"), show.path("odd")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "odd/text2.txt\nodd/show.tds\n");
  EXPECT_EQ(run.err,
            "odd.dat: error: chunk 1 (JUNK at offset 9): unknown tag; the engine stops loading "
            "here and never sees the chunks after it\n"
            "odd.dat: error: chunk 1 (JUNK at offset 9) is left out: its tag is unknown; the show "
            "below does not rebuild it\n"
            "2 errors, 0 warnings\n");
}

}  // namespace
