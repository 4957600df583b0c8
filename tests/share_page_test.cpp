// tundra-render --html in a real browser: Debian's Chromium, headless, opens the page from disk
// with every request for anything but the file refused, and the engine in the page shows the
// frames --ascii and --ansi write, at the moment the address names and played from the start
// into a flash; its keys, its sound and its farewell work. The screenshot stays in the build
// folder, and the time a frame takes in the page is printed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <fstream>

#include "fixtures/process.h"
#include "player/player.h"
#include "support/json.h"
#include "support/render_harness.h"
#include "tools/render/html_page.h"

namespace {

using support::Json;

constexpr const char* CHROMIUM = "/usr/bin/chromium";
constexpr const char* ENGINE_MODULE = TUNDRA_BUILD_DIR "/web/module/tundra.wasm";
// Frame 455 of the shipped show: the title stands clear of the static around it. Frame 605 is
// in a flash, whose noise depends on every frame drawn before it: the page draws them all on
// the way there too. The colour view is looked at on the last one opened.
constexpr uint32_t TITLE_FRAME = 455, FLASH_FRAME = 605;
constexpr uint32_t ADDRESSED[] = {0, 2800, FLASH_FRAME, TITLE_FRAME};
constexpr uint32_t SECOND_FRAMES = 33;
// #t=0:15 is frame 500: 15 s of 30 ms frames.
constexpr double FIFTEEN_SECONDS_FRAME = 500;

bool is_true(const Json* value) {
  return value != nullptr && std::holds_alternative<bool>(value->value) &&
         std::get<bool>(value->value);
}

std::string joined(const std::vector<std::string>& rows) {
  std::string text;
  for (const std::string& row : rows) text += row + "\n";
  return text;
}

// The browser's DevTools address, once it has written its port into the profile.
std::string devtools_url(const std::string& profile) {
  std::string url;
  support::wait_until(
      [&] {
        std::ifstream file(profile + "/DevToolsActivePort");
        int port = 0;
        if (!(file >> port) || port <= 0) return false;
        url = "http://127.0.0.1:" + std::to_string(port);
        return true;
      },
      30);
  return url;
}

TEST(SharePage, ChromiumPlaysTheShowFromDiskWithNoRequestToAnyNetwork) {
  if (access(ENGINE_MODULE, R_OK) != 0)
    GTEST_SKIP() << "this build has no engine module (" << ENGINE_MODULE
                 << "): the WebAssembly toolchain was missing";
  if (!TUNDRA_HAVE_WEB) GTEST_SKIP() << "this build has no playwright-core: npm was missing";
  if (access(CHROMIUM, X_OK) != 0)
    GTEST_SKIP() << CHROMIUM << " is missing: scripts/install-deps installs it";
  support::TempDir dir;
  support::ProgramRun run = support::run_in(
      dir.path, TUNDRA_RENDER
      " --html page.html --ascii frames.txt --ansi cells.txt --title Tundra " TUNDRA_SHOW);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto frames =
      support::read_ascii_frames(support::read_file(dir.path + "/frames.txt"), nullptr);
  const auto cells =
      support::read_ascii_frames(support::read_file(dir.path + "/cells.txt"), nullptr);
  ASSERT_GT(frames.size(), 2800u);
  ASSERT_EQ(cells.size(), frames.size());
  // The engine and the data file deflated, and some 20 KB of scripts: the music is in the data
  // file's chunk, carried once.
  EXPECT_LE(support::read_file(dir.path + "/page.html").size(),
            tools::render::packed(support::read_file(ENGINE_MODULE)).size() +
                tools::render::packed(support::read_file(TUNDRA_SHOW)).size() + (32u << 10));

  // The browser runs under the guard, whatever becomes of the test: its profile is new and empty.
  const std::string profile = dir.path + "/profile";
  ASSERT_EQ(mkdir(profile.c_str(), 0700), 0);
  ASSERT_EQ(chmod(profile.c_str(), 0700), 0);
  support::ProcessGuard browser;
  browser.start(std::string("exec ") + CHROMIUM +
                " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                " --disable-background-networking --disable-component-update --disable-sync"
                " --remote-debugging-port=0"
                " --user-data-dir=" +
                support::shell_quote(profile) + " about:blank 2>" +
                support::shell_quote(dir.path + "/chromium.log"));
  const std::string url = devtools_url(profile);
  ASSERT_FALSE(url.empty()) << support::read_file(dir.path + "/chromium.log");

  std::string command = "timeout 120 node " +
                        support::shell_quote(TUNDRA_SOURCE_DIR "/tests/browser/drive_page.cjs") +
                        " " +
                        support::shell_quote(TUNDRA_BUILD_DIR "/web/node_modules/playwright-core") +
                        " " + url + " " + support::shell_quote(dir.path + "/page.html") + " " +
                        support::shell_quote(TUNDRA_BUILD_DIR "/share-page-test.png") + " " +
                        std::to_string(FLASH_FRAME);
  for (uint32_t frame : ADDRESSED) command += " " + std::to_string(frame);
  int status = -1;
  const std::string out = support::run_command(command, &status);
  std::string error;
  const std::optional<Json> seen = support::parse_json(out, &error);
  ASSERT_TRUE(seen) << error << "\n" << out;
  ASSERT_EQ(seen->member("failed"), nullptr) << seen->member("failed")->string();
  ASSERT_EQ(status, 0);

  // Nothing but the file itself was asked for, and the page raised no error.
  EXPECT_TRUE(seen->member("refused")->array().empty())
      << seen->member("refused")->array()[0].string();
  for (const Json& message : seen->member("errors")->array()) ADD_FAILURE() << message.string();
  EXPECT_EQ(seen->member("title")->array()[1].string(), "Tundra");
  EXPECT_NE(
      seen->member("title")->array()[2].string().find(std::to_string(frames.size()) + " frames"),
      std::string::npos);

  // Opened at #frame=N: paused at N, its <pre> holding --ascii's frame N.
  for (uint32_t frame : ADDRESSED) {
    const Json& at = *seen->member("frames")->member(std::to_string(frame));
    EXPECT_EQ(at.member("shown")->number(), frame);
    EXPECT_FALSE(is_true(at.member("playing")));
    EXPECT_EQ(at.member("ascii")->string(), joined(frames[frame])) << "frame " << frame;
  }
  // The colour view of the last: the cells of --ansi, drawn on the canvas.
  const Json& colour = *seen->member("colour");
  EXPECT_TRUE(is_true(colour.member("visible")) && is_true(colour.member("asciiHidden")));
  EXPECT_EQ(colour.member("ansi")->string(), joined(cells[TITLE_FRAME]));
  EXPECT_EQ(colour.member("wrongPixels")->number(), 0);
  // Played from the start into a flash: the terminal's noise.
  EXPECT_EQ(seen->member("flashed")->member("shown")->number(), FLASH_FRAME);
  EXPECT_EQ(seen->member("flashed")->member("ascii")->string(), joined(frames[FLASH_FRAME]));

  // The keys; the first of them started the sound, whose samples then moved the show on.
  const Json& keys = *seen->member("keys");
  EXPECT_EQ(keys.member("right")->number(), FLASH_FRAME + SECOND_FRAMES);
  EXPECT_EQ(keys.member("left")->number(), FLASH_FRAME);
  EXPECT_TRUE(is_true(keys.member("playing")));
  EXPECT_GT(keys.member("playedTo")->number(), FLASH_FRAME);
  EXPECT_TRUE(is_true(keys.member("sound")));
  EXPECT_GT(keys.member("samplesPlayed")->number(), 0);
  EXPECT_TRUE(is_true(keys.member("paused")));
  EXPECT_TRUE(is_true(keys.member("muted")));
  EXPECT_EQ(keys.member("link")->string(),
            "#frame=" + std::to_string(static_cast<int>(keys.member("pausedAt")->number())));
  EXPECT_EQ(keys.member("atFifteenSeconds")->number(), FIFTEEN_SECONDS_FRAME);

  // To the end, then the player's farewell.
  EXPECT_EQ(seen->member("last")->number(), frames.size() - 1);
  std::string farewell;
  for (const engine::FarewellLine& line : engine::farewell_lines()) farewell += line.text;
  EXPECT_EQ(seen->member("farewell")->string(), farewell);

  const Json& time = *seen->member("frameTime");
  std::cout << "a frame in the page (engine and ASCII view), over "
            << time.member("count")->number() << " frames: median "
            << time.member("median")->number() << " ms, worst " << time.member("worst")->number()
            << " ms\n";
}

// A renderer with no engine module beside it, as one built without the WebAssembly toolchain:
// --html says what is missing and how to get it before anything is rendered, and --cast works.
TEST(SharePage, WithoutTheEngineModuleHtmlSaysWhatIsMissingAndHowToGetIt) {
  support::TempDir dir;
  const std::string program = dir.path + "/bin/tundra-render";
  support::run_command("mkdir -p " + support::shell_quote(dir.path + "/bin") +
                       " && install -m 755 " TUNDRA_RENDER " " + support::shell_quote(program));
  support::ProgramRun run = support::run_in(
      dir.path, support::shell_quote(program) + " --html page.html --stats " TUNDRA_SHOW);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("--html needs the engine built as WebAssembly"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find(dir.path + "/bin/web or " + dir.path + "/share/tundra/web"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.out, "") << "nothing may be rendered";

  run = support::run_in(
      dir.path, support::shell_quote(program) + " --cast show.cast --frames 3 " TUNDRA_SHOW);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(support::read_file(dir.path + "/show.cast").substr(0, 13), "{\"version\": 2");
}

// What is inlined cannot end its element early, the title is text, not markup, and the files
// come back whole from base64 and deflate whatever their length.
TEST(SharePage, ThePageKeepsItsPartsInsideTheirElements) {
  const tools::render::PageParts parts{
      "", "export const A = '</SCRIPT>';",
      "<title>@TITLE@</title>@CREDITS@@SETTINGS@@ENGINE@@SHOW@@SOUND_SCRIPT@<script>"
      "@ENGINE_SCRIPT@@PAGE_SCRIPT@</script> me@example",
      "", ""};
  tools::render::PageShow show;
  show.title = "<b>Tundra</b> & co";
  const tools::render::PageMade made = tools::render::html_page(show, parts);
  ASSERT_EQ(made.error, "");
  EXPECT_EQ(made.page,
            "<title>&lt;b&gt;Tundra&lt;/b&gt; &amp; co</title>"
            "{\"name\": \"\", \"view\": \"ascii\", \"farewell\": []}"
            "<script>const A = '<\\/SCRIPT>';\n</script> me@example");
  EXPECT_EQ(tools::render::html_page(show, {"", "", "@TITLE@", "", ""}).error,
            "the page's layout has no @CREDITS@");

  const std::pair<std::string, std::string> encoded[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {std::string("\xFF\0w", 3), "/wB3"}};
  for (const auto& [bytes, text] : encoded) EXPECT_EQ(tools::render::base64(bytes), text);
  // The show's data file, packed and back.
  const std::string data = support::read_file(TUNDRA_SHOW);
  const std::string text = tools::render::packed(data);
  std::string deflated;
  for (size_t i = 0; i + 4 <= text.size(); i += 4) {
    uint32_t group = 0;
    for (size_t j = 0; j < 4; ++j) {
      const char c = text[i + j];
      const auto digit = static_cast<uint32_t>(
          std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/").find(c));
      group = group << 6 | (c == '=' ? 0 : digit);
    }
    for (size_t j = 0; j < 3 && text[i + j + 1] != '='; ++j)
      deflated += static_cast<char>(group >> (16 - 8 * j) & 0xFF);
  }
  std::string inflated(data.size(), '\0');
  uLongf size = static_cast<uLongf>(inflated.size());
  ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(inflated.data()), &size,
                       reinterpret_cast<const Bytef*>(deflated.data()),
                       static_cast<uLong>(deflated.size())),
            Z_OK);
  EXPECT_EQ(size, data.size());
  EXPECT_TRUE(inflated == data);
}

}  // namespace
