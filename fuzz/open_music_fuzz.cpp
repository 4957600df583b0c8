// libFuzzer entry point for fuzz::open_music.
#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::open_music(data, size);
  return 0;
}
