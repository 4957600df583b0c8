// The three programs' command lines as a user types them: the player's file and switches,
// --help, --version, mistakes with status 2, show sources given in place of data files, and the
// conventions tundra-render and tundra-dat share with the player.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "fixtures/process.h"
#include "player/player_command_line.h"
#include "support/render_harness.h"
#include "tools/dat/cli.h"
#include "tools/render/options.h"

namespace {

using support::DataFileBuilder;
using support::ProgramRun;
using support::run_in;
using support::ScriptBuilder;
using support::TempDir;

constexpr uint8_t CYCLE = 0;
const std::string PLAYER = TUNDRA_PLAYER;
const std::string STDOUT_DRIVER = "AAOPTS='-driver stdout -width 80 -height 25' ";

// A blue fill for `frames` frames, then END.
support::Bytes short_show(uint16_t frames) {
  return DataFileBuilder()
      .script(ScriptBuilder()
                  .newbuf(0, 0, 0, 160, 50)
                  .newfx(0, CYCLE, 0)
                  .setint(0, 0x80, 0x001F)
                  .start(0)
                  .waitfor(frames)
                  .end())
      .bytes;
}

std::string first_line(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

// A mistake on the command line: status 2, one line naming it, the usage, nothing on stdout.
void expect_usage_error(const ProgramRun& run, const std::string& line, const std::string& usage) {
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(first_line(run.err), line);
  EXPECT_NE(run.err.find("\n" + usage + "\n"), std::string::npos) << run.err;
}

// ---- The player ----

TEST(PlayerCommandLine, HelpAndVersionExitZeroWithoutPlaying) {
  TempDir empty;  // no data file here: the player must not try to load one
  for (const char* help : {" --help", " -h", " -nosync --help my.dat"}) {
    ProgramRun run = run_in(empty.path, PLAYER + help);
    EXPECT_EQ(run.status, 0) << help;
    EXPECT_EQ(run.err, "") << help;
    EXPECT_TRUE(run.out.starts_with(
        "usage: tundra [-nosync] [--no-farewell] [--mute] [--display NAME]\n"
        "              [--colour-mode MODE] [--pixel-mode MODE] [DATAFILE]\n"))
        << run.out;
    for (const engine::OptionText& option : engine::option_texts(engine::player_options))
      EXPECT_NE(run.out.find("  " + std::string(option.name) + " "), std::string::npos)
          << option.name;
    for (const char* topic : {"Keys:", "AAOPTS=\"-driver stdout", "Exit status:", "255", "128 + N"})
      EXPECT_NE(run.out.find(topic), std::string::npos) << topic;
  }
  ProgramRun version = run_in(empty.path, PLAYER + " --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tundra " TUNDRA_VERSION "\n");
  EXPECT_EQ(version.err, "");
}

TEST(PlayerCommandLine, MistakesAreNamedWithTheUsageAndStatusTwo) {
  TempDir dir;
  dir.write("data/mote-tundra-2003.dat", short_show(3));  // would play if a mistake were ignored
  const std::string usage =
      "usage: tundra [-nosync] [--no-farewell] [--mute] [--display NAME]\n"
      "              [--colour-mode MODE] [--pixel-mode MODE] [DATAFILE]";
  expect_usage_error(run_in(dir.path, PLAYER + " -nosnyc"), "tundra: unknown option '-nosnyc'",
                     usage);
  expect_usage_error(run_in(dir.path, PLAYER + " -NOSYNC"), "tundra: unknown option '-NOSYNC'",
                     usage);
  expect_usage_error(run_in(dir.path, PLAYER + " -nosync --farewell"),
                     "tundra: unknown option '--farewell'", usage);
  expect_usage_error(run_in(dir.path, PLAYER + " --no-farewell=yes"),
                     "tundra: --no-farewell takes no value", usage);
  expect_usage_error(run_in(dir.path, PLAYER + " a.dat -nosync b.dat"),
                     "tundra: a second data file 'b.dat': the player plays one file at a time",
                     usage);
  // The displays and their modes, named exactly; modes only where they mean something.
  expect_usage_error(run_in(dir.path, PLAYER + " --display color"),
                     "tundra: --display takes ascii or colour, not 'color'", usage);
  expect_usage_error(run_in(dir.path, PLAYER + " --display"),
                     "tundra: --display needs a value (NAME)", usage);
  expect_usage_error(run_in(dir.path, PLAYER + " --display colour --colour-mode 24bit"),
                     "tundra: --colour-mode takes truecolor, 256 or 16, not '24bit'", usage);
  expect_usage_error(run_in(dir.path, PLAYER + " --display=colour --pixel-mode=sixel"),
                     "tundra: --pixel-mode takes symbols, sixels or kitty, not 'sixel'", usage);
  expect_usage_error(run_in(dir.path, PLAYER + " --colour-mode 256"),
                     "tundra: --colour-mode is for the colour display, not for ascii: add "
                     "--display colour",
                     usage);
  expect_usage_error(run_in(dir.path, PLAYER + " --display ascii --pixel-mode kitty"),
                     "tundra: --pixel-mode is for the colour display, not for ascii: add "
                     "--display colour",
                     usage);
}

TEST(PlayerCommandLine, NosyncIsTheExactWordAtAnyPosition) {
  auto nosync = [](std::vector<std::string> words) {
    engine::PlayerCommand command;
    engine::Arguments arguments = engine::parse_arguments(engine::player_options, words, command);
    EXPECT_EQ(arguments.request, engine::Request::RUN) << arguments.error;
    return command.nosync;
  };
  EXPECT_TRUE(nosync({"-nosync"}));
  EXPECT_TRUE(nosync({"show.dat", "-nosync"}));
  EXPECT_TRUE(nosync({"--no-farewell", "-nosync", "show.dat"}));
  EXPECT_FALSE(nosync({"show.dat"}));
  EXPECT_FALSE(nosync({"--", "-nosync"}));  // after "--" it is a file's name

  engine::PlayerCommand command;
  engine::Arguments arguments =
      engine::parse_arguments(engine::player_options, {"nosync", "-nosyncx"}, command);
  EXPECT_EQ(arguments.request, engine::Request::USAGE_ERROR);
  EXPECT_EQ(arguments.error, "unknown option '-nosyncx'");
}

TEST(PlayerCommandLine, PlaysTheFileGivenFromAnyDirectoryWhereverTheSwitchesStand) {
  TempDir shows, elsewhere;
  std::string file = shows.write("my show.dat", short_show(5));
  ProgramRun run =
      run_in(elsewhere.path, STDOUT_DRIVER + PLAYER + " -nosync " + support::shell_quote(file));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("loader  : loading " + file + "\n")) << first_line(run.out);
  EXPECT_TRUE(run.out.ends_with(support::farewell_text));
  EXPECT_EQ(support::read_player_frames(run.out).size(), 5u);
  // The switches after the file: the same show, and no farewell.
  run = run_in(elsewhere.path, STDOUT_DRIVER + PLAYER + " " + support::shell_quote(file) +
                                   " -nosync --no-farewell");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("loader  : loading " + file + "\n")) << first_line(run.out);
  EXPECT_EQ(support::read_player_frames(run.out).size(), 5u);
  // A path relative to the working directory, and a name that begins with '-' after "--".
  shows.write("-odd.dat", short_show(2));
  ProgramRun odd =
      run_in(shows.path, STDOUT_DRIVER + PLAYER + " -nosync --no-farewell -- -odd.dat");
  EXPECT_EQ(odd.status, 0) << odd.err;
  EXPECT_TRUE(odd.out.starts_with("loader  : loading -odd.dat\n"));
}

