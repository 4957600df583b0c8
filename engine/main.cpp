// tundra: plays data/mote-tundra-2003.dat from the working directory as ASCII art.
#include "display/ascii_display.h"
#include "engine/player.h"

int main(int argc, char** argv) {
  engine::ShowSetup setup;
  setup.make_display = display::create_ascii_display;
  return engine::run_show(argc, argv, setup);
}
