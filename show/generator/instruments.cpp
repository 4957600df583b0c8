// The soundtrack's instruments, made from sines and a noise generator of our own, so that the
// same code gives the same samples on every machine with the same maths library.
//
// Sustained instruments are short loops that hold a whole number of cycles of every partial, so
// the loop joins without a click; their shape in time comes from the module's volume envelopes.
// Drums are played once. Every sample peaks at the same level; the score sets the balance.
#include "instruments.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

namespace show {
namespace {

constexpr double PI = 3.141592653589793;
constexpr double C4 = 261.6255653;  // Hz

// A linear congruential generator (Numerical Recipes' constants); the top bits are the best.
class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed) {}
  double next() {  // -1 to 1
    state_ = state_ * 1664525u + 1013904223u;
    return double(state_ >> 8) / double(1u << 23) - 1.0;
  }

 private:
  uint32_t state_;
};

std::vector<int16_t> to_samples(const std::vector<double>& wave) {
  double peak = 0;
  for (double value : wave) peak = std::max(peak, std::fabs(value));
  const double scale = peak > 0 ? 0.85 * 32767.0 / peak : 0.0;  // headroom for interpolation
  std::vector<int16_t> out;
  out.reserve(wave.size());
  for (double value : wave) out.push_back(int16_t(std::lround(value * scale)));
  return out;
}

xm::Instrument instrument(std::string name, const std::vector<double>& wave, double c4_rate,
                          uint32_t loop_start, xm::Envelope envelope, uint16_t fadeout) {
  xm::Instrument made;
  made.name = std::move(name);
  made.sample.data = to_samples(wave);
  made.sample.loop_start = loop_start;
  made.sample.loop_length = loop_start < wave.size() ? uint32_t(wave.size()) - loop_start : 0;
  xm::tune_sample(made.sample, c4_rate);
  made.envelope = std::move(envelope);
  made.fadeout = fadeout;
  return made;
}

// Three detuned band-limited saws and a soft sine an octave below. The loop holds 127, 128
// and 129 cycles of the saws, so they beat about twice a second at C-4 and still join. Upper
// harmonics fall off fast: the pad is warm, and stays clear of aliasing when played higher.
xm::Instrument pad() {
  constexpr int LENGTH = 8192, CYCLES = 128;
  Noise phases(0x7a9d);
  std::vector<double> wave(LENGTH, 0.0);
  for (int cycles : {CYCLES - 1, CYCLES, CYCLES + 1}) {
    for (int harmonic = 1; harmonic * (CYCLES + 1) < LENGTH / 4; ++harmonic) {
      const double amplitude = std::exp(-(harmonic - 1) / 4.0) / harmonic;
      const double phase = PI * phases.next();
      for (int n = 0; n < LENGTH; ++n)
        wave[n] += amplitude * std::sin(2 * PI * harmonic * cycles * n / LENGTH + phase);
    }
  }
  for (int n = 0; n < LENGTH; ++n) wave[n] += 0.35 * std::sin(2 * PI * (CYCLES / 2) * n / LENGTH);
  // A slow swell to the sustain point; after key-off, a long release.
  xm::Envelope envelope{{{0, 12}, {10, 44}, {30, 60}, {90, 0}}, 2};
  return instrument("pad", wave, C4 * LENGTH / CYCLES, 0, envelope, 0x100);
}

// One cycle of a sine with three harmonics: round, with enough overtones to be heard on small
// speakers. It fades to a low hold rather than stopping.
xm::Instrument bass() {
  constexpr int PERIOD = 128;
  std::vector<double> wave(PERIOD);
  for (int n = 0; n < PERIOD; ++n) {
    const double x = 2 * PI * n / PERIOD;
    wave[n] = std::sin(x) + 0.4 * std::sin(2 * x) + 0.18 * std::sin(3 * x) + 0.07 * std::sin(4 * x);
  }
  xm::Envelope envelope{{{0, 64}, {4, 58}, {50, 40}, {150, 26}, {300, 18}}, -1};
  return instrument("bass", wave, C4 * PERIOD, 0, envelope, 0x300);
}

