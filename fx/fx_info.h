// What scripts may say to each FX class: its name and, per parameter id, the parameter's name and
// the kind of value it takes. The engine's checks, the assembler and the checker all read it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "datafile/chunk.h"
#include "fx/fx_class.h"

namespace fx {

enum class ParamKind : uint8_t { NUMBER, IMAGE, TEXT, FONT };

struct ParamInfo {
  uint8_t id;
  std::string_view name;
  ParamKind kind;
  std::string_view meaning;
};

struct FxClassInfo {
  std::string_view name;
  std::string_view summary;
  std::span<const ParamInfo> params;
};

extern const std::array<FxClassInfo, FX_CLASS_COUNT> fx_class_info;

// The parameter `id` of class `class_id`, or null when the class ignores that id.
const ParamInfo* find_param(uint8_t class_id, uint8_t id);

// The parameter called `name` (exact, lower case) of class `class_id`, or null.
const ParamInfo* find_param(uint8_t class_id, std::string_view name);

// The class called `name`, or -1.
int find_class(std::string_view name);

// "number", "image chunk", "text chunk", "font chunk".
std::string_view describe(ParamKind kind);

// Whether a chunk of `kind` is what a parameter of `param` kind takes.
bool accepts(ParamKind param, datafile::ChunkKind kind);

}  // namespace fx