TEST(PlayerCommandLine, NoFarewellEndsWithTheShow) {
  TempDir dir;
  std::string file = dir.write("show.dat", short_show(4));
  ProgramRun run = run_in(dir.path, STDOUT_DRIVER + PLAYER + " --no-farewell -nosync show.dat");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("congratulations"), std::string::npos);
  EXPECT_EQ(support::read_player_frames(run.out).size(), 4u);
  EXPECT_TRUE(run.err.ends_with("engine  : Stopping\n")) << run.err;
}

TEST(PlayerCommandLine, AFileThatCannotBePlayedIsNamedAsGiven) {
  TempDir dir;
  ProgramRun missing = run_in(dir.path, STDOUT_DRIVER + PLAYER + " -nosync gone/show.dat");
  EXPECT_EQ(missing.status, 255);
  EXPECT_EQ(missing.out, "loader  : loading gone/show.dat\n");
  // A file named on the command line is the only place looked in: no note about defaults.
  EXPECT_EQ(missing.err,
            "engine  : loading...\n"
            "loader  : cannot open data file gone/show.dat: No such file or directory\n");
}

TEST(PlayerCommandLine, AShowSourceIsRecognisedAndSentToTheCompiler) {
  TempDir dir;
  dir.write("intro.tds", support::Bytes{'e', 'n', 'd', '\n'});
  const std::string advice =
      " is a show's source, not a data file: compile it first with 'tundra-dat build intro.tds', "
      "which writes intro.dat\n";
  ProgramRun player = run_in(dir.path, PLAYER + " -nosync intro.tds");
  EXPECT_EQ(player.status, 255);
  EXPECT_EQ(player.out, "");
  EXPECT_EQ(player.err, "tundra: intro.tds" + advice);
  ProgramRun renderer = run_in(dir.path, TUNDRA_RENDER " --frames 3 intro.tds");
  EXPECT_EQ(renderer.status, 255);
  EXPECT_EQ(renderer.err, "tundra-render: intro.tds" + advice);

  // What the advice says works: the compiled file plays.
  ProgramRun built = run_in(dir.path, TUNDRA_DAT " build intro.tds");
  ASSERT_EQ(built.status, 0) << built.err;
  ProgramRun played = run_in(dir.path, STDOUT_DRIVER + PLAYER + " -nosync --no-farewell intro.dat");
  EXPECT_EQ(played.status, 0) << played.err;

  // A data file that merely carries the name is left to the loader, and plays.
  std::filesystem::copy_file(dir.path + "/intro.dat", dir.path + "/misnamed.tds");
  ProgramRun misnamed =
      run_in(dir.path, STDOUT_DRIVER + PLAYER + " -nosync --no-farewell misnamed.tds");
  EXPECT_EQ(misnamed.status, 0) << misnamed.err;
}

