// libFuzzer entry point for fuzz::run_engine.
#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::run_engine(data, size);
  return 0;
}
