// The show's PCM written as a WAV file, to a FILE* or to bytes, its sizes patched in on finish.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace sound {

constexpr uint32_t WAV_HEADER_BYTES = 44;

// The 44-byte header of a 16-bit stereo 44,100 Hz PCM file of `data_bytes` bytes of samples.
std::vector<uint8_t> wav_header(uint32_t data_bytes);

class WavWriter {
 public:
  // Writes the header at once. To a file that cannot seek back (a pipe) the header keeps the
  // largest sizes, which players read as "until the end of the stream".
  explicit WavWriter(FILE* file);
  explicit WavWriter(std::vector<uint8_t>& bytes);  // appended to

  // Appends interleaved left, right samples, little-endian whatever the machine. False, with
  // error() saying why, when the file refuses them or a WAV's 4 GiB would be passed.
  bool write(std::span<const int16_t> samples);
  // Puts the sizes into the header (and flushes a file). A pipe's header stays as it was.
  bool finish();

  const std::string& error() const { return error_; }
  uint32_t data_bytes() const { return data_bytes_; }

 private:
  bool put(const uint8_t* data, size_t size);

  FILE* file_ = nullptr;
  std::vector<uint8_t>* bytes_ = nullptr;
  size_t header_at_ = 0;  // where the header begins in bytes_ or file_
  uint32_t data_bytes_ = 0;
  std::string error_;
};

}  // namespace sound
