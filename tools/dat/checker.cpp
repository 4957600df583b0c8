// The static check. The script has no jumps, so one pass from the first instruction to END
// sees every instruction in the order and at the frame in which the engine runs it.
#include "tools/dat/checker.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>

#include "base/fatal.h"
#include "engine/engine.h"
#include "fx/fx_info.h"
#include "fx/noise.h"
#include "sound/music.h"
#include "tools/dat/grey_picture.h"
#include "tools/dat/timecode.h"

namespace tools {
namespace {

using datafile::ChunkKind;
using engine::format_text;
using engine::Instruction;
using engine::OperandKind;
using engine::PICTURE_HEIGHT;
using engine::PICTURE_WIDTH;

struct BufferModel {
  bool exists = false;
  uint32_t x = 0, y = 0, width = 0, height = 0;
  uint32_t made_at = 0;  // script byte of the instruction that gave it its size
};

struct ParamModel {
  bool chunk = false;
  uint32_t value = 0;
  uint32_t set_at = 0;
};

struct SlotModel {
  bool exists = false;
  uint32_t class_id = 0;
  uint32_t buffer = 0;
  bool running = false;
  uint32_t started_at = 0;
  std::map<uint8_t, ParamModel> params;

  const fx::FxClass* info() const {
    return class_id < fx::FX_CLASS_COUNT ? fx::fx_classes[class_id] : nullptr;
  }
  const ParamModel* param(uint8_t id) const {
    auto it = params.find(id);
    return it == params.end() ? nullptr : &it->second;
  }
  int64_t number(uint8_t id, int64_t otherwise) const {
    const ParamModel* param = this->param(id);
    return param != nullptr && !param->chunk ? static_cast<int32_t>(param->value) : otherwise;
  }
  // The value a condition tests, as the effect sees it.
  bool holds(const fx::Condition& condition) const {
    return condition.holds(static_cast<int32_t>(number(condition.param, condition.initial)));
  }
};

// What the engine may hold for a show's buffers and effects at one time before the check warns:
// our own show needs well under a megabyte, but a few statements can ask for gigabytes (a buffer
// may hold 16 M pixels, and every static noise keeps eleven copies of its buffer).
constexpr size_t MEMORY_BUDGET = size_t{256} << 20;

// The bytes an effect allocates for each pixel of its buffer, beyond the buffer itself: the
// noise's frames and mask, the bounce's copy of its picture, and the maps of the others.
struct PixelCost {
  std::string_view class_name;
  size_t bytes_per_pixel;
};
constexpr PixelCost pixel_costs[] = {
    {"noise", (fx::NOISE_FRAMES + 1) * sizeof(uint16_t)},
    {"bounce", sizeof(uint16_t)},
    {"sparks", 2 * sizeof(uint16_t)},
    {"melt", sizeof(float) + sizeof(uint8_t)},
    {"blobs", sizeof(uint8_t)},
};

size_t effect_bytes(uint32_t class_id, size_t pixels) {
  if (class_id >= fx::FX_CLASS_COUNT) return 0;
  for (const PixelCost& cost : pixel_costs)
    if (cost.class_name == fx::fx_classes[class_id]->name) return cost.bytes_per_pixel * pixels;
  return 0;
}

std::string name_of(const SlotModel& slot) {
  return std::string(slot.info()->name);
}

std::string size_text(uint32_t width, uint32_t height) {
  return format_text("%u x %u", width, height);
}

class Checker {
 public:
  Checker(const Container& container, const SourceMap* source_map, CheckResult& result)
      : container_(container), source_map_(source_map), result_(result) {}

  void run() {
    result_.diagnostics.append(container_.diagnostics);
    const FileChunk* chunk = container_.script();
    if (chunk == nullptr) return;
    const std::span<const uint8_t> script = chunk->payload;
    script_ = script;
    if (script.empty()) {
      report_at(0, Severity::ERROR, "the script is empty: it needs at least END", nullptr);
      return;
    }
    uint32_t position = 0;
    for (;;) {
      Instruction instruction;
      engine::Decode decoded =
          engine::decode_instruction(script.data(), script.size(), position, instruction);
      if (decoded == engine::Decode::PAST_END) {
        report_at(last_position_, Severity::ERROR,
                  "the script ends after this instruction without END: the engine would run "
                  "off its end",
                  last_ok_ ? &last_instruction_ : nullptr);
        return;
      }
      if (decoded == engine::Decode::UNKNOWN_OPCODE) {
        report_at(
            position, Severity::ERROR,
            format_text("unknown opcode 0x%02X: the engine stops the show here", script[position]),
            nullptr);
        return;
      }
      if (decoded == engine::Decode::TRUNCATED) {
        report_at(
            position, Severity::ERROR,
            format_text("%s needs %d bytes, but the script has %zu left", instruction.info->name,
                        instruction.info->length, script.size() - position),
            nullptr);
        return;
      }
      ++result_.summary.instructions;
      last_position_ = position;
      last_instruction_ = instruction;
      last_ok_ = true;
      instruction_ = &instruction;
      bool ended = step(instruction);
      position += static_cast<uint32_t>(instruction.info->length);
      if (ended) {
        result_.summary.ends = true;
        result_.summary.end_frame = now_;
        result_.summary.end_byte = last_position_;
        check_shared_images();
        if (position < script.size())
          report_at(position, Severity::WARNING,
                    format_text("%zu bytes after END are never run", script.size() - position),
                    nullptr);
        return;
      }
    }
  }

