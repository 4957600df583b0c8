// What every effect provides: a private instance record, and its row in the FX class table: its
// name, its parameters with the limits on their values, and its four operations.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "base/buffer.h"
#include "datafile/chunk.h"
#include "fx/random.h"

namespace fx {

// Base of every effect's instance record; opaque to the engine, which only owns it.
struct FxInstance {
  virtual ~FxInstance() = default;
};

// What SETINT or SETCHUNK hands to `set_param`: the engine fills the one the opcode names, and
// has checked that a chunk is of the kind the class's row gives for the id.
struct ParamValue {
  int32_t number = 0;
  const datafile::Chunk* chunk = nullptr;
};

enum class ParamKind : uint8_t { NUMBER, IMAGE, TEXT, FONT };

// A condition on one of the class's number parameters, as it stands when the effect renders.
struct Condition {
  enum Test : uint8_t { NEVER, ALWAYS, ONE_OF, NOT_ZERO };
  Test test = NEVER;
  uint8_t param = 0;                // ONE_OF, NOT_ZERO: the parameter's id
  int32_t initial = 0;              // its value until a script sets it
  std::array<int32_t, 2> values{};  // ONE_OF: the values for which it holds

  bool holds(int32_t value) const {
    return test == ALWAYS || (test == ONE_OF && (value == values[0] || value == values[1])) ||
           (test == NOT_ZERO && value != 0);
  }
};

// How an effect reads an image parameter's pixels.
enum class ImageUse : uint8_t {
  PICTURE,  // as many pixels as its buffer, in rows as wide as the buffer
  TEXTURE,  // a square of `texture_size` texels a side, whatever the buffer
  PAGES,    // pages as tall as the buffer, in rows as wide as it
};

// What an effect needs of a value beyond its kind: the limits a show's check holds scripts to.
struct ParamLimits {
  Condition needed = {};  // while it holds, the effect reads the parameter at every render
  // Numbers
  bool count = false;       // a count of things, taken as none when negative
  int32_t row_spacing = 0;  // a count: thing i is drawn on row i x row_spacing of the buffer
  // Images
  ImageUse image = ImageUse::PICTURE;
  int32_t texture_size = 0;   // TEXTURE: texels a side
  bool painted_into = false;  // the effect draws into the image's own pixels, which stay changed
  // The effect reads the pixels' channels as numbers of its own and never shows them as they
  // are, so the display's reading of a pixel (its low byte) does not apply to them.
  bool never_shown = false;
  // Texts
  bool zero_terminated = false;  // read up to a zero byte, which must follow a character
  uint8_t drawn_with = 0;        // the id of the font parameter its characters are drawn with
  // Fonts
  int32_t widest_cell = 0;  // cells wider than this do not fit where the glyphs are drawn
  int32_t first_row = 0;    // glyphs are drawn from this row of the buffer down
};

// One parameter of a class: what SETINT or SETCHUNK with its id does.
struct ParamInfo {
  uint8_t id;
  std::string_view name;
  ParamKind kind;
  std::string_view meaning;
  ParamLimits limits = {};
};

// A rectangle of its buffer that an effect paints, given by four of its number parameters (the
// first column, the column past the last, the first row, the row past the last), while `active`
// holds: it must lie inside the buffer.
struct PaintedArea {
  uint8_t left = 0, right = 0, top = 0, bottom = 0;
  Condition active = {};
};

// A row of the FX class table: the class's contract with scripts, then its four operations.
struct FxClass {
  std::string_view name;     // as shows and tools name it
  std::string_view summary;  // what it draws
  std::span<const ParamInfo> params;
  // `entry` is the buffer table entry the script named; it holds a Buffer. `random` is the
  // show's random stream, the only one an effect draws from; it outlives the instance, which may
  // keep it to draw from when it renders or a parameter is set.
  std::unique_ptr<FxInstance> (*create)(engine::BufferEntry& entry, Random& random);
  void (*destroy)(FxInstance& instance);  // never called by the engine
  // `frame_counter` is the engine's count of completed frames; few effects read it.
  void (*render)(FxInstance& instance, uint32_t frame_counter);
  void (*set_param)(FxInstance& instance, uint8_t id, const ParamValue& value);
  PaintedArea painted = {};
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
