// Writes an XM module: a header, the patterns packed, then each instrument with its sample.
#include "xm_module.h"

#include <cmath>
#include <stdexcept>

namespace show::xm {
namespace {

class Bytes {
 public:
  void u8(unsigned value) { out_.push_back(uint8_t(value)); }
  void u16(unsigned value) {
    u8(value & 0xff);
    u8(value >> 8);
  }
  void u32(uint32_t value) {
    u16(value & 0xffff);
    u16(value >> 16);
  }
  // Text padded with `pad` to exactly `size` bytes (cut if longer).
  void text(const std::string& value, size_t size, char pad = '\0') {
    for (size_t i = 0; i < size; ++i) u8(uint8_t(i < value.size() ? value[i] : pad));
  }
  void zeros(size_t count) { out_.insert(out_.end(), count, 0); }
  size_t size() const { return out_.size(); }
  // Overwrites a 16-bit field written earlier, once what it counts is known.
  void patch_u16(size_t at, unsigned value) {
    out_[at] = uint8_t(value & 0xff);
    out_[at + 1] = uint8_t(value >> 8);
  }
  std::vector<uint8_t> take() { return std::move(out_); }

 private:
  std::vector<uint8_t> out_;
};

void check(bool ok, const std::string& what) {
  if (!ok) throw std::invalid_argument("module: " + what);
}

// A cell is packed as a flags byte (high bit set, then one bit for each field present) and the
// fields present; an empty cell is the flags byte alone.
void write_pattern(Bytes& out, const Pattern& pattern) {
  out.u32(9);  // the pattern header's length
  out.u8(0);   // packing type: always 0
  out.u16(unsigned(pattern.rows));
  const size_t size_at = out.size();
  out.u16(0);
  const size_t start = out.size();
  for (const Cell& cell : pattern.cells) {
    const uint8_t fields[] = {cell.note, cell.instrument, cell.volume, cell.effect, cell.param};
    unsigned flags = 0x80;
    for (int i = 0; i < 5; ++i)
      if (fields[i] != 0) flags |= 1u << i;
    out.u8(flags);
    for (int i = 0; i < 5; ++i)
      if (fields[i] != 0) out.u8(fields[i]);
  }
  check(out.size() - start <= 0xffff, "a pattern packs to more than 65535 bytes");
  out.patch_u16(size_at, unsigned(out.size() - start));
}

void write_envelope_points(Bytes& out, const Envelope& envelope) {
  for (int i = 0; i < MAX_ENVELOPE_POINTS; ++i) {
    const bool used = i < int(envelope.points.size());
    out.u16(used ? envelope.points[size_t(i)].tick : 0);
    out.u16(used ? envelope.points[size_t(i)].volume : 0);
  }
}

void write_instrument(Bytes& out, const Instrument& instrument) {
  const Sample& sample = instrument.sample;
  const Envelope& envelope = instrument.envelope;
  check(!sample.data.empty(), instrument.name + " has no sample");
  check(sample.data.size() <= 0x3fffffff, instrument.name + "'s sample is too long");
  check(sample.loop_start + uint64_t(sample.loop_length) <= sample.data.size(),
        instrument.name + "'s loop ends past its sample");
  check(envelope.points.size() <= MAX_ENVELOPE_POINTS, instrument.name + " has too many points");
  check(envelope.sustain < int(envelope.points.size()), instrument.name + "'s sustain point");
  check(instrument.fadeout <= 0xfff, instrument.name + "'s fadeout is above 4095");
  for (size_t i = 1; i < envelope.points.size(); ++i)
    check(envelope.points[i].tick > envelope.points[i - 1].tick,
          instrument.name + "'s envelope goes back in time");

  // The header is FastTracker 2's usual 263 bytes: the fields below, then 22 reserved.
  constexpr uint32_t HEADER_SIZE = 263;
  const size_t start = out.size();
  out.u32(HEADER_SIZE);
  out.text(instrument.name, 22);
  out.u8(0);      // type
  out.u16(1);     // one sample
  out.u32(40);    // the sample header's size
  out.zeros(96);  // every note plays sample 0
  write_envelope_points(out, envelope);
  write_envelope_points(out, Envelope{});  // no panning envelope
  out.u8(unsigned(envelope.points.size()));
  out.u8(0);
  out.u8(unsigned(envelope.sustain < 0 ? 0 : envelope.sustain));
  out.zeros(2);  // volume loop start, end
  out.zeros(3);  // panning sustain, loop start, end
  out.u8(envelope.points.empty() ? 0 : 1u | (envelope.sustain >= 0 ? 2u : 0u));
  out.u8(0);     // panning envelope off
  out.zeros(4);  // no vibrato
  out.u16(instrument.fadeout);
  out.zeros(start + HEADER_SIZE - out.size());

  // The sample header; lengths are in bytes, two a sample.
  out.u32(uint32_t(sample.data.size() * 2));
  out.u32(sample.loop_start * 2);
  out.u32(sample.loop_length * 2);
  out.u8(sample.volume > 64 ? 64 : sample.volume);
  out.u8(uint8_t(sample.finetune));
  out.u8((sample.loop_length > 0 ? 1u : 0u) | 0x10u);  // forward loop; 16-bit
  out.u8(sample.panning);
  out.u8(uint8_t(sample.relative_note));
  out.u8(0);
  out.text(instrument.name, 22);

  // Samples are stored as the difference from the one before, wrapping at 16 bits.
  int16_t previous = 0;
  for (int16_t value : sample.data) {
    out.u16(uint16_t(uint16_t(value) - uint16_t(previous)));
    previous = value;
  }
}

}  // namespace

std::vector<uint8_t> write_module(const Module& module) {
  check(module.channels >= 1 && module.channels <= MAX_CHANNELS, "1 to 32 channels");
  check(!module.order.empty() && module.order.size() <= MAX_ORDER, "1 to 256 order entries");
  check(module.patterns.size() <= MAX_PATTERNS, "at most 256 patterns");
  check(module.instruments.size() <= 128, "at most 128 instruments");
  for (uint8_t index : module.order) check(index < module.patterns.size(), "order past patterns");
  for (const Pattern& pattern : module.patterns)
    check(pattern.rows >= 1 && pattern.rows <= MAX_ROWS && pattern.channels == module.channels &&
              pattern.cells.size() == size_t(pattern.rows) * size_t(pattern.channels),
          "a pattern's shape");

  Bytes out;
  out.text("Extended Module: ", 17);
  out.text(module.name, 20);
  out.u8(0x1a);
  out.text("tundra-show-music", 20, ' ');
  out.u16(0x0104);  // the format's version
  out.u32(276);     // the header from here: these 20 bytes and the 256 of the order
  out.u16(unsigned(module.order.size()));
  out.u16(0);  // restart position
  out.u16(unsigned(module.channels));
  out.u16(unsigned(module.patterns.size()));
  out.u16(unsigned(module.instruments.size()));
  out.u16(1);  // linear frequencies
  out.u16(unsigned(module.speed));
  out.u16(unsigned(module.bpm));
  for (size_t i = 0; i < MAX_ORDER; ++i) out.u8(i < module.order.size() ? module.order[i] : 0);
  for (const Pattern& pattern : module.patterns) write_pattern(out, pattern);
  for (const Instrument& instrument : module.instruments) write_instrument(out, instrument);
  return out.take();
}

void tune_sample(Sample& sample, double rate) {
  // In 1/128 semitones above 8363 Hz, split into the nearest semitone and the rest.
  const long steps = std::lround(12.0 * 128.0 * std::log2(rate / 8363.0));
  const long semitones = std::lround(double(steps) / 128.0);
  sample.relative_note = int8_t(semitones);
  sample.finetune = int8_t(steps - semitones * 128);
}

}  // namespace show::xm
