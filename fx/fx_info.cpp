// The parameter table of the thirteen FX classes.
#include "fx/fx_info.h"

namespace fx {
namespace {

using enum ParamKind;

constexpr ParamInfo cycle_params[] = {
    {0x80, "colour", NUMBER, "RGB565 colour of the next render (low 16 bits)"},
};
constexpr ParamInfo bounce_params[] = {
    {0x80, "count", NUMBER, "number of particles"},
    {0x81, "source", IMAGE, "picture the particles show"},
    {0x82, "background", IMAGE, "picture drawn under the particles; starts the motion"},
    {0x83, "drop", NUMBER, "nonzero: particles fall through the floor (low 8 bits)"},
};
constexpr ParamInfo still_params[] = {
    {0x80, "image", IMAGE, "the buffer shows this image's pixels"},
};
constexpr ParamInfo tint_params[] = {
    {0x80, "count", NUMBER, "number of particles"},
    {0x81, "source", IMAGE, "hidden picture that tints and slows the particles"},
};
constexpr ParamInfo rotozoom_params[] = {
    {0x80, "texture", IMAGE, "256 x 256 texture"},
};
constexpr ParamInfo curtain_params[] = {
    {0x80, "source", IMAGE, "tall image of pages, as wide as the buffer"},
    {0x81, "hold", NUMBER, "renders each finished page and each pause lasts"},
    {0x82, "phase", NUMBER, "0 wait, 1 reveal, 2 hold, 3 wipe, 4 finished"},
    {0x83, "page_offset", NUMBER, "image row of the current page"},
};
constexpr ParamInfo noise_params[] = {
    {0x80, "mode", NUMBER, "0 static, 1 static and reveal, 2 static or-ed with the mask"},
    {0x81, "source", IMAGE, "image revealed into the mask"},
};
constexpr ParamInfo fade_params[] = {
    {0x80, "mode", NUMBER, "0 fade in, 1 fade out, other: freeze; restarts both fades"},
    {0x81, "source", IMAGE, "image to fade"},
};
constexpr ParamInfo scroller_params[] = {
    {0x81, "text", TEXT, "zero-terminated text to scroll"},
    {0x82, "font", FONT, "font to draw it with"},
};
constexpr ParamInfo blobs_params[] = {
    {0x80, "count", NUMBER, "number of blobs"},
};
constexpr ParamInfo sparks_params[] = {
    {0x80, "count", NUMBER, "number of sparks, one every tenth row"},
};
constexpr ParamInfo melt_params[] = {
    {0x80, "source", IMAGE, "image whose brightness becomes the mass"},
    {0x81, "gravity_map", IMAGE, "per-pixel gravity in the blue field; runs one flow step"},
    {0x82, "flowing", NUMBER, "nonzero: the mass flows every render"},
};
constexpr ParamInfo wipe_params[] = {
    {0x80, "image", IMAGE, "the buffer paints into this image's pixels"},
    {0x81, "direction", NUMBER, "1 left to right, 2 top to bottom; restarts the wipe"},
    {0x82, "left", NUMBER, "first column of the rectangle"},
    {0x83, "right", NUMBER, "column just past the rectangle"},
    {0x84, "top", NUMBER, "first row of the rectangle"},
    {0x85, "bottom", NUMBER, "row just past the rectangle"},
    {0x86, "increment", NUMBER, "columns or rows added per render"},
    {0x87, "colour", NUMBER, "RGB565 fill colour (low 16 bits)"},
};

}  // namespace

const std::array<FxClassInfo, FX_CLASS_COUNT> fx_class_info = {{
    {"cycle", "colour cycle fill", cycle_params},
    {"bounce", "bouncing particles", bounce_params},
    {"still", "still image", still_params},
    {"tint", "tinted particles", tint_params},
    {"rotozoom", "rotozoomer", rotozoom_params},
    {"curtain", "page curtain", curtain_params},
    {"noise", "static noise", noise_params},
    {"fade", "image fade", fade_params},
    {"scroller", "text scroller", scroller_params},
    {"blobs", "bouncing blobs", blobs_params},
    {"sparks", "spark column", sparks_params},
    {"melt", "melting relief", melt_params},
    {"wipe", "colour wipe", wipe_params},
}};

const ParamInfo* find_param(uint8_t class_id, uint8_t id) {
  if (class_id >= FX_CLASS_COUNT) return nullptr;
  for (const ParamInfo& param : fx_class_info[class_id].params)
    if (param.id == id) return &param;
  return nullptr;
}

const ParamInfo* find_param(uint8_t class_id, std::string_view name) {
  if (class_id >= FX_CLASS_COUNT) return nullptr;
  for (const ParamInfo& param : fx_class_info[class_id].params)
    if (param.name == name) return &param;
  return nullptr;
}

int find_class(std::string_view name) {
  for (int i = 0; i < FX_CLASS_COUNT; ++i)
    if (fx_class_info[i].name == name) return i;
  return -1;
}

std::string_view describe(ParamKind kind) {
  switch (kind) {
    case NUMBER:
      return "number";
    case IMAGE:
      return "image chunk";
    case TEXT:
      return "text chunk";
    case FONT:
      return "font chunk";
  }
  return "?";
}

bool accepts(ParamKind param, datafile::ChunkKind kind) {
  switch (param) {
    case IMAGE:
      return kind == datafile::ChunkKind::IMAGE;
    case TEXT:
      return kind == datafile::ChunkKind::TEXT;
    case FONT:
      return kind == datafile::ChunkKind::FONT;
    case NUMBER:
      return false;
  }
  return false;
}

}  // namespace fx
