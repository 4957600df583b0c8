// tundra-render --html in a real browser: Debian's Chromium, headless, opens the page from disk
// with every request that is not for a file refused, and the page plays the shipped show: the
// player starts, its time display runs, its length is the show's, and paused some seconds in it
// shows the title as --ascii has that frame. The screenshot stays in the build folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <fstream>

#include "fixtures/process.h"
#include "player/player.h"
#include "support/json.h"
#include "support/render_harness.h"

namespace {

using support::Json;

constexpr const char* CHROMIUM = "/usr/bin/chromium";
constexpr double FRAME_SECONDS = 0.03;
// Frame 455 of the shipped show: the title stands clear of the static around it.
constexpr uint32_t TITLE_FRAME = 455;

std::string trimmed(std::string text) {
  // The page may show spaces as no-break spaces (UTF-8 C2 A0).
  for (size_t at; (at = text.find("\xC2\xA0")) != std::string::npos;) text.replace(at, 2, " ");
  while (!text.empty() && text.back() == ' ') text.pop_back();
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
  if (!TUNDRA_HAVE_WEB)
    GTEST_SKIP() << "this build has no web player: Node.js and npm were missing";
  ASSERT_EQ(access(CHROMIUM, X_OK), 0)
      << CHROMIUM << " is missing: scripts/install-deps installs it";
  support::TempDir dir;
  support::ProgramRun run = support::run_in(
      dir.path, TUNDRA_RENDER " --html page.html --ascii frames.txt --title Tundra " TUNDRA_SHOW);
  ASSERT_EQ(run.status, 0) << run.err;
  const auto frames =
      support::read_ascii_frames(support::read_file(dir.path + "/frames.txt"), nullptr);
  ASSERT_GT(frames.size(), TITLE_FRAME);

  // The browser runs under the guard, whatever becomes of the test: its profile is new and empty.
  const std::string profile = dir.path + "/profile";
  ASSERT_EQ(mkdir(profile.c_str(), 0700), 0);
  support::ProcessGuard browser;
  browser.start(std::string("exec ") + CHROMIUM +
                " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                " --disable-background-networking --disable-component-update --disable-sync"
                " --remote-debugging-port=0 --user-data-dir=" +
                support::shell_quote(profile) + " about:blank 2>" +
                support::shell_quote(dir.path + "/chromium.log"));
  const std::string url = devtools_url(profile);
  ASSERT_FALSE(url.empty()) << support::read_file(dir.path + "/chromium.log");

  // Half-way through the title frame, so that no rounding puts the player on its neighbour.
  const double seek = (TITLE_FRAME + 0.5) * FRAME_SECONDS;
  const std::string screenshot = TUNDRA_BUILD_DIR "/share-page-test.png";
  int status = -1;
  const std::string out = support::run_command(
      "timeout 90 node " + support::shell_quote(TUNDRA_SOURCE_DIR "/tests/browser/drive_page.cjs") +
          " " + support::shell_quote(TUNDRA_BUILD_DIR "/web/node_modules/playwright-core") + " " +
          url + " " + support::shell_quote(dir.path + "/page.html") + " " +
          support::shell_quote(screenshot) + " " + std::to_string(seek),
      &status);
  std::string error;
  const std::optional<Json> seen = support::parse_json(out, &error);
  ASSERT_TRUE(seen) << error << "\n" << out;
  ASSERT_EQ(seen->member("failed"), nullptr) << seen->member("failed")->string();
  ASSERT_EQ(status, 0);

  // Nothing but the file itself was asked for, and the page raised no error.
  EXPECT_TRUE(seen->member("refused")->array().empty())
      << seen->member("refused")->array()[0].string();
  for (const Json& message : seen->member("errors")->array()) ADD_FAILURE() << message.string();

  // The title and the credits above the player.
  EXPECT_EQ(seen->member("title")->array()[0].string(), "Tundra");
  EXPECT_EQ(seen->member("title")->array()[1].string(), "Tundra");
  EXPECT_NE(
      seen->member("title")->array()[2].string().find(std::to_string(frames.size()) + " frames"),
      std::string::npos);

  // The player started by itself and its time display moved on with it (mm:ss).
  EXPECT_GT(seen->member("playedTo")->number(), seen->member("playedFrom")->number());
  const support::JsonArray& shown = seen->member("timeShown")->array();
  ASSERT_EQ(shown.size(), 2u);
  ASSERT_TRUE(shown[0].is_string() && shown[1].is_string());
  EXPECT_EQ(shown[0].string().size(), 5u);
  EXPECT_EQ(shown[0].string()[2], ':');
  EXPECT_NE(shown[0].string(), shown[1].string());

  // Its length is the show's frames and the farewell's pauses.
  int farewell_ticks = 0;
  for (const engine::FarewellLine& line : engine::farewell_lines()) farewell_ticks += line.ticks;
  EXPECT_NEAR(seen->member("duration")->number(), (frames.size() + farewell_ticks) * FRAME_SECONDS,
              1e-6);

  // Paused in the title: the page's 25 rows are the --ascii frame of that time.
  const double at = seen->member("at")->number();
  EXPECT_NEAR(at, seek, 0.001);
  const auto frame = static_cast<uint32_t>(std::floor(at / FRAME_SECONDS));
  const support::JsonArray& rows = seen->member("rows")->array();
  ASSERT_EQ(rows.size(), 25u);
  for (size_t row = 0; row < rows.size(); ++row)
    EXPECT_EQ(trimmed(rows[row].string()), trimmed(frames[frame][row])) << "row " << row;
}

// A renderer with no web player beside it, as one built without npm: --html says what is
// missing and how to get it before anything is rendered, and --cast still works.
TEST(SharePage, WithoutTheWebPlayerHtmlSaysWhatIsMissingAndHowToGetIt) {
  support::TempDir dir;
  const std::string program = dir.path + "/bin/tundra-render";
  support::run_command("mkdir -p " + support::shell_quote(dir.path + "/bin") +
                       " && cp " TUNDRA_RENDER " " + support::shell_quote(program));
  support::ProgramRun run = support::run_in(
      dir.path, support::shell_quote(program) + " --html page.html --stats " TUNDRA_SHOW);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("--html needs asciinema's web player"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(dir.path + "/bin/web or " + dir.path + "/share/tundra/web"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("Install Node.js and npm"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "") << "nothing may be rendered";

  run = support::run_in(
      dir.path, support::shell_quote(program) + " --cast show.cast --frames 3 " TUNDRA_SHOW);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(support::read_file(dir.path + "/show.cast").substr(0, 13), "{\"version\": 2");
}

}  // namespace