 private:
  const Container& container_;
  const SourceMap* source_map_;
  CheckResult& result_;
  std::span<const uint8_t> script_;
  const Instruction* instruction_ = nullptr;  // the one being checked
  uint32_t last_position_ = 0;
  Instruction last_instruction_;
  bool last_ok_ = false;

  std::array<BufferModel, engine::BUFFER_COUNT> buffers_{};
  std::array<SlotModel, engine::SLOT_COUNT> slots_{};
  int64_t now_ = 0;                 // the frame counter during the current run of the script
  bool startup_ = true;             // the first run, before the first frame
  std::set<std::string> reported_;  // findings made at waits, each reported once

  // Every effect given an image, for the images some effect paints into.
  struct ImageUse {
    uint32_t slot = 0;
    uint32_t class_id = 0;
    uint32_t byte = 0;  // the instruction that handed the image over
    bool paints = false;
  };
  std::map<uint32_t, std::vector<ImageUse>> image_uses_;  // by chunk number

  // The memory held at this point: each buffer's own pixels (a view shares its source's) and
  // what each effect allocated for its buffer.
  std::array<size_t, engine::BUFFER_COUNT> buffer_bytes_{};
  std::array<size_t, engine::SLOT_COUNT> slot_bytes_{};
  bool over_budget_ = false;          // said once, at the statement that went past the budget
  std::set<uint32_t> greys_checked_;  // image chunks looked at for greys

  // ----- reporting -----

  void report_at(uint32_t byte, Severity severity, const std::string& message,
                 const Instruction* instruction, int operand = -1) {
    Diagnostic diagnostic;
    diagnostic.severity = severity;
    diagnostic.byte = byte;
    diagnostic.message = message;
    const SourceSpan* span = source_map_ != nullptr ? source_map_->find(byte) : nullptr;
    if (span != nullptr) {
      diagnostic.file = span->file;
      diagnostic.line = span->line;
      diagnostic.column = span->column;
      if (operand >= 0 && span->byte == byte && span->operand_columns[operand] > 0)
        diagnostic.column = span->operand_columns[operand];
      diagnostic.context = span->text;
    } else {
      diagnostic.file = container_.name;
      if (instruction != nullptr) diagnostic.context = instruction_text(*instruction);
    }
    result_.diagnostics.add(std::move(diagnostic));
  }

  void error(const std::string& message, int operand = -1) {
    report_at(instruction_->position, Severity::ERROR, message, instruction_, operand);
  }
  void warning(const std::string& message, int operand = -1) {
    report_at(instruction_->position, Severity::WARNING, message, instruction_, operand);
  }

  // A finding made at a wait about an earlier instruction, reported there and only once.
  void report_once(uint32_t byte, const std::string& message) {
    if (!reported_.insert(format_text("%u ", byte) + message).second) return;
    Instruction at;
    bool decoded =
        engine::decode_instruction(script_.data(), script_.size(), byte, at) == engine::Decode::OK;
    report_at(byte, Severity::ERROR, message, decoded ? &at : nullptr);
  }

  // ----- one instruction -----

  // Checks and models one instruction; true at END.
  bool step(const Instruction& instruction) {
    bool valid = check_operands(instruction);
    const auto& op = instruction.operands;
    switch (instruction.info->code) {
      case engine::NEWBUF:
        new_buffer(valid, op[0], op[1], op[2], op[3], op[4]);
        break;
      case engine::VIEWBUF:
        if (valid) {
          buffer_bytes_[op[0]] = 0;
          BufferModel view = buffers_[op[3]];
          view.x = op[1];
          view.y = op[2];
          view.made_at = instruction.position;
          buffers_[op[0]] = view;
        }
        break;
      case engine::NEWFX:
        new_fx(op[0], op[1], op[2]);
        break;
      case engine::SETINT:
      case engine::SETCHUNK:
        if (op[0] < engine::SLOT_COUNT && slots_[op[0]].exists)
          set_param(slots_[op[0]], instruction, valid);
        break;
      case engine::FXSTATE:
        fx_state(valid, op[0], op[1]);
        break;
      case engine::WAITAT:
      case engine::WAITFOR:
        wait(instruction);
        break;
      case engine::SKIP:
        break;
      case engine::END:
        return true;
    }
    return false;
  }

