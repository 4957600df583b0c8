// What every effect provides: a private instance record and the four operations of its row in
// the FX class table.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "datafile/chunk.h"
#include "engine/buffer.h"

namespace fx {

// Base of every effect's instance record; opaque to the engine, which only owns it.
struct FxInstance {
  virtual ~FxInstance() = default;
};

// What SETINT or SETCHUNK hands to `set_param`: the engine fills the one the opcode names, and
// has checked that a chunk is of the kind the class's parameter table gives for the id.
struct ParamValue {
  int32_t number = 0;
  const datafile::Chunk* chunk = nullptr;
};

struct FxClass {
  // `entry` is the buffer table entry the script named; it holds a Buffer.
  std::unique_ptr<FxInstance> (*create)(engine::BufferEntry& entry);
  void (*destroy)(FxInstance& instance);  // never called by the engine
  // `frame_counter` is the engine's count of completed frames; few effects read it.
  void (*render)(FxInstance& instance, uint32_t frame_counter);
  void (*set_param)(FxInstance& instance, uint8_t id, const ParamValue& value);
};

inline constexpr int FX_CLASS_COUNT = 13;

// Shared by every class: destroy is an empty operation.
inline void destroy_nothing(FxInstance&) {}

// The chunk behind a parameter whose kind the engine has checked.
inline const datafile::ImageChunk& image_param(const ParamValue& value) {
  return static_cast<const datafile::ImageChunk&>(*value.chunk);
}
inline const datafile::TextChunk& text_param(const ParamValue& value) {
  return static_cast<const datafile::TextChunk&>(*value.chunk);
}
inline const datafile::FontChunk& font_param(const ParamValue& value) {
  return static_cast<const datafile::FontChunk&>(*value.chunk);
}

}  // namespace fx
