// A FastTracker 2 extended module (XM) as the show's music generator builds it, and its writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace show::xm {

constexpr int MAX_CHANNELS = 32;
constexpr int MAX_ROWS = 256;
constexpr int MAX_PATTERNS = 256;
constexpr int MAX_ORDER = 256;
constexpr int MAX_ENVELOPE_POINTS = 12;
constexpr uint8_t KEY_OFF = 97;  // notes are 1 (C-0) to 96 (B-7)

// One channel in one row. `volume` is the volume column's byte: 0 when empty, 0x10 + volume
// (0 to 64) to set one. `effect` counts 0-9 then A=10 to Z=35, as trackers show them.
struct Cell {
  uint8_t note = 0;
  uint8_t instrument = 0;
  uint8_t volume = 0;
  uint8_t effect = 0;
  uint8_t param = 0;
  bool empty() const { return (note | instrument | volume | effect | param) == 0; }
};

struct Pattern {
  int rows = 0;
  int channels = 0;
  std::vector<Cell> cells;  // row by row, `channels` to a row

  Pattern(int rows, int channels)
      : rows(rows), channels(channels), cells(size_t(rows) * channels) {}
  Cell& at(int row, int channel) { return cells[size_t(row) * channels + channel]; }
  const Cell& at(int row, int channel) const { return cells[size_t(row) * channels + channel]; }
};

// Points are (tick, volume 0-64); `sustain` is the index of the point held until key-off.
struct Envelope {
  struct Point {
    uint16_t tick;
    uint16_t volume;
  };
  std::vector<Point> points;
  int sustain = -1;
};

// 16-bit mono. Loop start and length count samples (the file counts bytes).
struct Sample {
  std::vector<int16_t> data;
  uint32_t loop_start = 0;
  uint32_t loop_length = 0;  // 0: played once
  uint8_t volume = 64;
  int8_t finetune = 0;  // 1/128 of a semitone
  int8_t relative_note = 0;
  uint8_t panning = 128;
};

struct Instrument {
  std::string name;
  Sample sample;
  Envelope envelope;     // empty: none, the sample's volume throughout
  uint16_t fadeout = 0;  // after key-off, the volume falls by fadeout/32768 of full a tick
};

struct Module {
  std::string name;
  int channels = 0;
  int speed = 6;  // ticks a row
  int bpm = 125;  // a tick lasts 2.5 / bpm seconds
  std::vector<Pattern> patterns;
  std::vector<uint8_t> order;  // pattern indices in playing order
  std::vector<Instrument> instruments;
};

// The module's bytes; throws std::invalid_argument when it breaks one of the format's limits.
std::vector<uint8_t> write_module(const Module& module);

// Sets relative note and finetune so that the note C-4 plays the sample at `rate` samples a
// second (with no correction, C-4 plays at 8363).
void tune_sample(Sample& sample, double rate);

}  // namespace show::xm
