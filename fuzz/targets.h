// What each fuzz target does with one input. Shared by the libFuzzer programs and by the test
// that replays every input kept in fuzz/regressions/, so a crash once found stays fixed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

void load_data_file(const uint8_t* data, size_t size);  // the container readers on any bytes
void read_ping(const uint8_t* data, size_t size);       // the PNG reader on one payload
void read_font(const uint8_t* data, size_t size);       // the font reader on one payload
void run_engine(const uint8_t* data, size_t size);      // any bytes as the script of a show
void open_music(const uint8_t* data, size_t size);      // any bytes as a show's music module

}  // namespace fuzz
