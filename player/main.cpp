// tundra: plays a show's data file as ASCII art, or in colour.
#include <fcntl.h>
#include <unistd.h>

#include "display/displays.h"
#include "player/player_command_line.h"

int main(int argc, char** argv) {
  // A standard stream closed by the caller would otherwise be reused by the first file opened,
  // and AA-lib's output or the farewell would go into it.
  for (int fd = 0; fd <= 2; ++fd)
    if (fcntl(fd, F_GETFD) == -1) open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);

  return engine::play_command_line(argc, argv, display::displays);
}