  // The checks every operand of its kind gets, whatever the opcode; false if one failed.
  bool check_operands(const Instruction& instruction) {
    bool valid = true;
    const engine::OpcodeInfo& info = *instruction.info;
    for (int i = 0; i < info.operand_count(); ++i) {
      const engine::Operand& operand = info.operands[i];
      const uint32_t value = instruction.operands[i];
      const std::string what = std::string(operand.name) == "source"
                                   ? format_text("source buffer %u", value)
                                   : format_text("%s %u", operand.name, value);
      switch (operand.kind) {
        case OperandKind::NEW_BUFFER:
        case OperandKind::BUFFER:
          if (value >= engine::BUFFER_COUNT) {
            error(format_text("%s is out of range: buffers are 0 to %d", what.c_str(),
                              engine::BUFFER_COUNT - 1),
                  i);
            valid = false;
          } else if (operand.kind == OperandKind::BUFFER && !buffers_[value].exists) {
            error(what + " has not been created", i);
            valid = false;
          }
          break;
        case OperandKind::NEW_SLOT:
        case OperandKind::SLOT:
          if (value >= engine::SLOT_COUNT) {
            error(format_text("fx slot %u is out of range: slots are 0 to %d", value,
                              engine::SLOT_COUNT - 1),
                  i);
            valid = false;
          } else if (operand.kind == OperandKind::SLOT && !slots_[value].exists) {
            error(format_text("fx %u holds no effect: no fx statement has created it", value), i);
            valid = false;
          }
          break;
        case OperandKind::CLASS:
          if (value >= fx::FX_CLASS_COUNT) {
            error(format_text("class %u is out of range: effect classes are 0 to %d", value,
                              fx::FX_CLASS_COUNT - 1),
                  i);
            valid = false;
          }
          break;
        case OperandKind::CHUNK:
          if (value >= container_.loaded) {
            error(value < container_.chunks.size()
                      ? format_text("chunk %u is never loaded: the engine stops loading at "
                                    "chunk %zu",
                                    value, container_.loaded)
                      : format_text("chunk %u does not exist: the file holds %zu chunks", value,
                                    container_.chunks.size()),
                  i);
            valid = false;
          }
          break;
        case OperandKind::NONE:
        case OperandKind::PARAM:
        case OperandKind::BYTE:
        case OperandKind::WORD:
        case OperandKind::FRAME:
        case OperandKind::VALUE:
          break;
      }
    }
    return valid;
  }

  void new_buffer(bool valid, uint32_t index, uint32_t x, uint32_t y, uint32_t width,
                  uint32_t height) {
    if (size_t{width} * height > engine::MAX_BUFFER_PIXELS) {
      error(format_text("buffer %u of %s pixels is too large: the engine makes buffers of at "
                        "most %zu pixels",
                        index, size_text(width, height).c_str(), engine::MAX_BUFFER_PIXELS),
            3);
      valid = false;
    } else if (width == 0 || height == 0) {
      warning(format_text("buffer %u of %s has no pixels", index, size_text(width, height).c_str()),
              3);
    }
    if (!valid) return;
    buffers_[index] = {true, x, y, width, height, instruction_->position};
    buffer_bytes_[index] = size_t{width} * height * sizeof(uint16_t);
    check_memory();
  }

  void check_memory() {
    size_t total = 0;
    for (size_t bytes : buffer_bytes_) total += bytes;
    for (size_t bytes : slot_bytes_) total += bytes;
    if (total <= MEMORY_BUDGET || over_budget_) return;
    over_budget_ = true;
    warning(
        format_text("the show's buffers and effects need %zu MiB from here on, more than the "
                    "%zu MiB budget of the check: smaller or fewer buffers, or fewer noise "
                    "effects, would play on more machines",
                    (total + (size_t{1} << 20) - 1) >> 20, MEMORY_BUDGET >> 20));
  }

  void new_fx(uint32_t slot, uint32_t class_id, uint32_t buffer) {
    if (slot >= engine::SLOT_COUNT) return;
    SlotModel& model = slots_[slot];
    model = SlotModel{};
    // A slot whose class or buffer is wrong still exists, so that what follows is not
    // reported again as work on a slot that was never made.
    model.exists = true;
    model.class_id = class_id;
    model.buffer =
        buffer < engine::BUFFER_COUNT && buffers_[buffer].exists ? buffer : engine::BUFFER_COUNT;
    const BufferModel* target = buffer_of(model);
    slot_bytes_[slot] =
        target != nullptr ? effect_bytes(class_id, size_t{target->width} * target->height) : 0;
    check_memory();
  }

