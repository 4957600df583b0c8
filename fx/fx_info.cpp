// Lookups in the FX class table, and its limits put into words.
#include "fx/fx_info.h"

#include "base/fatal.h"

namespace fx {
namespace {

using engine::format_text;

std::string quoted_name(const FxClass& fx_class, uint8_t id) {
  for (const ParamInfo& param : fx_class.params)
    if (param.id == id) return std::string(param.name);
  return format_text("0x%02X", id);
}

std::string describe(const FxClass& fx_class, const Condition& condition) {
  const std::string mode = quoted_name(fx_class, condition.param);
  switch (condition.test) {
    case Condition::NEVER:
      return "never";
    case Condition::ALWAYS:
      return "";
    case Condition::ONE_OF:
      if (condition.values[0] == condition.values[1])
        return format_text("while %s is %d", mode.c_str(), condition.values[0]);
      return format_text("while %s is %d or %d", mode.c_str(), condition.values[0],
                         condition.values[1]);
    case Condition::NOT_ZERO:
      return format_text("while %s is not 0", mode.c_str());
  }
  return "";
}

}  // namespace

const FxClass* find_class(uint8_t class_id) {
  return class_id < FX_CLASS_COUNT ? fx_classes[class_id] : nullptr;
}

int find_class(std::string_view name) {
  for (int i = 0; i < FX_CLASS_COUNT; ++i)
    if (fx_classes[i]->name == name) return i;
  return -1;
}

const ParamInfo* find_param(uint8_t class_id, uint8_t id) {
  if (class_id >= FX_CLASS_COUNT) return nullptr;
  for (const ParamInfo& param : fx_classes[class_id]->params)
    if (param.id == id) return &param;
  return nullptr;
}

const ParamInfo* find_param(uint8_t class_id, std::string_view name) {
  if (class_id >= FX_CLASS_COUNT) return nullptr;
  for (const ParamInfo& param : fx_classes[class_id]->params)
    if (param.name == name) return &param;
  return nullptr;
}

std::string_view describe(ParamKind kind) {
  switch (kind) {
    case ParamKind::NUMBER:
      return "number";
    case ParamKind::IMAGE:
      return "image chunk";
    case ParamKind::TEXT:
      return "text chunk";
    case ParamKind::FONT:
      return "font chunk";
  }
  return "?";
}

bool accepts(ParamKind param, datafile::ChunkKind kind) {
  switch (param) {
    case ParamKind::IMAGE:
      return kind == datafile::ChunkKind::IMAGE;
    case ParamKind::TEXT:
      return kind == datafile::ChunkKind::TEXT;
    case ParamKind::FONT:
      return kind == datafile::ChunkKind::FONT;
    case ParamKind::NUMBER:
      return false;
  }
  return false;
}

std::string describe_limits(const FxClass& fx_class, const ParamInfo& param) {
  const ParamLimits& limits = param.limits;
  std::string text;
  auto add = [&text](const std::string& part) { text += (text.empty() ? "" : "; ") + part; };
  if (limits.needed.test == Condition::ALWAYS) add("always needed");
  if (limits.needed.test > Condition::ALWAYS) add("needed " + describe(fx_class, limits.needed));
  if (limits.count) add("never negative");
  if (limits.row_spacing > 0)
    add(format_text("one every %d rows of the buffer", limits.row_spacing));
  // Images are read as their buffer's pixels unless the class reads them otherwise.
  if (param.kind == ParamKind::IMAGE && limits.image == ImageUse::TEXTURE)
    add(format_text("read as %d x %d texels", limits.texture_size, limits.texture_size));
  if (param.kind == ParamKind::IMAGE && limits.image == ImageUse::PAGES)
    add("read as pages as wide and as tall as the buffer");
  if (limits.painted_into) add("painted into: every effect that reads the image sees the paint");
  if (limits.zero_terminated) add("read up to its zero byte, after at least one character");
  if (limits.drawn_with != 0) add("drawn with " + quoted_name(fx_class, limits.drawn_with));
  if (limits.widest_cell > 0) add(format_text("cells at most %d wide", limits.widest_cell));
  if (param.kind == ParamKind::FONT)
    add(format_text("glyphs drawn from row %d of the buffer", limits.first_row));
  return text;
}

std::string describe_painted(const FxClass& fx_class) {
  const PaintedArea& area = fx_class.painted;
  if (area.active.test == Condition::NEVER) return "";
  return format_text(
      "paints columns %s to %s - 1 and rows %s to %s - 1 %s; they must lie in "
      "the buffer",
      quoted_name(fx_class, area.left).c_str(), quoted_name(fx_class, area.right).c_str(),
      quoted_name(fx_class, area.top).c_str(), quoted_name(fx_class, area.bottom).c_str(),
      describe(fx_class, area.active).c_str());
}

}  // namespace fx
