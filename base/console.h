// The two streams a show talks on: progress, farewell and the classic fatal lines on `out`,
// progress tags and diagnostics on `err`. Tests and tools point them elsewhere.
#pragma once

#include <cstdio>

namespace engine {

struct Console {
  FILE* out = stdout;
  FILE* err = stderr;
};

}  // namespace engine