  const BufferModel* buffer_of(const SlotModel& slot) const {
    return slot.buffer < engine::BUFFER_COUNT ? &buffers_[slot.buffer] : nullptr;
  }

  void set_param(SlotModel& slot, const Instruction& instruction, bool valid) {
    const fx::FxClass* info = slot.info();
    if (info == nullptr) return;  // the class was reported when the slot was made
    const uint8_t id = static_cast<uint8_t>(instruction.operands[1]);
    const uint32_t value = instruction.operands[2];
    const bool chunk = instruction.info->code == engine::SETCHUNK;
    const fx::ParamInfo* param = fx::find_param(static_cast<uint8_t>(slot.class_id), id);
    if (param == nullptr) {
      warning(format_text("%s has no parameter 0x%02X: the engine ignores it",
                          std::string(info->name).c_str(), id),
              1);
      return;
    }
    const std::string described = format_text("%s (0x%02X) of %s", std::string(param->name).c_str(),
                                              id, std::string(info->name).c_str());
    const bool takes_number = param->kind == fx::ParamKind::NUMBER;
    if (takes_number && chunk) {
      error(described + " takes a number, not a chunk", 2);
      return;
    }
    if (!takes_number && !chunk) {
      error(described + " takes " + article(param->kind) + ", not a number", 2);
      return;
    }
    if (chunk) {
      if (!valid) return;  // the chunk number was reported
      const FileChunk& record = *container_.loaded_chunk(value);
      if (!fx::accepts(param->kind, *record.kind)) {
        error(described + " takes " + article(param->kind) +
                  format_text(", but chunk %u is %s", value,
                              datafile::kind_with_article(*record.kind)),
              2);
        return;
      }
      check_chunk(slot, *param, value, record);
      if (image_of(record) != nullptr)
        image_uses_[value].push_back({instruction.operands[0], slot.class_id, instruction.position,
                                      param->limits.painted_into});
    } else {
      check_number(slot, *param, static_cast<int32_t>(value));
    }
    slot.params[id] = {chunk, value, instruction.position};
  }

  static std::string article(fx::ParamKind kind) {
    return (kind == fx::ParamKind::IMAGE ? "an " : "a ") + std::string(fx::describe(kind));
  }

  void check_number(const SlotModel& slot, const fx::ParamInfo& param, int32_t value) {
    if (!param.limits.count) return;
    if (value < 0) {
      error(format_text("%s %d is negative", std::string(param.name).c_str(), value), 2);
      return;
    }
    const BufferModel* buffer = buffer_of(slot);
    const int64_t spacing = param.limits.row_spacing;
    if (spacing > 0 && buffer != nullptr && value > 0 && spacing * (value - 1) >= buffer->height)
      error(format_text("%d %s need rows 0 to %lld, but buffer %u has %u rows: at most %lld %s "
                        "fit",
                        value, name_of(slot).c_str(), static_cast<long long>(spacing * (value - 1)),
                        slot.buffer, buffer->height,
                        static_cast<long long>((buffer->height + spacing - 1) / spacing),
                        name_of(slot).c_str()),
            2);
  }

  void check_chunk(const SlotModel& slot, const fx::ParamInfo& param, uint32_t number,
                   const FileChunk& record) {
    const BufferModel* buffer = buffer_of(slot);
    const datafile::ImageChunk* image = image_of(record);
    const datafile::FontChunk* font = font_of(record);
    if (image != nullptr && buffer != nullptr) check_image(slot, param, number, *image, *buffer);
    if (image != nullptr && !param.limits.never_shown && greys_checked_.insert(number).second)
      check_greys(number, *image);
    if (font != nullptr && buffer != nullptr) check_font(slot, param, number, *font, *buffer);
    if (param.limits.zero_terminated) check_text(slot, number, record.payload);
    // With both a text and the font it is drawn with known, now or again: say which characters
    // will not be drawn.
    for (const fx::ParamInfo& text : slot.info()->params) {
      const uint8_t font_id = text.limits.drawn_with;
      if (font_id == 0 || (param.id != text.id && param.id != font_id)) continue;
      const ParamModel* text_set = slot.param(text.id);
      const ParamModel* font_set = slot.param(font_id);
      uint32_t text_chunk = param.id == text.id ? number : text_set ? text_set->value : UINT32_MAX;
      uint32_t font_chunk = param.id == font_id ? number : font_set ? font_set->value : UINT32_MAX;
      if (text_chunk != UINT32_MAX && font_chunk != UINT32_MAX)
        check_coverage(text_chunk, font_chunk);
    }
  }