// AA-lib never starts for --help, --version, a mistake or a show source: not one escape
// sequence reaches the terminal between the shell's prompts, and its modes stay as they were.
TEST(PlayerCommandLine, HelpVersionAndMistakesLeaveTheTerminalAlone) {
  TempDir dir;
  dir.write("intro.tds", support::Bytes{'e', 'n', 'd', '\n'});
  support::TmuxPane pane(100, 60);
  const std::string log = dir.path + "/terminal.log";  // every byte written to the pane
  support::run_command("tmux -L " + pane.server + " pipe-pane -o " +
                       support::shell_quote("cat >> " + support::shell_quote(log)));
  // One line, so that nothing typed ahead is echoed between the outputs.
  std::string line =
      "cd " + support::shell_quote(dir.path) + " && stty -g > modes-before; echo typed-$((1+1))";
  for (const char* arguments : {" --version", " -nosnyc", " intro.tds", " --help"})
    line += "; " + PLAYER + arguments + "; echo status-$?";
  pane.type(line + "; stty -g > modes-after; echo done-$((40 + 2))");
  ASSERT_TRUE(support::wait_until(
      [&] { return support::read_file(log).find("done-42") != std::string::npos; }, 20))
      << pane.history();

  std::string written = support::read_file(log);
  size_t start = written.find("typed-2"), end = written.find("done-42");
  ASSERT_NE(start, std::string::npos);
  std::string outputs = written.substr(start, end - start);
  EXPECT_EQ(outputs.find('\033'), std::string::npos) << outputs;
  EXPECT_NE(outputs.find("tundra " TUNDRA_VERSION "\r\nstatus-0"), std::string::npos) << outputs;
  EXPECT_NE(outputs.find("Try 'tundra --help' for more.\r\nstatus-2"), std::string::npos);
  EXPECT_NE(outputs.find("which writes intro.dat\r\nstatus-255"), std::string::npos);
  EXPECT_NE(outputs.find("128 + N after signal N"), std::string::npos);
  EXPECT_EQ(support::read_file(dir.path + "/modes-before"),
            support::read_file(dir.path + "/modes-after"));
}

// ---- The renderer ----

