// tundra-render: plays a data file through the player's engine without a terminal or a clock and
// writes its frames as raw pictures, grey images, ASCII text, PNGs, a GIF, a contact sheet and
// a summary.
#include <cstdio>
#include <string>

#include "engine/clock.h"
#include "engine/player.h"
#include "engine/show.h"
#include "tools/render/options.h"
#include "tools/render/outputs.h"
#include "tools/render/render_display.h"
#include "tools/render/show_stats.h"

namespace {

using namespace tools::render;

constexpr int OUTPUT_FAILED = 1;
constexpr int REJECTED = 255;  // run_show's status for a data file the engine cannot play

int render(const RenderOptions& options, char* program) {
  Outputs outputs(options);
  std::string output_error = outputs.open();
  if (!output_error.empty()) {
    std::fprintf(stderr, "tundra-render: %s\n", output_error.c_str());
    return OUTPUT_FAILED;
  }

  ShowStats stats;
  RenderControl control;
  control.on_frame = [&](const RenderedFrame& frame) {
    if (options.stats) stats.add(frame, control.show->engine());
    output_error = outputs.add(frame);
    return output_error.empty();
  };

  engine::ShowSetup setup;
  setup.make_display = render_display(control);
  setup.data_path = options.data_path.c_str();
  setup.clock = &engine::instant_clock;
  setup.farewell = false;
  setup.frame_limit = options.frame_limit;
  setup.on_show = [&](engine::Show& show) { control.show = &show; };
  char* show_argv[] = {program, nullptr};  // the player's own switches do not apply
  int status = engine::run_show(1, show_argv, setup);

  // Decided before the files are completed: a file that fails to close did not stop the show.
  const Ending ending = status != 0             ? Ending::INTERRUPTED
                        : !output_error.empty() ? Ending::OUTPUT_ERROR
                        : control.reached_end   ? Ending::END
                                                : Ending::FRAME_LIMIT;
  std::string finish_error = outputs.finish(control.font);
  if (output_error.empty()) output_error = finish_error;
  if (!output_error.empty()) {
    std::fprintf(stderr, "tundra-render: %s\n", output_error.c_str());
    if (status == 0) status = OUTPUT_FAILED;
  }
  if (options.stats && status != REJECTED)
    stats.print(stdout, ending, control.closed_at.value_or(0));
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  ParsedCommandLine command_line = parse_command_line(argc, argv);
  switch (command_line.request) {
    case Request::HELP:
      std::fputs(USAGE, stdout);
      return 0;
    case Request::USAGE_ERROR:
      std::fprintf(stderr, "tundra-render: %s\n%sTry 'tundra-render --help' for every option.\n",
                   command_line.error.c_str(), USAGE_LINE);
      return USAGE_STATUS;
    case Request::RENDER:
      break;
  }
  return render(command_line.options, argv[0]);
}
