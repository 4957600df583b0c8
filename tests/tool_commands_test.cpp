// What the commands do around their work: output that cannot be written, a show that would be
// overwritten, a data file given where a source is wanted. The programs are run as users run
// them.
#include <gtest/gtest.h>

#include "support/tool_harness.h"

namespace {

using support::ShowDir;

// /dev/full takes nothing: every program that prints there must say so and fail.
TEST(Commands, OutputThatCannotBeWrittenFailsWithAMessage) {
  ShowDir show;
  const struct {
    std::string program, arguments;
  } cases[] = {
      {TUNDRA_PLAYER, "--help"},
      {TUNDRA_PLAYER, "--version"},
      {TUNDRA_RENDER, "--help"},
      {TUNDRA_DAT, "--help"},
      {TUNDRA_DAT, "help"},
      {TUNDRA_DAT, "--version"},
      {TUNDRA_DAT, "play --help"},
      {TUNDRA_DAT, "classes"},
      {TUNDRA_DAT, "list " TUNDRA_SHOW},
      {TUNDRA_DAT, "extract " TUNDRA_SHOW " out"},
  };
  for (const auto& c : cases) {
    support::ToolRun run = show.run_program(c.program + " " + c.arguments + " >/dev/full");
    const std::string name = c.program.substr(c.program.rfind('/') + 1);
    EXPECT_EQ(run.status, 1) << name << " " << c.arguments;
    EXPECT_EQ(run.err, name + ": cannot write standard output: No space left on device\n")
        << name << " " << c.arguments;
  }
}

TEST(Commands, ExtractKeepsAnExistingShowUnlessForced) {
  ShowDir show;
  show.write("show.tds", "buffer 0 at 0,0 size 8x8\nend\n");
  ASSERT_EQ(show.run({"build", show.path("show.tds")}).status, 0);
  show.write("out/show.tds", "# my edits\n");
  support::ToolRun refused = show.run({"extract", show.path("show.dat"), show.path("out")});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "out/show.tds: error: already exists; --force replaces it\n");
  EXPECT_EQ(show.read("out/show.tds").size(), 11u);  // the edits, untouched
  support::ToolRun forced =
      show.run({"extract", show.path("show.dat"), show.path("out"), "--force"});
  EXPECT_EQ(forced.status, 0) << forced.err;
  EXPECT_EQ(forced.out, "out/show.tds\n");
}

TEST(Commands, ADataFileGivenAsASourceIsNamedForWhatItIs) {
  ShowDir show;
  show.write("show.tds", "buffer 0 at 0,0 size 8x8\nend\n");
  ASSERT_EQ(show.run({"build", show.path("show.tds")}).status, 0);
  show.write("main.tds", "include \"show.dat\"\n");
  const struct {
    std::vector<std::string> arguments;
    std::string error;
  } cases[] = {
      {{"build", show.path("show.dat"), "-o", show.path("x.dat")},
       "show.dat: error: this is a data file, not a show's source"},
      {{"check", show.path("main.tds")},
       "main.tds:1:9: error: 'show.dat' is a data file, not a show's source"},
  };
  for (const auto& c : cases) {
    support::ToolRun run = show.run(c.arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with(c.error)) << run.err;
  }
}

}  // namespace

// A source's bytes reach the messages only as a terminal can show them without acting on them.
TEST(Commands, BytesATerminalWouldActOnAreEscapedInMessages) {
  const struct {
    std::string word, shown;
  } cases[] = {
      {"\x1b[2Jwipe", "\\x1B[2Jwipe"},  // clears the screen
      {"caf\xc3\xa9", "caf\xc3\xa9"},   // a letter of another script stays
      {"csi\xc2\x9b"
       "31m",
       "csi\\xC2\\x9B31m"},              // the one-character CSI, a C1 control
      {"bad\xff\xc3", "bad\\xFF\\xC3"},  // not UTF-8
      {"\xe2\x80\xae"
       "txt.exe",
       "\\xE2\\x80\\xAEtxt.exe"},  // turns the rest of the line around
  };
  for (const auto& c : cases) {
    ShowDir show;
    show.write("show.tds", c.word + "\nend\n");
    support::ToolRun run = show.run({"check", show.path("show.tds")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "show.tds:1:1: error: unknown statement '" + c.shown + "'\n1 error, 0 warnings\n");
  }
  ShowDir show;
  support::ToolRun run = show.run({"list", show.path("bell\a.dat")});
  EXPECT_EQ(run.err, "bell\\x07.dat: error: cannot read: No such file or directory\n");
}
