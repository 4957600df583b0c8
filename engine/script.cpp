// The script interpreter: runs instructions until a wait or the end, after checking each one
// against the engine's tables, so that no script can reach outside them.
#include <string>

#include "base/fatal.h"
#include "engine/engine.h"
#include "engine/opcodes.h"
#include "fx/fx_info.h"
#include "fx/fx_table.h"

namespace engine {
namespace {

[[noreturn]] void reject(const Instruction& instruction, const std::string& problem) {
  fail("engine  : script error at byte %u (%s): %s", instruction.position, instruction.info->name,
       problem.c_str());
}

// "a number", "an image chunk", "a text chunk", "a font chunk".
std::string with_article(fx::ParamKind kind) {
  std::string noun(fx::describe(kind));
  return (kind == fx::ParamKind::IMAGE ? "an " : "a ") + noun;
}

std::string describe_param(uint8_t class_id, const fx::ParamInfo& param) {
  return format_text("parameter 0x%02X (%s) of %s", param.id, std::string(param.name).c_str(),
                     std::string(fx::fx_classes[class_id]->name).c_str());
}

// The parameter operand, once the slot operand before it is known to hold an FX.
void check_param(const Engine& engine, const Instruction& instruction, uint8_t id) {
  const FxSlot& slot = *engine.slots[instruction.operands[0]];
  const fx::ParamInfo* param = fx::find_param(slot.class_id, id);
  if (param == nullptr) return;  // ids a class ignores stay ignored, whatever they are given
  if (instruction.info->code == SETINT) {
    if (param->kind != fx::ParamKind::NUMBER)
      reject(instruction, describe_param(slot.class_id, *param) + " takes " +
                              with_article(param->kind) + ", not a number");
    return;
  }
  uint32_t chunk_index = instruction.operands[2];
  if (chunk_index >= engine.chunks.size()) return;  // reported by the chunk operand
  datafile::ChunkKind kind = engine.chunks[chunk_index]->kind;
  if (!fx::accepts(param->kind, kind))
    reject(instruction,
           describe_param(slot.class_id, *param) + " takes " + with_article(param->kind) +
               format_text(", but chunk %u is %s", chunk_index, datafile::kind_with_article(kind)));
}

void check_operands(const Engine& engine, const Instruction& instruction) {
  const OpcodeInfo& info = *instruction.info;
  for (int i = 0; i < info.operand_count(); ++i) {
    const char* name = info.operands[i].name;
    uint32_t value = instruction.operands[i];
    switch (info.operands[i].kind) {
      case OperandKind::NEW_BUFFER:
      case OperandKind::BUFFER:
        if (value >= BUFFER_COUNT)
          reject(instruction, format_text("%s %u is out of range (buffers are 0 to %d)", name,
                                          value, BUFFER_COUNT - 1));
        if (info.operands[i].kind == OperandKind::BUFFER && !engine.buffers[value])
          reject(instruction, format_text("%s %u has not been created", name, value));
        break;
      case OperandKind::NEW_SLOT:
      case OperandKind::SLOT:
        if (value >= SLOT_COUNT)
          reject(instruction, format_text("%s %u is out of range (FX slots are 0 to %d)", name,
                                          value, SLOT_COUNT - 1));
        if (info.operands[i].kind == OperandKind::SLOT && !engine.slots[value])
          reject(instruction, format_text("%s %u holds no FX", name, value));
        break;
      case OperandKind::CLASS:
        if (value >= fx::FX_CLASS_COUNT)
          reject(instruction, format_text("%s %u is out of range (FX classes are 0 to %d)", name,
                                          value, fx::FX_CLASS_COUNT - 1));
        if (fx::fx_classes[value] == nullptr)
          reject(instruction, format_text("%s %u (%s) is not built into this engine", name, value,
                                          std::string(fx::fx_classes[value]->name).c_str()));
        break;
      case OperandKind::CHUNK:
        if (value >= engine.chunks.size())
          reject(instruction,
                 engine.chunks.size() == 1
                     ? format_text("%s %u does not exist (only the script was loaded)", name, value)
                     : format_text("%s %u does not exist (%zu chunks were loaded)", name, value,
                                   engine.chunks.size()));
        break;
      case OperandKind::PARAM:
        check_param(engine, instruction, static_cast<uint8_t>(value));
        break;
      case OperandKind::NONE:
      case OperandKind::BYTE:
      case OperandKind::WORD:
      case OperandKind::FRAME:
      case OperandKind::VALUE:
        break;
    }
  }
  if (info.code == NEWBUF) {
    size_t pixels = size_t{instruction.operands[3]} * instruction.operands[4];
    if (pixels > MAX_BUFFER_PIXELS)
      reject(instruction,
             format_text("buffer %u of %u x %u pixels is too large (at most %zu pixels)",
                         instruction.operands[0], instruction.operands[3], instruction.operands[4],
                         MAX_BUFFER_PIXELS));
  }
}

}  // namespace

int run_script(Engine& engine) {
  Script& script = engine.script;
  if (script.state == ScriptState::WAITING) {
    if (engine.frame_counter < script.wait_target) return 0;
    script.state = ScriptState::RUNNING;
  }

  const std::vector<uint8_t>& bytes = script.chunk->bytes;
  for (;;) {
    Instruction instruction;
    switch (decode_instruction(bytes.data(), bytes.size(), script.position, instruction)) {
      case Decode::OK:
        break;
      case Decode::UNKNOWN_OPCODE:
        fail_with(Stream::OUT, format_text("Unknown OPCode in Script !!!\n%d@%u\n",
                                           bytes[script.position], script.position));
      case Decode::PAST_END:
        fail("engine  : script error at byte %u: the script ends there without END",
             script.position);
      case Decode::TRUNCATED:
        reject(instruction, format_text("the instruction needs %d bytes, but only %zu are left",
                                        instruction.info->length, bytes.size() - script.position));
    }
    check_operands(engine, instruction);

    const auto& op = instruction.operands;
    script.position += instruction.info->length;
    switch (instruction.info->code) {
      case NEWBUF:
        create_buffer(engine, op[0], op[1], op[2], op[3], op[4]);
        break;
      case WAITAT:
        script.wait_target = op[0];
        script.state = ScriptState::WAITING;
        return 0;
      case NEWFX:
        create_fx(engine, op[0], op[1], op[2]);
        break;
      case SKIP:
        break;
      case SETINT:
        set_param_int(engine, op[0], op[1], static_cast<int32_t>(op[2]));
        break;
      case VIEWBUF:
        create_view_buffer(engine, op[0], op[1], op[2], op[3]);
        break;
      case SETCHUNK:
        set_param_chunk(engine, op[0], op[1], op[2]);
        break;
      case FXSTATE:
        set_fx_state(engine, op[0], op[1]);
        break;
      case WAITFOR:
        script.wait_target = op[0] + engine.frame_counter;  // wraps like the 32-bit sum it is
        script.state = ScriptState::WAITING;
        return 0;
      case END:
        script.position = 0;
        return 255;
    }
  }
}

}  // namespace engine
