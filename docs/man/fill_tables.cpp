// Fills the manual pages' sources with what the engine's own tables say: the instruction set
// from the opcode list and the effect classes from the parameter table, so the pages cannot
// drift from the programs. Reads a page's scdoc source, writes it with its markers replaced.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "command_line/command_line.h"
#include "engine/opcodes.h"
#include "fx/fx_info.h"

namespace {

// Text as scdoc reads it literally: its markup characters escaped.
std::string literal(std::string_view text) {
  std::string escaped;
  for (char c : text) {
    if (c == '*' || c == '_' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

std::string operand_list(const engine::OpcodeInfo& info) {
  if (info.operand_count() == 0) return "none";
  std::string text;
  for (int i = 0; i < info.operand_count(); ++i) {
    const engine::Operand& operand = info.operands[i];
    if (i > 0) text += ", ";
    text += operand.name + std::string(" (") + std::to_string(engine::operand_width(operand.kind)) +
            ")";
  }
  return text;
}

// A table of the ten instructions: mnemonic, opcode byte, length, operands with their widths.
std::string instruction_table() {
  std::string text =
      "[[ *instruction*\n"
      ":] *opcode*\n"
      ":] *bytes*\n"
      ":< *operands (bytes each)*\n";
  for (const engine::OpcodeInfo& info : engine::opcode_table) {
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(info.code));
    text += std::string("|  ") + info.name + "\n:  " + code +
            "\n:  " + std::to_string(info.length) + "\n:  " + operand_list(info) + "\n";
  }
  return text;
}

// Every class by number and name, with each parameter's id, name, kind and meaning.
std::string effect_classes() {
  std::string text;
  for (size_t id = 0; id < fx::fx_classes.size(); ++id) {
    const fx::FxClass& info = *fx::fx_classes[id];
    text +=
        "*" + std::to_string(id) + " " + literal(info.name) + "*: " + literal(info.summary) + "\n";
    for (const fx::ParamInfo& param : info.params) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(param.id));
      text += "\t- *" + literal(param.name) + "* (" + code + ", " +
              literal(fx::describe(param.kind)) + "): " + literal(param.meaning);
      std::string limits = fx::describe_limits(info, param);
      if (!limits.empty()) text += " " + literal(limits);
      text += "\n";
    }
    std::string painted = fx::describe_painted(info);
    if (!painted.empty()) text += "\n" + literal(painted) + "\n";
    text += "\n";
  }
  return text;
}

void replace_all(std::string& text, const std::string& marker, const std::string& value) {
  for (size_t at; (at = text.find(marker)) != std::string::npos;)
    text.replace(at, marker.size(), value);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s PAGE.scd FILLED.scd\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream source;
  if (in.is_open()) source << in.rdbuf();
  if (!in.is_open() || in.bad()) {
    std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
    return 1;
  }
  std::string page = source.str();
  replace_all(page, "@VERSION@", engine::VERSION);
  replace_all(page, "@INSTRUCTIONS@\n", instruction_table());
  replace_all(page, "@EFFECT_CLASSES@\n", effect_classes());
  std::ofstream out(argv[2], std::ios::binary);
  out << page;
  out.close();
  if (!out) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
    return 1;
  }
  return 0;
}
