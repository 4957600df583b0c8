// libFuzzer entry point for fuzz::read_font.
#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::read_font(data, size);
  return 0;
}
