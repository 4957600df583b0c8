// The option rows of the preview.
#include "tools/preview/play_options.h"

#include "display/display_option.h"
#include "tools/dat/timecode.h"

namespace preview {
namespace {

constexpr engine::Option<PlayOptions> rows[] = {
    display::display_option<PlayOptions, &PlayOptions::display>(
        "play: the display to play on (default: ascii)"),
    {"--at", "TIME", "play: start at this time of the show (frames, 1.5s, 0:40)",
     [](PlayOptions& options, std::string_view value) {
       tools::Time time = tools::parse_time(std::string(value));
       if (!time.error.empty()) return "takes a time: " + time.error;
       options.start_frame = time.frames;
       return std::string();
     }},
    {"--mute", "", "play: without sound; the timer keeps time",
     [](PlayOptions& options, std::string_view) {
       options.mute = true;
       return std::string();
     }},
    {"--rebuild", "COMMAND",
     "play: run COMMAND with /bin/sh before reloading when a file\n"
     "under a --watch path changes, and at every r",
     [](PlayOptions& options, std::string_view value) {
       if (value.empty()) return std::string("needs a command");
       options.rebuild = value;
       return std::string();
     }},
    {"--watch", "PATH",
     "play: watch this file or folder too; its changes reload\n"
     "the show after the rebuild (may be given more than once)",
     [](PlayOptions& options, std::string_view value) {
       if (value.empty()) return std::string("needs a file or folder");
       options.watch.emplace_back(value);
       return std::string();
     }},
};

}  // namespace

const std::span<const engine::Option<PlayOptions>> play_options = rows;

SessionOptions PlayOptions::session(const std::string& source) const {
  return SessionOptions{source, rebuild, watch};
}

}  // namespace preview
