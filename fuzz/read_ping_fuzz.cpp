// libFuzzer entry point for fuzz::read_ping.
#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::read_ping(data, size);
  return 0;
}
