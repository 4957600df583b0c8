// Background programs end with the test that started them, also when it fails: the X server, the
// tmux server, the pane's programs and a program that ignores SIGTERM.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "fixtures/process.h"
#include "support/show_harness.h"

namespace {

const char* const REPORT_VARIABLE = "TUNDRA_LEFT_BEHIND_REPORT";

// Run only by the test below, in a test process of its own: starts everything a test may leave
// running, writes down what runs (`pid name` lines, then the display and the tmux server), and
// fails while all of it is still up.
TEST(DISABLED_LeftBehind, FailsWithAnXServerATmuxPaneAndAStubbornProgramRunning) {
  const char* report_path = std::getenv(REPORT_VARIABLE);
  ASSERT_NE(report_path, nullptr) << "run by ProcessGuard.ATestThatFails...";
  support::XServer x;
  ASSERT_FALSE(x.display.empty()) << "Xvfb did not start";
  support::TmuxPane pane(80, 25);
  pane.type("sleep 600");
  support::ProcessGuard guard;
  pid_t stubborn = guard.start("trap '' TERM; sleep 600 & sleep 600");

  std::vector<pid_t> running = {x.pid};
  auto sessions_of = [&](const std::string& tmux_format) {
    std::istringstream pids(support::run_command("tmux -L " + pane.server +
                                                 " display-message -p '" + tmux_format + "'"));
    for (pid_t session; pids >> session;)
      for (pid_t pid : support::session_members(session)) running.push_back(pid);
  };
  ASSERT_TRUE(support::wait_until([&] { return support::session_members(stubborn).size() == 3; },
                                  10));  // sh and two sleeps
  for (pid_t pid : support::session_members(stubborn)) running.push_back(pid);
  sessions_of("#{pid}");
  ASSERT_TRUE(support::wait_until(
      [&] {
        return support::run_command("tmux -L " + pane.server + " display-message -p " +
                                    "'#{pane_current_command}'") == "sleep\n";
      },
      10));
  sessions_of("#{pane_pid}");

  std::ofstream report(report_path);
  for (pid_t pid : running) report << pid << ' ' << support::process_name(pid) << '\n';
  report << "display " << x.display << "\ntmux " << pane.server << '\n';
  report.close();
  FAIL() << "failing on purpose while everything runs";
}

std::string this_program() {
  return std::filesystem::read_symlink("/proc/self/exe").string();
}

TEST(ProcessGuard, ATestThatFailsLeavesNoXServerTmuxServerOrProgramBehind) {
  support::TempDir dir;
  std::string report_path = dir.path + "/report";
  int status = -1;
  std::string out =
      support::run_command(std::string(REPORT_VARIABLE) + "=" + support::shell_quote(report_path) +
                               " " + support::shell_quote(this_program()) +
                               " --gtest_also_run_disabled_tests"
                               " --gtest_filter='DISABLED_LeftBehind.*' 2>&1",
                           &status);
  ASSERT_NE(out.find("failing on purpose while everything runs"), std::string::npos) << out;
  EXPECT_EQ(status, 1) << out;

  std::istringstream report(support::read_file(report_path));
  std::vector<std::string> names;
  std::string display, server;
  for (std::string line; std::getline(report, line);) {
    std::string first = line.substr(0, line.find(' ')), second = line.substr(first.size() + 1);
    if (first == "display") {
      display = second;
    } else if (first == "tmux") {
      server = second;
    } else {
      names.push_back(second);
      EXPECT_FALSE(support::process_alive(std::stoi(first), second))
          << second << " (" << first << ") is still running";
    }
  }
  // Xvfb, sh and two sleeps that ignore SIGTERM, the tmux server, the pane's shell and its sleep.
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Xvfb", "bash", "sh", "sleep", "sleep", "sleep",
                                             "tmux: server"}));
  ASSERT_FALSE(display.empty());
  EXPECT_NE(
      support::run_command("xwininfo -root -display " + display + " >/dev/null 2>&1; echo $?"),
      "0\n")
      << "the display still answers";
  EXPECT_FALSE(std::filesystem::exists("/tmp/.X11-unix/X" + display.substr(1)));
  EXPECT_NE(support::run_command("tmux -L " + server + " has-session 2>/dev/null; echo $?"), "0\n")
      << "the tmux server still answers";
}

}  // namespace