TEST(RendererConventions, HelpVersionAndMistakes) {
  TempDir dir;
  for (const char* help : {" --help", " -h"}) {
    ProgramRun run = run_in(dir.path, TUNDRA_RENDER + std::string(help));
    EXPECT_EQ(run.status, 0);
    for (const engine::OptionText& option : engine::option_texts(tools::render::render_options))
      EXPECT_NE(run.out.find("  " + std::string(option.name) + " "), std::string::npos)
          << option.name;
  }
  ProgramRun version = run_in(dir.path, TUNDRA_RENDER " --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tundra-render " TUNDRA_VERSION "\n");

  const std::string usage = "usage: tundra-render [options] [DATAFILE]";
  expect_usage_error(run_in(dir.path, TUNDRA_RENDER " --frmaes 3"),
                     "tundra-render: unknown option '--frmaes'", usage);
  expect_usage_error(run_in(dir.path, TUNDRA_RENDER " --raw - --ascii -"),
                     "tundra-render: --ascii - and --raw - both write to standard output", usage);
  expect_usage_error(run_in(dir.path, TUNDRA_RENDER " --gif - --stats"),
                     "tundra-render: --stats and --gif - both write to standard output", usage);
}

TEST(RendererConventions, WithoutAnOutputItSaysNothingWasWritten) {
  support::ShowDir show(short_show(6));
  ProgramRun run = run_in(show.dir.path, TUNDRA_RENDER);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.err.ends_with(
      "tundra-render: the show was rendered, but nothing was written: no output option was given "
      "(see tundra-render --help)\n"))
      << run.err;
}

TEST(RendererConventions, ADashSendsAnOutputToStandardOutputAndTheLoaderLineToStandardError) {
  support::ShowDir show(short_show(6));
  ProgramRun raw = run_in(show.dir.path, TUNDRA_RENDER " --raw -");
  ASSERT_EQ(raw.status, 0) << raw.err;
  EXPECT_EQ(support::read_raw_frames(raw.out).size(), 6u);
  EXPECT_EQ(raw.out.size(), 6 * 16000u);  // nothing but the frames
  EXPECT_TRUE(
      raw.err.starts_with("engine  : loading...\nloader  : loading "
                          "data/mote-tundra-2003.dat\n"))
      << raw.err;

  ProgramRun gif = run_in(show.dir.path, TUNDRA_RENDER " --gif -");
  ASSERT_EQ(gif.status, 0) << gif.err;
  EXPECT_TRUE(gif.out.starts_with("GIF89a")) << gif.out.substr(0, 6);
  std::string copy = show.file("copy.gif");
  std::FILE* file = std::fopen(copy.c_str(), "wb");
  std::fwrite(gif.out.data(), 1, gif.out.size(), file);
  std::fclose(file);
  std::optional<support::GifFile> read = support::read_gif(copy);
  ASSERT_TRUE(read.has_value());
  EXPECT_GE(read->frames.size(), 1u);

  ProgramRun sheet = run_in(show.dir.path, TUNDRA_RENDER " --sheet -");
  ASSERT_EQ(sheet.status, 0) << sheet.err;
  EXPECT_TRUE(sheet.out.starts_with("\x89PNG\r\n")) << sheet.out.substr(0, 8);
}

// ---- The authoring tool ----

TEST(DatConventions, HelpVersionAndMistakes) {
  TempDir dir;
  for (const char* help : {" --help", " -h", " help", " build --help"}) {
    ProgramRun run = run_in(dir.path, TUNDRA_DAT + std::string(help));
    EXPECT_EQ(run.status, 0) << help;
    for (const engine::OptionText& option : tools::dat_option_texts())
      EXPECT_NE(run.out.find("  " + std::string(option.name) + " "), std::string::npos)
          << option.name;
    for (std::string_view command : tools::command_names())
      EXPECT_NE(run.out.find("\n  " + std::string(command)), std::string::npos) << command;
  }
  ProgramRun version = run_in(dir.path, TUNDRA_DAT " --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tundra-dat " TUNDRA_VERSION "\n");

  const std::string usage = "usage: tundra-dat COMMAND [ARGUMENTS] [OPTIONS]";
  expect_usage_error(run_in(dir.path, TUNDRA_DAT), "tundra-dat: no command given", usage);
  expect_usage_error(run_in(dir.path, TUNDRA_DAT " biuld x.tds"),
                     "tundra-dat: unknown command 'biuld'", usage);
  expect_usage_error(run_in(dir.path, TUNDRA_DAT " build x.tds --stirct"),
                     "tundra-dat: unknown option '--stirct'", usage);
  expect_usage_error(run_in(dir.path, TUNDRA_DAT " list x.dat -o y"),
                     "tundra-dat: list takes no option -o", "usage: tundra-dat list FILE.dat");
  expect_usage_error(run_in(dir.path, TUNDRA_DAT " extract x.dat"),
                     "tundra-dat: extract needs FILE.dat DIR",
                     "usage: tundra-dat extract FILE.dat DIR [--force]");
  expect_usage_error(run_in(dir.path, TUNDRA_DAT " check a.dat b.dat"),
                     "tundra-dat: check: unexpected argument 'b.dat'",
                     "usage: tundra-dat check FILE.dat|SHOW.tds [--strict]");
  expect_usage_error(run_in(dir.path, TUNDRA_DAT " font art.txt"), "tundra-dat: font needs -o",
                     "usage: tundra-dat font GLYPHS.txt -o OUT.font");
}

