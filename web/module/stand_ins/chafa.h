// The browser build's stand-in for libchafa's header: the colour view works out its 24-bit
// cells at 80 x 25 by itself, and only that part of it runs in the browser. Its chafa objects
// are made empty; a conversion that would need chafa (another grid, palette colours, pixels)
// ends the show with a message instead of drawing something else.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/fatal.h"

using gint = int;
using guint8 = uint8_t;
using gboolean = int;
inline constexpr gboolean FALSE = 0, TRUE = 1;
struct GString {
  char* str;
  size_t len;
};
inline void g_string_free(GString*, gboolean) {}

struct ChafaCanvas;
struct ChafaCanvasConfig;
struct ChafaSymbolMap;
struct ChafaTermInfo;
struct ChafaTermDb;
enum ChafaCanvasMode {
  CHAFA_CANVAS_MODE_TRUECOLOR,
  CHAFA_CANVAS_MODE_INDEXED_240,
  CHAFA_CANVAS_MODE_INDEXED_16
};
enum ChafaPixelMode { CHAFA_PIXEL_MODE_SYMBOLS, CHAFA_PIXEL_MODE_SIXELS, CHAFA_PIXEL_MODE_KITTY };
enum ChafaPixelType { CHAFA_PIXEL_RGBA8_UNASSOCIATED };
enum ChafaSymbolTags {
  CHAFA_SYMBOL_TAG_SPACE = 1,
  CHAFA_SYMBOL_TAG_SOLID = 2,
  CHAFA_SYMBOL_TAG_HALF = 4,
  CHAFA_SYMBOL_TAG_QUAD = 8
};
enum ChafaTermSeq {
  CHAFA_TERM_SEQ_SET_COLOR_FGBG_DIRECT,
  CHAFA_TERM_SEQ_SET_COLOR_FGBG_256,
  CHAFA_TERM_SEQ_BEGIN_KITTY_IMMEDIATE_IMAGE_V1,
  CHAFA_TERM_SEQ_BEGIN_SIXELS
};

[[noreturn]] inline void stand_ins() {
  engine::fail("colour view: only 24-bit cells on an 80 x 25 grid are drawn in the browser");
}

// Making and dropping the view's chafa objects: nothing to make.
inline ChafaSymbolMap* chafa_symbol_map_new() {
  return nullptr;
}
inline void chafa_symbol_map_add_by_tags(ChafaSymbolMap*, ChafaSymbolTags) {}
inline void chafa_symbol_map_unref(ChafaSymbolMap*) {}
inline ChafaTermDb* chafa_term_db_get_default() {
  return nullptr;
}
inline ChafaTermInfo* chafa_term_db_get_fallback_info(ChafaTermDb*) {
  return nullptr;
}
inline ChafaTermInfo* chafa_term_db_detect(ChafaTermDb*, char**) {
  return nullptr;
}
inline gboolean chafa_term_info_have_seq(ChafaTermInfo*, ChafaTermSeq) {
  return FALSE;
}
inline void chafa_term_info_unref(ChafaTermInfo*) {}
inline void chafa_canvas_unref(ChafaCanvas*) {}
inline void chafa_set_n_threads(gint) {}

// Converting cells or pixels: chafa's own work, which the browser build does not have.
inline ChafaCanvasConfig* chafa_canvas_config_new() {
  stand_ins();
}
inline void chafa_canvas_config_set_geometry(ChafaCanvasConfig*, gint, gint) {
  stand_ins();
}
inline void chafa_canvas_config_set_canvas_mode(ChafaCanvasConfig*, ChafaCanvasMode) {
  stand_ins();
}
inline void chafa_canvas_config_set_pixel_mode(ChafaCanvasConfig*, ChafaPixelMode) {
  stand_ins();
}
inline void chafa_canvas_config_set_cell_geometry(ChafaCanvasConfig*, gint, gint) {
  stand_ins();
}
inline void chafa_canvas_config_set_symbol_map(ChafaCanvasConfig*, ChafaSymbolMap*) {
  stand_ins();
}
inline void chafa_canvas_config_set_preprocessing_enabled(ChafaCanvasConfig*, gboolean) {
  stand_ins();
}
inline void chafa_canvas_config_set_work_factor(ChafaCanvasConfig*, float) {
  stand_ins();
}
inline void chafa_canvas_config_unref(ChafaCanvasConfig*) {
  stand_ins();
}
inline ChafaCanvas* chafa_canvas_new(ChafaCanvasConfig*) {
  stand_ins();
}
inline void chafa_canvas_draw_all_pixels(ChafaCanvas*, ChafaPixelType, const guint8*, gint, gint,
                                         gint) {
  stand_ins();
}
inline void chafa_canvas_get_raw_colors_at(ChafaCanvas*, gint, gint, gint*, gint*) {
  stand_ins();
}
inline uint32_t chafa_canvas_get_char_at(ChafaCanvas*, gint, gint) {
  stand_ins();
}
inline GString* chafa_canvas_print(ChafaCanvas*, ChafaTermInfo*) {
  stand_ins();
}
