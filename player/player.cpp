// Start-up, the frame loop and the end sequence with its farewell text.
#include "player/player.h"

#include <new>
#include <vector>

#include "base/fatal.h"
#include "engine/show.h"

namespace engine {
namespace {

constexpr FarewellLine farewell_table[] = {
    {"congratulations!\n", 30},
    {"you just made it through the most boring\n", 30},
    {"two and a half minutes of this party\n", 30},
    {"but it's not over now\n", 60},
    {"\nwell,\n", 30},
    {"it is....\n", 30},
    {"just wanted to see you face when you read this.\n", 30},
    {"THE END.\n\n", 30},
    {"ps:\n", 10},
    {"loaderbars suck\n", 10},
};

void say(FILE* stream, const char* text) {
  std::fputs(text, stream);
  std::fflush(stream);  // keeps both streams in order wherever they are captured together
}

// n ticks in a row; a quit signal cuts the wait short.
void wait_ticks(const FrameClock& clock, int n) {
  for (int i = 0; i < n && quit_signal() == 0; ++i) {
    clock.wait_tick();
    clock.clear_tick();
  }
}

// Each line is flushed, so its pause shows wherever the text goes.
void print_farewell(const ShowSetup& setup) {
  for (const FarewellLine& line : farewell_table) {
    if (quit_signal() != 0) return;
    say(setup.console.out, line.text);
    wait_ticks(*setup.clock, line.ticks);
  }
}

// A frame a tick until the script ends, the display asks to quit, a signal comes or the frame
// limit is reached.
void play(Show& show, DisplayDriver& display, const ShowSetup& setup) {
  const FrameClock& clock = *setup.clock;
  auto stop = [&] {
    return (setup.frame_limit && show.frame() >= *setup.frame_limit) || quit_signal() != 0;
  };
  while (show.step(display, stop) == Step::SHOWN) {
    if (!setup.nosync) clock.wait_tick();
    clock.clear_tick();
  }
}

}  // namespace

std::span<const FarewellLine> farewell_lines() {
  return farewell_table;
}

int run_show(const ShowSetup& setup) {
  const Console& console = setup.console;
  const FrameClock& clock = *setup.clock;
  catch_quit_signals();
  clock.start(console);

  std::unique_ptr<Show> show;
  std::unique_ptr<DisplayDriver> display;
  bool display_open = false;
  std::vector<unsigned char> framebuffer;  // handed to the driver, never used by the engine
  int status = 0;
  try {
    say(console.err, "engine  : loading...\n");
    show = load_show(setup.data_path, console);
    if (setup.on_show) setup.on_show(*show);
    display = setup.make_display(show->engine().frame_counter);
    if (!display) fail_with(Stream::OUT, "couldn't initialise libDisplay<XXX>.so\n");
    display->init(*display, PICTURE_WIDTH, PICTURE_HEIGHT, 0);
    display_open = true;
    framebuffer.resize(FRAMEBUFFER_BYTES);
    display->set_framebuffer(*display, framebuffer.data());
    say(console.err, "engine  : Initializing the FX\n");
    show->start();
    say(console.err, "engine  : Starting\n");
    display->start(*display);
    play(*show, *display, setup);
  } catch (const FatalError& error) {
    if (display_open) display->close(*display);
    clock.stop();
    say(error.stream == Stream::OUT ? console.out : console.err, error.message.c_str());
    return 255;
  } catch (const std::bad_alloc&) {
    if (display_open) display->close(*display);
    clock.stop();
    say(console.err, "engine  : out of memory\n");
    return 255;
  }

  if (quit_signal() != 0) {
    display->close(*display);
    status = 128 + quit_signal();
  } else {
    say(console.err, "engine  : Stopping\n");
    display->close(*display);
    if (setup.farewell) print_farewell(setup);
    if (quit_signal() != 0) status = 128 + quit_signal();
  }
  clock.stop();
  return status;
}

}  // namespace engine
