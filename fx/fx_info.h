// Looking up the FX class table's contracts: classes and parameters by number, id or name, and
// the kinds of value parameters take. The engine's checks, the assembler, the checker and the
// disassembler all read the classes through here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "datafile/chunk.h"
#include "fx/fx_table.h"

namespace fx {

// The class numbered `class_id`, or null past the table.
const FxClass* find_class(uint8_t class_id);

// The class called `name`, or -1.
int find_class(std::string_view name);

// The parameter `id` of class `class_id`, or null when the class ignores that id.
const ParamInfo* find_param(uint8_t class_id, uint8_t id);

// The parameter called `name` (exact, lower case) of class `class_id`, or null.
const ParamInfo* find_param(uint8_t class_id, std::string_view name);

// "number", "image chunk", "text chunk", "font chunk".
std::string_view describe(ParamKind kind);

// Whether a chunk of `kind` is what a parameter of `param` kind takes.
bool accepts(ParamKind param, datafile::ChunkKind kind);

// The limits of a parameter in words, for `tundra-dat classes`: "never negative; ...". Empty when
// there are none.
std::string describe_limits(const FxClass& fx_class, const ParamInfo& param);

// The rectangle a class paints, in words, or empty when it paints none that parameters give.
std::string describe_painted(const FxClass& fx_class);

}  // namespace fx
