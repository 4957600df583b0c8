// tundra-show-music SCORE OUT: writes the show's soundtrack, an XM module, from its score and
// the instruments synthesised here. The same score gives the same bytes.
#include <cstdio>
#include <exception>
#include <fstream>

#include "instruments.h"
#include "score.h"
#include "xm_module.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tundra-show-music SCORE OUT.xm\n");
    return 2;
  }
  try {
    const show::xm::Module module = show::read_score(argv[1], show::make_instruments());
    const std::vector<uint8_t> bytes = show::xm::write_module(module);
    std::ofstream out(argv[2], std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out.flush()) throw std::runtime_error(std::string(argv[2]) + ": cannot be written");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tundra-show-music: %s\n", error.what());
    return 1;
  }
  return 0;
}
