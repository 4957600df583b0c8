// The WAV writer: a RIFF header of three chunks' worth (RIFF, fmt, data) and little-endian samples.
#include "sound/wav.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "sound/pcm.h"

namespace sound {
namespace {

// The RIFF size counts everything after its own field: "WAVE", the fmt chunk and the data
// chunk's header (36 bytes) and the data; it must fit in 32 bits, and so must the data.
constexpr uint32_t MAX_DATA_BYTES =
    (UINT32_MAX - (WAV_HEADER_BYTES - 8)) / BYTES_PER_SAMPLE * BYTES_PER_SAMPLE;

void put_u16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void put_u32(uint8_t* at, uint32_t value) {
  put_u16(at, value & 0xFFFF);
  put_u16(at + 2, value >> 16);
}

}  // namespace

std::vector<uint8_t> wav_header(uint32_t data_bytes) {
  std::vector<uint8_t> header(WAV_HEADER_BYTES);
  uint8_t* h = header.data();
  std::memcpy(h + 0, "RIFF", 4);
  put_u32(h + 4, data_bytes + (WAV_HEADER_BYTES - 8));
  std::memcpy(h + 8, "WAVE", 4);
  std::memcpy(h + 12, "fmt ", 4);
  put_u32(h + 16, 16);                              // the fmt chunk's size
  put_u16(h + 20, 1);                               // integer PCM
  put_u16(h + 22, CHANNELS);                        //
  put_u32(h + 24, SAMPLE_RATE);                     //
  put_u32(h + 28, SAMPLE_RATE * BYTES_PER_SAMPLE);  // bytes a second
  put_u16(h + 32, BYTES_PER_SAMPLE);                // bytes a stereo sample ("block align")
  put_u16(h + 34, 16);                              // bits a channel's sample
  std::memcpy(h + 36, "data", 4);
  put_u32(h + 40, data_bytes);
  return header;
}

WavWriter::WavWriter(FILE* file) : file_(file) {
  const long at = std::ftell(file);
  header_at_ = at < 0 ? 0 : static_cast<size_t>(at);
  const auto header = wav_header(MAX_DATA_BYTES);
  put(header.data(), header.size());
}

WavWriter::WavWriter(std::vector<uint8_t>& bytes) : bytes_(&bytes), header_at_(bytes.size()) {
  const auto header = wav_header(MAX_DATA_BYTES);
  put(header.data(), header.size());
}

bool WavWriter::put(const uint8_t* data, size_t size) {
  if (!error_.empty()) return false;
  if (bytes_ != nullptr) {
    bytes_->insert(bytes_->end(), data, data + size);
    return true;
  }
  if (std::fwrite(data, 1, size, file_) != size) {
    error_ = std::string("cannot write the WAV: ") + std::strerror(errno);
    return false;
  }
  return true;
}

bool WavWriter::write(std::span<const int16_t> samples) {
  if (samples.size() % CHANNELS != 0) {
    error_ = "a WAV's samples come in left, right pairs";
    return false;
  }
  if (samples.size() * sizeof(int16_t) > MAX_DATA_BYTES - data_bytes_) {
    error_ = "the sound is longer than a WAV file can hold (4 GiB)";
    return false;
  }
  // In blocks, so that a long piece is converted without a second copy of it in memory.
  uint8_t block[4096];
  for (size_t done = 0; done < samples.size();) {
    const size_t count = std::min(samples.size() - done, sizeof block / 2);
    for (size_t i = 0; i < count; ++i)
      put_u16(block + 2 * i, static_cast<uint16_t>(samples[done + i]));
    if (!put(block, 2 * count)) return false;
    done += count;
  }
  data_bytes_ += static_cast<uint32_t>(samples.size() * sizeof(int16_t));
  return true;
}

bool WavWriter::finish() {
  if (!error_.empty()) return false;
  const auto header = wav_header(data_bytes_);
  if (bytes_ != nullptr) {
    std::copy(header.begin(), header.end(), bytes_->begin() + static_cast<ptrdiff_t>(header_at_));
    return true;
  }
  // A pipe cannot seek: its header keeps the largest sizes, and that is no error.
  if (std::fseek(file_, static_cast<long>(header_at_), SEEK_SET) == 0) {
    if (std::fwrite(header.data(), 1, header.size(), file_) != header.size() ||
        std::fseek(file_, 0, SEEK_END) != 0) {
      error_ = std::string("cannot write the WAV's header: ") + std::strerror(errno);
      return false;
    }
  }
  if (std::fflush(file_) != 0) {
    error_ = std::string("cannot write the WAV: ") + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace sound