// A bell's inharmonic partials (1, 2, 2.75, 4.09 and 5.41 times the fundamental, as whole
// cycles of the loop), after a bright strike whose higher partials die in 60 ms at C-4.
xm::Instrument bell() {
  constexpr int STRIKE = 2048, LENGTH = 4096, CYCLES = 32;
  const double c4_rate = C4 * LENGTH / CYCLES;
  struct Partial {
    int cycles;
    double amplitude;
  };
  const Partial steady[] = {{32, 1.0}, {64, 0.22}, {88, 0.35}, {131, 0.12}, {173, 0.07}};
  const Partial strike[] = {{218, 0.5}, {294, 0.35}, {379, 0.2}};
  std::vector<double> wave(STRIKE + LENGTH, 0.0);
  for (int n = 0; n < STRIKE + LENGTH; ++n) {
    for (const Partial& p : steady)
      wave[n] += p.amplitude * std::sin(2 * PI * p.cycles * n / LENGTH);
    if (n < STRIKE) {
      const double fall = std::exp(-n / 300.0) * (1.0 - double(n) / STRIKE);
      for (const Partial& p : strike)
        wave[n] += fall * p.amplitude * std::sin(2 * PI * p.cycles * n / LENGTH);
    }
  }
  xm::Envelope envelope{{{0, 64}, {3, 52}, {16, 34}, {50, 18}, {110, 7}, {200, 0}}, -1};
  return instrument("bell", wave, c4_rate, STRIKE, envelope, 0x100);
}

// The drums are played at C-4, where these rates hold exactly.
double drum_rate(int semitones_above_8363) {
  return 8363.0 * std::pow(2.0, semitones_above_8363 / 12.0);
}

// A sine falling from 185 to 45 Hz, with a touch of noise for the beater: the fall and the
// beater are what small speakers, which cannot give the 45 Hz, let through.
xm::Instrument kick() {
  const double rate = drum_rate(5);
  const int length = int(0.32 * rate);
  Noise noise(0x4b1c);
  std::vector<double> wave(length);
  double phase = 0;
  for (int n = 0; n < length; ++n) {
    const double t = n / rate;
    phase += 2 * PI * (45.0 + 140.0 * std::exp(-t / 0.03)) / rate;
    const double attack = std::min(1.0, t / 0.002);
    wave[n] =
        attack * std::exp(-t / 0.11) * std::sin(phase) + 0.2 * std::exp(-t / 0.006) * noise.next();
  }
  return instrument("kick", wave, rate, uint32_t(length), {}, 0);
}

// Noise through a band (a low-pass and a high-pass of one pole each) over a short tone: a soft
// snare, nearer a brush than a crack.
xm::Instrument snare() {
  const double rate = drum_rate(17);
  const int length = int(0.22 * rate);
  Noise noise(0x5a4e);
  std::vector<double> wave(length);
  double low = 0, slow = 0;
  for (int n = 0; n < length; ++n) {
    const double t = n / rate;
    low += 0.45 * (noise.next() - low);  // about 3 kHz
    slow += 0.06 * (low - slow);         // about 220 Hz
    const double band = low - slow;
    wave[n] =
        std::exp(-t / 0.055) * band + 0.35 * std::exp(-t / 0.025) * std::sin(2 * PI * 190 * t);
  }
  return instrument("snare", wave, rate, uint32_t(length), {}, 0);
}

// High-passed noise, gone in a few tens of milliseconds.
xm::Instrument hat() {
  const double rate = drum_rate(24);
  const int length = int(0.07 * rate);
  Noise noise(0x4a7f);
  std::vector<double> wave(length);
  double low = 0;
  for (int n = 0; n < length; ++n) {
    const double t = n / rate;
    const double white = noise.next();
    low += 0.3 * (white - low);
    wave[n] = std::exp(-t / 0.016) * (white - low);
  }
  return instrument("hat", wave, rate, uint32_t(length), {}, 0);
}

}  // namespace

std::vector<xm::Instrument> make_instruments() {
  return {pad(), bass(), bell(), kick(), snare(), hat()};
}

}  // namespace show