  void check_image(const SlotModel& slot, const fx::ParamInfo& param, uint32_t number,
                   const datafile::ImageChunk& image, const BufferModel& buffer) {
    const uint32_t width = static_cast<uint32_t>(image.width);
    const uint32_t height = static_cast<uint32_t>(image.height);
    const std::string image_text =
        format_text("image chunk %u (%s)", number, size_text(width, height).c_str());
    const std::string buffer_text =
        format_text("buffer %u (%s)", slot.buffer, size_text(buffer.width, buffer.height).c_str());
    const int64_t side = param.limits.texture_size;
    switch (param.limits.image) {
      case fx::ImageUse::PICTURE:
        if (image.pixel_count() < size_t{buffer.width} * buffer.height)
          error(image_text + " is smaller than " + buffer_text + " that it feeds", 2);
        else if (width != buffer.width)
          warning(format_text("%s is read in rows of %u, the width of %s: its picture will be "
                              "skewed",
                              image_text.c_str(), buffer.width, buffer_text.c_str()),
                  2);
        break;
      case fx::ImageUse::TEXTURE:
        if (int64_t(image.pixel_count()) < side * side)
          error(image_text + format_text(" is smaller than the %lld x %lld texture the %s reads",
                                         static_cast<long long>(side), static_cast<long long>(side),
                                         name_of(slot).c_str()),
                2);
        else if (width != side)
          warning(image_text + format_text(" is read in rows of %lld: the texture will be skewed",
                                           static_cast<long long>(side)),
                  2);
        break;
      case fx::ImageUse::PAGES:
        if (width != buffer.width)
          error(image_text + format_text(" is not as wide as %s: the %s reads pages in rows of %u",
                                         buffer_text.c_str(), name_of(slot).c_str(), buffer.width),
                2);
        else if (buffer.height > 0 && height % buffer.height != 0)
          error(image_text + format_text(" is not a whole number of %u-row pages, the height of "
                                         "%s: its last page reads past the image",
                                         buffer.height, buffer_text.c_str()),
                2);
        break;
    }
  }

  // Plain greys, R = G = B, are what an ordinary picture holds, and the display shows them by
  // their low byte: the levels come out of order, in bands.
  void check_greys(uint32_t number, const datafile::ImageChunk& image) {
    std::array<bool, 32> levels{};  // the five-bit grey levels present
    for (size_t i = 0; i < image.pixel_count(); ++i)
      if (is_banded_grey(image.pixels[i])) levels[image.pixels[i] & 31] = true;
    const auto first = std::find(levels.begin(), levels.end(), true);
    if (first == levels.end()) return check_colours(number, image);
    // The level g is the pixel g x 0x0841, and the display shows its low byte.
    auto pixel = [](int level) { return static_cast<uint16_t>(level * 0x0841); };
    auto shown = [&](int level) { return pixel(level) & 0xFF; };
    std::string example;
    for (int dark = 1; dark < 31 && example.empty(); ++dark)
      for (int light = dark + 1; light < 31 && example.empty(); ++light)
        if (levels[dark] && levels[light] && shown(dark) > shown(light))
          example = format_text("0x%04X shows as %d, brighter than 0x%04X, which shows as %d",
                                pixel(dark), shown(dark), pixel(light), shown(light));
    if (example.empty()) {
      const int level = static_cast<int>(first - levels.begin());
      example = format_text("0x%04X, %d%% of white, shows as %d of 255", pixel(level),
                            level * 100 / 31, shown(level));
    }
    warning(format_text("%s holds plain greys (red = green = blue), which the display shows "
                        "banded: it reads a pixel's low 8 bits, so %s; %s",
                        chunk_called("image", number).c_str(), example.c_str(),
                        grey_advice(number).c_str()),
            2);
  }

  // A colour picture fares no better: the display's grey is a pixel's low byte, blue's five bits
  // and green's three low ones, whatever its brightness. A colour whose shown grey is this far
  // from its brightness (an eighth of the range) makes the picture a pattern of stripes.
  static constexpr int COLOUR_TOLERANCE = 32;

