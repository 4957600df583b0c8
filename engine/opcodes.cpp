// Lookup and decoding over the one opcode table.
#include "engine/opcodes.h"

#include <strings.h>

namespace engine {

const OpcodeInfo* find_opcode(uint8_t code) {
  for (const OpcodeInfo& info : opcode_table)
    if (info.code == code) return &info;
  return nullptr;
}

const OpcodeInfo* find_opcode(const char* name) {
  for (const OpcodeInfo& info : opcode_table)
    if (strcasecmp(info.name, name) == 0) return &info;
  return nullptr;
}

Decode decode_instruction(const uint8_t* script, size_t size, uint32_t position, Instruction& out) {
  out = Instruction{};
  out.position = position;
  if (position >= size) return Decode::PAST_END;
  out.info = find_opcode(script[position]);
  if (out.info == nullptr) return Decode::UNKNOWN_OPCODE;
  if (size - position < static_cast<size_t>(out.info->length)) return Decode::TRUNCATED;

  const uint8_t* cursor = script + position + 1;
  for (int i = 0; i < out.info->operand_count(); ++i) {
    uint32_t value = 0;
    for (int b = 0; b < operand_width(out.info->operands[i].kind); ++b)
      value = value << 8 | *cursor++;
    out.operands[i] = value;
  }
  return Decode::OK;
}

}  // namespace engine
