// libFuzzer entry point for fuzz::load_data_file.
#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::load_data_file(data, size);
  return 0;
}