  void check_colours(uint32_t number, const datafile::ImageChunk& image) {
    std::array<bool, 65536> present{};
    for (size_t i = 0; i < image.pixel_count(); ++i) present[image.pixels[i]] = true;
    int worst = 0, worst_brightness = 0, worst_shown = 0;
    uint16_t worst_pixel = 0;
    for (uint32_t pixel = 0; pixel < present.size(); ++pixel) {
      // A display grey, what 'grey' makes, is shown as meant.
      if (!present[pixel] || display_grey(static_cast<uint8_t>(pixel)) == pixel) continue;
      // RGB565 fields widened to 8 bits, 31 and 63 to 255.
      const int level = brightness(static_cast<uint8_t>((pixel >> 11) * 255 / 31),
                                   static_cast<uint8_t>(((pixel >> 5) & 63) * 255 / 63),
                                   static_cast<uint8_t>((pixel & 31) * 255 / 31));
      const int shown = static_cast<int>(pixel & 0xFF);
      if (std::abs(shown - level) > worst) {
        worst = std::abs(shown - level);
        worst_pixel = static_cast<uint16_t>(pixel);
        worst_brightness = level;
        worst_shown = shown;
      }
    }
    if (worst <= COLOUR_TOLERANCE) return;
    warning(format_text("%s is in colours the display shows as unrelated greys: it reads a "
                        "pixel's low 8 bits, so 0x%04X, of brightness %d, shows as %d; %s",
                        chunk_called("image", number).c_str(), worst_pixel, worst_brightness,
                        worst_shown, grey_advice(number).c_str()),
            2);
  }

  // How to have a picture shown by its brightness: the `grey` option of its declaration.
  std::string grey_advice(uint32_t number) const {
    const ChunkSource* chunk = declared(number);
    if (chunk == nullptr) return "declare the image with 'grey' to show its brightness";
    return format_text("declare it '%s grey' (%s) to show its brightness", chunk->text.c_str(),
                       chunk->where.c_str());
  }

  void check_font(const SlotModel& slot, const fx::ParamInfo& param, uint32_t number,
                  const datafile::FontChunk& font, const BufferModel& buffer) {
    const int32_t widest_cell = param.limits.widest_cell, first_row = param.limits.first_row;
    const std::string name = name_of(slot);
    if (widest_cell > 0 && font.cell_width > widest_cell) {
      const int count = std::clamp(font.glyph_count, 0, datafile::MAX_GLYPHS);
      const int widest = *std::max_element(font.advances.begin(), font.advances.begin() + count);
      error(format_text("%s has a glyph %d pixels wide, so cells of %d: the %s's margin holds "
                        "cells of %d, for glyphs narrower than %d",
                        chunk_called("font", number).c_str(), widest, font.cell_width, name.c_str(),
                        widest_cell, widest_cell),
            2);
    }
    if (int64_t{font.glyph_height} > int64_t{buffer.height} - first_row)
      error(format_text("%s is %d rows high, but the %s draws from row %d of buffer %u "
                        "(%u rows): %lld rows fit",
                        chunk_called("font", number).c_str(), font.glyph_height, name.c_str(),
                        first_row, slot.buffer, buffer.height,
                        std::max<long long>(0, int64_t{buffer.height} - first_row)),
            2);
  }

  void check_text(const SlotModel& slot, uint32_t number, std::span<const uint8_t> text) {
    const std::string name = name_of(slot);
    auto zero = std::find(text.begin(), text.end(), 0);
    if (zero == text.end())
      error(format_text("text chunk %u has no zero byte, but the %s reads its text up to one "
                        "(declare it without 'raw')",
                        number, name.c_str()),
            2);
    else if (zero == text.begin())
      error(format_text("text chunk %u is empty: the %s needs a character before its zero byte",
                        number, name.c_str()),
            2);
  }

  void check_coverage(uint32_t text_chunk, uint32_t font_chunk) {
    const FileChunk* text = container_.loaded_chunk(text_chunk);
    const FileChunk* font = container_.loaded_chunk(font_chunk);
    if (text == nullptr || font == nullptr || font_of(*font) == nullptr) return;
    const datafile::FontChunk& glyphs = *font_of(*font);
    const int count = std::min(glyphs.glyph_count, datafile::MAX_GLYPHS);
    std::string missing;
    std::set<uint8_t> seen;
    for (uint8_t c : text->payload) {
      if (c == 0) break;
      if (c == ' ' || !seen.insert(c).second) continue;
      if (std::find(glyphs.char_map.begin(), glyphs.char_map.begin() + count, c) !=
          glyphs.char_map.begin() + count)
        continue;
      if (seen.size() > 12) {
        missing += ", ...";
        break;
      }
      missing += (missing.empty() ? "" : ", ") +
                 (c >= 0x20 && c < 0x7F ? format_text("'%c'", c) : format_text("0x%02X", c));
    }
    if (!missing.empty())
      warning(format_text("%s has characters %s has no glyphs for (%s): they scroll as gaps",
                          chunk_called("text", text_chunk).c_str(),
                          chunk_called("font", font_chunk).c_str(), missing.c_str()),
              2);
  }

  void fx_state(bool valid, uint32_t slot, uint32_t state) {
    if (state != 1 && state != 2) {
      warning(format_text("state %u does nothing: 1 starts an effect and 2 stops it", state), 1);
      return;
    }
    if (!valid) return;
    SlotModel& model = slots_[slot];
    model.running = state == 1;
    if (state != 1) return;
    model.started_at = instruction_->position;
    if (slot >= engine::DISPATCHED_SLOTS)
      warning(format_text("fx %u is started but never shown: the engine renders and shows slots "
                          "0 to %d only",
                          slot, engine::DISPATCHED_SLOTS - 1),
              0);
  }

