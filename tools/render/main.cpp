// tundra-render: plays a data file through the player's engine without a terminal or a clock and
// writes its frames as raw pictures, grey images, ASCII text, PNGs, a GIF, a contact sheet and
// a summary.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "engine/show.h"
#include "player/clock.h"
#include "player/player.h"
#include "player/show_file.h"
#include "tools/render/options.h"
#include "tools/render/outputs.h"
#include "tools/render/render_display.h"
#include "tools/render/show_stats.h"

namespace {

using namespace tools::render;

constexpr const char* PROGRAM = "tundra-render";
constexpr int OUTPUT_FAILED = 1;
constexpr int REJECTED = engine::FATAL_STATUS;  // a data file the engine cannot play

int render(RenderOptions options, const std::string& data_path) {
  if (options.title.empty()) options.title = std::filesystem::path(data_path).stem().string();
  options.data_path = data_path;
  // From here a signal is only recorded, and the render ends at the next frame without putting
  // any file in place: `outputs` removes what it had written when it goes.
  engine::catch_quit_signals();
  Outputs outputs(options, data_path);
  std::string output_error = outputs.open();
  if (!output_error.empty()) {
    std::fprintf(stderr, "tundra-render: %s\n", output_error.c_str());
    return OUTPUT_FAILED;
  }
  if (engine::quit_signal() != 0) return 128 + engine::quit_signal();

  ShowStats stats;
  RenderControl control;
  control.on_frame = [&](const RenderedFrame& frame) {
    if (options.stats) stats.add(frame, control.show->engine());
    output_error = outputs.add(frame);
    return output_error.empty();
  };

  engine::ShowSetup setup;
  setup.make_display = render_display(control);
  setup.data_path = data_path.c_str();
  setup.clock = &engine::instant_clock;
  setup.farewell = false;
  setup.frame_limit = options.frame_limit;
  setup.on_show = [&](engine::Show& show) { control.show = &show; };
  // Standard output may carry an output's bytes: the loader's line goes with the others then.
  if (options.uses_standard_output()) setup.console.out = stderr;
  int status = engine::run_show(setup);

  // Decided before the files are completed: a file that fails to close did not stop the show.
  const Ending ending = status != 0             ? Ending::INTERRUPTED
                        : !output_error.empty() ? Ending::OUTPUT_ERROR
                        : control.reached_end   ? Ending::END
                                                : Ending::FRAME_LIMIT;
  // A data file the engine rejects leaves nothing under the names asked for, as an interrupted
  // render does: `outputs` removes what it had written when it goes.
  std::string finish_error;
  if (status == 0 && engine::quit_signal() == 0) finish_error = outputs.finish(control.font);
  // Checked again: a signal while the files were completed still keeps them out of place.
  if (engine::quit_signal() != 0) {
    status = 128 + engine::quit_signal();
  } else if (status == 0) {
    std::string place_error = outputs.put_in_place();
    if (finish_error.empty()) finish_error = place_error;
  }
  if (output_error.empty()) output_error = finish_error;
  if (!output_error.empty()) {
    std::fprintf(stderr, "tundra-render: %s\n", output_error.c_str());
    if (status == 0) status = OUTPUT_FAILED;
  }
  if (options.stats && status != REJECTED) {
    stats.print(stdout, ending, control.closed_at.value_or(0));
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
      std::fprintf(stderr, "tundra-render: cannot write --stats to standard output: %s\n",
                   std::strerror(errno));
      if (status == 0) status = OUTPUT_FAILED;
    }
  }
  if (status == 0 && !options.writes_anything())
    std::fprintf(stderr,
                 "tundra-render: the show was rendered, but nothing was written: no output option "
                 "was given (see tundra-render --help)\n");
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  RenderCommand command = read_render_command(argc, argv);
  const engine::Arguments& arguments = command.arguments;
  return engine::run(arguments, {PROGRAM, render_help, USAGE_LINE}, stdout, stderr, [&] {
    std::optional<std::string> given;
    if (!arguments.operands.empty()) given = arguments.operands.front();
    return engine::play_chosen_file(
        PROGRAM, given, [&](const std::string& path) { return render(command.options, path); });
  });
}