// A show of one picture and 40 frames: chunk 0 the script, chunk 1 the image.
const char* const FORTY_FRAMES =
    "image sky \"sky.png\" grey\n"
    "buffer 0 at 0,0 size 160x50\n"
    "fx 0 still on 0\n"
    "set 0 image = sky\n"
    "start 0\n"
    "at 40\n"
    "end\n";

TEST(DatConventions, BuildWithoutOutputWritesBesideTheSourceAndSummarises) {
  TempDir dir;
  dir.write("shows/sky.png", support::make_png(160, 50, support::Rgb{40, 80, 200}));
  dir.write("shows/forty.tds", support::Bytes(FORTY_FRAMES, FORTY_FRAMES + strlen(FORTY_FRAMES)));
  ProgramRun run = run_in(dir.path, TUNDRA_DAT " build shows/forty.tds");
  ASSERT_EQ(run.status, 0) << run.err;
  std::string built = support::read_file(dir.path + "/shows/forty.dat");
  ASSERT_FALSE(built.empty());
  // 40 frames of 30 ms: 1.2 seconds.
  EXPECT_EQ(run.out, "shows/forty.dat: 2 chunks, " + std::to_string(built.size()) +
                         " bytes, END at frame 40 (0:01.20)\n");
  EXPECT_EQ(run.err, "");

  // To standard output: the data file's bytes alone there, the summary with the messages.
  ProgramRun piped = run_in(dir.path, TUNDRA_DAT " build shows/forty.tds -o -");
  ASSERT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.out, built);
  EXPECT_EQ(piped.err,
            "-: 2 chunks, " + std::to_string(built.size()) + " bytes, END at frame 40 (0:01.20)\n");

  // A source whose name would make the data file overwrite it is refused.
  std::filesystem::copy_file(dir.path + "/shows/forty.tds", dir.path + "/shows/odd.dat");
  ProgramRun odd = run_in(dir.path, TUNDRA_DAT " build shows/odd.dat");
  EXPECT_EQ(odd.status, 1);
  EXPECT_EQ(odd.err,
            "shows/odd.dat: error: the data file would replace the source; name it with -o\n");
}

TEST(DatConventions, DisassemblyAndFontsGoToStandardOutputWithADash) {
  TempDir dir;
  dir.write("shows/sky.png", support::make_png(160, 50, support::Rgb{40, 80, 200}));
  dir.write("shows/forty.tds", support::Bytes(FORTY_FRAMES, FORTY_FRAMES + strlen(FORTY_FRAMES)));
  ASSERT_EQ(run_in(dir.path, TUNDRA_DAT " build shows/forty.tds").status, 0);
  ProgramRun disasm = run_in(dir.path, TUNDRA_DAT " disasm shows/forty.dat -o -");
  EXPECT_EQ(disasm.status, 0) << disasm.err;
  EXPECT_EQ(disasm.out, run_in(dir.path, TUNDRA_DAT " disasm shows/forty.dat").out);
  EXPECT_NE(disasm.out.find("\nend\n"), std::string::npos) << disasm.out;

  const char* art = "glyph a\n.#.\n#.#\n###\n";
  dir.write("abc.txt", support::Bytes(art, art + strlen(art)));
  ProgramRun font = run_in(dir.path, TUNDRA_DAT " font abc.txt -o -");
  EXPECT_EQ(font.status, 0) << font.err;
  ASSERT_EQ(run_in(dir.path, TUNDRA_DAT " font abc.txt -o abc.font").status, 0);
  EXPECT_EQ(font.out, support::read_file(dir.path + "/abc.font"));
}

}  // namespace