  // An effect that paints into an image changes the image itself: every other effect that is
  // given that image, before or after, sees the paint (a still showing it is blackened, a fade
  // of it fades what was painted).
  void check_shared_images() {
    for (const auto& [chunk, uses] : image_uses_) {
      std::set<uint32_t> reported;  // painting slots already warned about
      for (const ImageUse& painter : uses) {
        if (!painter.paints || reported.contains(painter.slot)) continue;
        auto other = std::find_if(uses.begin(), uses.end(), [&](const ImageUse& use) {
          return use.slot != painter.slot || use.class_id != painter.class_id;
        });
        if (other == uses.end()) continue;
        reported.insert(painter.slot);
        Instruction at;
        bool decoded = engine::decode_instruction(script_.data(), script_.size(), painter.byte,
                                                  at) == engine::Decode::OK;
        report_at(
            painter.byte, Severity::WARNING,
            format_text("the %s of fx %u paints into image chunk %u itself, which fx %u "
                        "(%s) also uses (%s): every effect given the image sees the paint",
                        class_name(painter.class_id).c_str(), painter.slot, chunk, other->slot,
                        class_name(other->class_id).c_str(), place(other->byte).c_str()),
            decoded ? &at : nullptr, 2);
      }
    }
  }

  static std::string class_name(uint32_t class_id) {
    return class_id < fx::FX_CLASS_COUNT ? std::string(fx::fx_classes[class_id]->name)
                                         : format_text("class %u", class_id);
  }

  // How the source declares chunk `number`, or null without a source.
  const ChunkSource* declared(uint32_t number) const {
    if (source_map_ == nullptr || number >= source_map_->chunks.size()) return nullptr;
    const ChunkSource& chunk = source_map_->chunks[number];
    return chunk.name.empty() ? nullptr : &chunk;
  }

  // "font 'small'" as the source names it, or "font chunk 10" without a source.
  std::string chunk_called(const char* kind, uint32_t number) const {
    const ChunkSource* chunk = declared(number);
    return chunk != nullptr ? format_text("%s '%s'", kind, chunk->name.c_str())
                            : format_text("%s chunk %u", kind, number);
  }

  // "show.tds:12" for a script byte, or "byte 40" without a source.
  std::string place(uint32_t byte) const {
    const SourceSpan* span = source_map_ != nullptr ? source_map_->find(byte) : nullptr;
    if (span == nullptr) return format_text("byte %u", byte);
    return span->file + ":" + std::to_string(span->line);
  }

  // ----- time -----

  void wait(const Instruction& instruction) {
    // The engine runs the script once before the first frame and then at the start of every
    // frame; a wait always ends the run, and the next run is the next frame's, except that the
    // start-up run is followed by frame 0's.
    const int64_t next = startup_ ? now_ : now_ + 1;
    int64_t target = instruction.operands[0];
    if (instruction.info->code == engine::WAITAT) {
      if (target < next)
        warning(format_text("at frame %lld (%s) goes back in time: the show is at frame %lld "
                            "here, so it resumes at frame %lld",
                            static_cast<long long>(target), format_time(target).c_str(),
                            static_cast<long long>(now_), static_cast<long long>(next)),
                0);
    } else {
      target += now_;
    }
    check_frame();
    now_ = std::max(target, next);
    startup_ = false;
    result_.summary.waits.push_back({instruction.position, now_});
  }

  // What the engine will render and show in the frames that follow this wait.
  void check_frame() {
    for (uint32_t index = 0; index < engine::DISPATCHED_SLOTS; ++index) {
      const SlotModel& slot = slots_[index];
      if (!slot.exists || !slot.running || slot.info() == nullptr) continue;
      const BufferModel* buffer = buffer_of(slot);
      if (buffer == nullptr) continue;
      check_shown(index, slot, *buffer);
      check_requirements(index, slot);
      check_painted(index, slot, *buffer);
    }
  }

  void check_shown(uint32_t index, const SlotModel& slot, const BufferModel& buffer) {
    if (buffer.x + buffer.width <= PICTURE_WIDTH && buffer.y + buffer.height <= PICTURE_HEIGHT)
      return;
    report_once(std::max(slot.started_at, buffer.made_at),
                format_text("buffer %u (%s at %u,%u), shown by fx %u, does not fit the %d x %d "
                            "picture",
                            slot.buffer, size_text(buffer.width, buffer.height).c_str(), buffer.x,
                            buffer.y, index, PICTURE_WIDTH, PICTURE_HEIGHT));
  }

