// The script's instruction set, written once: the interpreter, the assembler, the disassembler
// and the checker all read this list, so they cannot drift apart.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace engine {

// What an operand names; it decides the operand's width and what the engine checks about it.
enum class OperandKind : uint8_t {
  NONE,
  NEW_BUFFER,  // buffer index to create, below 27 (1 byte)
  BUFFER,      // buffer index that must already hold a buffer (1 byte)
  NEW_SLOT,    // FX slot index to create, below 27 (1 byte)
  SLOT,        // FX slot index that must already hold an FX (1 byte)
  CLASS,       // FX class number, below 13 (1 byte)
  PARAM,       // parameter id of the slot's class (1 byte)
  CHUNK,       // number of a loaded chunk (1 byte)
  BYTE,        // any byte (1 byte)
  WORD,        // unsigned 16-bit position or size (2 bytes, big-endian)
  FRAME,       // unsigned 16-bit frame number or count (2 bytes, big-endian)
  VALUE,       // 32-bit number (4 bytes, big-endian)
};

constexpr int operand_width(OperandKind kind) {
  switch (kind) {
    case OperandKind::NONE:
      return 0;
    case OperandKind::WORD:
    case OperandKind::FRAME:
      return 2;
    case OperandKind::VALUE:
      return 4;
    default:
      return 1;
  }
}

struct Operand {
  const char* name = nullptr;
  OperandKind kind = OperandKind::NONE;
};

inline constexpr int MAX_OPERANDS = 5;

// X(mnemonic, opcode byte, length in bytes with the opcode, operands in order...)
#define TUNDRA_OPCODES(X)                                                                  \
  X(NEWBUF, 0x01, 10, {"buffer", OperandKind::NEW_BUFFER}, {"x", OperandKind::WORD},       \
    {"y", OperandKind::WORD}, {"width", OperandKind::WORD}, {"height", OperandKind::WORD}) \
  X(WAITAT, 0x02, 3, {"frame", OperandKind::FRAME})                                        \
  X(NEWFX, 0x03, 4, {"slot", OperandKind::NEW_SLOT}, {"class", OperandKind::CLASS},        \
    {"buffer", OperandKind::BUFFER})                                                       \
  X(SKIP, 0x04, 2, {"ignored", OperandKind::BYTE})                                         \
  X(SETINT, 0x05, 7, {"slot", OperandKind::SLOT}, {"param", OperandKind::PARAM},           \
    {"value", OperandKind::VALUE})                                                         \
  X(VIEWBUF, 0x06, 7, {"buffer", OperandKind::NEW_BUFFER}, {"x", OperandKind::WORD},       \
    {"y", OperandKind::WORD}, {"source", OperandKind::BUFFER})                             \
  X(SETCHUNK, 0x07, 4, {"slot", OperandKind::SLOT}, {"param", OperandKind::PARAM},         \
    {"chunk", OperandKind::CHUNK})                                                         \
  X(FXSTATE, 0x08, 3, {"slot", OperandKind::SLOT}, {"state", OperandKind::BYTE})           \
  X(WAITFOR, 0x09, 3, {"frames", OperandKind::FRAME})                                      \
  X(END, 0xFF, 1)

#define TUNDRA_OPCODE_ENUM(name, code, length, ...) name = code,
enum Opcode : uint8_t { TUNDRA_OPCODES(TUNDRA_OPCODE_ENUM) };
#undef TUNDRA_OPCODE_ENUM

struct OpcodeInfo {
  Opcode code;
  const char* name;
  int length;
  std::array<Operand, MAX_OPERANDS> operands;

  constexpr int operand_count() const {
    int count = 0;
    while (count < MAX_OPERANDS && operands[count].kind != OperandKind::NONE) ++count;
    return count;
  }
};

#define TUNDRA_OPCODE_ROW(name, code, length, ...) OpcodeInfo{name, #name, length, {{__VA_ARGS__}}},
inline constexpr OpcodeInfo opcode_table[] = {TUNDRA_OPCODES(TUNDRA_OPCODE_ROW)};
#undef TUNDRA_OPCODE_ROW

constexpr bool lengths_match_operands() {
  for (const OpcodeInfo& info : opcode_table) {
    int length = 1;
    for (const Operand& operand : info.operands) length += operand_width(operand.kind);
    if (length != info.length) return false;
  }
  return true;
}
static_assert(lengths_match_operands(), "an opcode's length disagrees with its operands");

// The row of an opcode byte, or null for an undefined opcode.
const OpcodeInfo* find_opcode(uint8_t code);

// The row of a mnemonic, case-insensitive, or null.
const OpcodeInfo* find_opcode(const char* name);

// One decoded instruction: operands in the row's order, big-endian bytes already joined.
struct Instruction {
  const OpcodeInfo* info = nullptr;
  uint32_t position = 0;
  std::array<uint32_t, MAX_OPERANDS> operands{};
};

enum class Decode { OK, PAST_END, UNKNOWN_OPCODE, TRUNCATED };

// Decodes the instruction at `position` of `script` (`size` bytes). Never reads outside them.
Decode decode_instruction(const uint8_t* script, size_t size, uint32_t position, Instruction& out);

}  // namespace engine