  void check_requirements(uint32_t index, const SlotModel& slot) {
    const fx::FxClass& info = *slot.info();
    for (const fx::ParamInfo& param : info.params) {
      const fx::Condition& needed = param.limits.needed;
      if (slot.param(param.id) != nullptr || !slot.holds(needed)) continue;
      std::string condition;
      if (needed.test == fx::Condition::ONE_OF || needed.test == fx::Condition::NOT_ZERO) {
        const fx::ParamInfo* mode =
            fx::find_param(static_cast<uint8_t>(slot.class_id), needed.param);
        condition = format_text(" (needed while %s is %lld)", std::string(mode->name).c_str(),
                                static_cast<long long>(slot.number(needed.param, needed.initial)));
      }
      report_once(slot.started_at,
                  format_text("fx %u (%s) renders without its %s%s: set it before the wait that "
                              "follows",
                              index, std::string(info.name).c_str(),
                              std::string(param.name).c_str(), condition.c_str()));
    }
  }

  void check_painted(uint32_t index, const SlotModel& slot, const BufferModel& buffer) {
    const fx::PaintedArea& area = slot.info()->painted;
    if (!slot.holds(area.active)) return;
    int64_t left = slot.number(area.left, 0), right = slot.number(area.right, 0);
    int64_t top = slot.number(area.top, 0), bottom = slot.number(area.bottom, 0);
    if (left >= 0 && right <= buffer.width && top >= 0 && bottom <= buffer.height) return;
    uint32_t last_set = slot.started_at;
    for (const auto& [id, param] : slot.params) last_set = std::max(last_set, param.set_at);
    report_once(last_set,
                format_text("fx %u (%s) paints columns %lld to %lld and rows %lld to %lld, "
                            "outside its buffer %u (%s)",
                            index, name_of(slot).c_str(), static_cast<long long>(left),
                            static_cast<long long>(right) - 1, static_cast<long long>(top),
                            static_cast<long long>(bottom) - 1, slot.buffer,
                            size_text(buffer.width, buffer.height).c_str()));
  }
};

// The music: the module must open, and it should last as long as the show. Said at the music
// statement, or at the chunk in a data file.
void check_music(const Container& container, const SourceMap* source_map, CheckResult& result) {
  const FileChunk* chunk = nullptr;
  for (size_t i = 0; i < container.loaded && chunk == nullptr; ++i)
    if (container.chunks[i].kind == ChunkKind::MUSIC) chunk = &container.chunks[i];
  if (chunk == nullptr) return;
  const SourceSpan* statement =
      source_map != nullptr && source_map->music ? &*source_map->music : nullptr;
  auto report = [&](Severity severity, const std::string& message) {
    Diagnostic diagnostic;
    diagnostic.severity = severity;
    diagnostic.message = message;
    if (statement != nullptr) {
      diagnostic.file = statement->file;
      diagnostic.line = statement->line;
      diagnostic.column = statement->column;
      diagnostic.context = statement->text;
    } else {
      diagnostic.file = container.name;
      diagnostic.message = chunk->where() + ": " + message;
    }
    result.diagnostics.add(std::move(diagnostic));
  };
  sound::OpenedMusic opened = sound::open_music(chunk->payload);
  if (!opened.music) {
    const std::string what =
        statement != nullptr ? "'" + source_map->music_file + "'" : "the music";
    report(Severity::ERROR, what + " cannot be played: " + opened.error);
    return;
  }
  const ScriptSummary& summary = result.summary;
  const int64_t lasts = opened.music->duration_frames();
  if (summary.ends && lasts < summary.end_frame)
    report(Severity::WARNING,
           format_text("the music ends at frame %lld (%s), %s (%lld frames) before the show does",
                       static_cast<long long>(lasts), format_time(lasts).c_str(),
                       format_seconds(summary.end_frame - lasts).c_str(),
                       static_cast<long long>(summary.end_frame - lasts)));
}

}  // namespace

std::string instruction_text(const Instruction& instruction) {
  std::string text = instruction.info->name;
  for (int i = 0; i < instruction.info->operand_count(); ++i)
    text += (i == 0 ? " " : ", ") + std::to_string(instruction.operands[i]);
  return text;
}

CheckResult check_show(const Container& container, const SourceMap* source_map) {
  CheckResult result;
  Checker(container, source_map, result).run();
  // Findings made at a wait concern earlier instructions: script order puts them in place.
  std::stable_sort(result.diagnostics.items.begin(), result.diagnostics.items.end(),
                   [](const Diagnostic& a, const Diagnostic& b) { return a.byte < b.byte; });
  check_music(container, source_map, result);  // after the script, which it is measured against
  return result;
}

}  // namespace tools
