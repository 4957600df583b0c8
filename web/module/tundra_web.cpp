// The engine's functions for JavaScript: one show at a time, stepped frame by frame into the
// ASCII view (AA-lib on an 80 x 25 memory screen, as tundra-render --ascii renders it), the
// colour view's 24-bit cells (as --ansi draws them) and its music chunk's samples. web/README.md
// says how JavaScript calls them; web/tundra.mjs does it.
#include <aalib.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "base/fatal.h"
#include "base/printable.h"
#include "display/cell_grid.h"
#include "display/colour_view.h"
#include "display/flash.h"
#include "display/picture.h"
#include "display/render_params.h"
#include "engine/show.h"
#include "sound/music.h"
#include "sound/show_music.h"
#include "web_console.h"

#define EXPORT(name) extern "C" __attribute__((export_name(#name)))

// AA-lib's dither noise, made a global by the build (module/CMakeLists.txt): it starts at 0
// in every process, and so it does again with every show played from its start here.
extern "C" int aa_noise_state;

namespace {

using engine::PICTURE_HEIGHT;
using engine::PICTURE_WIDTH;

constexpr int COLUMNS = 80, ROWS = 25;  // the screen tundra-render renders on

// Everything a show in the page owns. AA-lib's context is made once: its tables depend only on
// the screen and the font.
struct Page {
  std::unique_ptr<engine::Show> show;
  std::unique_ptr<engine::DisplayDriver> display;
  display::Picture picture;
  std::unique_ptr<display::ColourView> colour;
  std::string ascii;            // ROWS lines of COLUMNS characters, each with '\n'
  std::vector<uint32_t> cells;  // symbol, foreground, background (0xRRGGBB) a cell
  std::string ansi;             // the cells as --ansi writes a frame
  int32_t shown = -1;           // the frame the views show, -1 before the first
  std::string messages;         // what the loader said
  std::unique_ptr<sound::Music> music;
  sound::PcmFrame pcm{};
};

Page page;
aa_context* screen = nullptr;

// The loader's console while tundra_load runs: both its streams, kept in memory.
FILE* console_stream = nullptr;
char* said = nullptr;
size_t said_size = 0;

struct PageState : engine::DisplayState {};

void blit(engine::DisplayDriver&, const engine::Buffer& buffer) {
  page.picture.blit(buffer);
}

// The views are drawn in step() after the frame, not here: present is also called while seeking.
void nothing(engine::DisplayDriver&) {}
void no_present(engine::DisplayDriver&, uint32_t) {}
int no_quit(engine::DisplayDriver&, uint32_t) {
  return 0;
}

// Opens the show's music chunk for tundra_audio as the player does; music libxmp refuses leaves
// the player's line in the messages and the show silent.
void open_music(const char* name) {
  page.music.reset();
  const datafile::MusicChunk* chunk = page.show->music();
  if (chunk == nullptr) return;
  const auto& chunks = page.show->engine().chunks;
  size_t index = 0;
  while (chunks[index].get() != chunk) ++index;
  sound::ShowMusic opened = sound::open_show_music(std::span<const uint8_t>(chunk->bytes),
                                                   engine::printable_name(name), int(index));
  page.music = std::move(opened.music);
  if (!page.music) page.messages += "engine  : " + opened.why_silent + "\n";
}

// Renders frame `frame` of the picture in both views, as tundra-render does for every frame.
// AA-lib's screen image is the 160 x 50 picture itself, one grey byte a pixel (the low byte).
void draw_views(uint32_t frame) {
  unsigned char* image = aa_image(screen);
  for (size_t i = 0; i < page.picture.pixels.size(); ++i)
    image[i] = static_cast<unsigned char>(page.picture.pixels[i]);
  aa_renderparams params = display::render_params_at(frame);
  aa_render(screen, &params, 0, 0, COLUMNS, ROWS);
  aa_flush(screen);
  const auto* text = reinterpret_cast<const char*>(aa_text(screen));
  page.ascii.clear();
  for (int row = 0; row < ROWS; ++row) page.ascii.append(text + row * COLUMNS, COLUMNS) += '\n';

  const display::CellGrid& grid =
      page.colour->draw_cells(page.picture, display::flash_at(frame), COLUMNS, ROWS);
  for (size_t i = 0; i < grid.cells.size(); ++i) {
    page.cells[3 * i] = uint32_t(grid.cells[i].symbol);
    page.cells[3 * i + 1] = grid.cells[i].foreground.value;
    page.cells[3 * i + 2] = grid.cells[i].background.value;
  }
  page.ansi.clear();
  display::append_lines(page.ansi, grid);
  page.shown = int32_t(frame);
}

// Both views' noise streams as a fresh process has them, and a black picture.
void restart_views() {
  aa_noise_state = 0;
  page.picture = {};
  page.colour = std::make_unique<display::ColourView>(
      display::ColourModes{display::ColourMode::TRUECOLOR, display::PixelMode::SYMBOLS});
  page.shown = -1;
}

bool noisy(uint32_t frame) {
  return display::flash_at(frame).noise > 0;
}

}  // namespace

std::string web::console_so_far() {
  if (console_stream == nullptr) return {};
  std::fflush(console_stream);  // open_memstream's buffer and size are brought up to date
  return std::string(said, said_size);
}

EXPORT(tundra_alloc) void* tundra_alloc(size_t size) {
  return std::malloc(size);
}

EXPORT(tundra_free) void tundra_free(void* block) {
  std::free(block);
}

// Loads the data file's `size` bytes at `bytes` (named `name` in messages) and starts it.
// Returns 1, or 0 when the loader refused it; a fatal error reaches JavaScript instead.
EXPORT(tundra_load) int tundra_load(const uint8_t* bytes, size_t size, const char* name) {
  page.show.reset();
  page.music.reset();
  page.messages.clear();
  if (screen == nullptr) {
    // The renderer's screen: 80 x 25, AA-lib's default font, normal characters only.
    aa_hardware_params params = aa_defparams;
    params.width = COLUMNS;
    params.height = ROWS;
    params.supported = AA_NORMAL_MASK;
    screen = aa_init(&mem_d, &params, nullptr);
    if (screen == nullptr || aa_imgwidth(screen) != PICTURE_WIDTH ||
        aa_imgheight(screen) != PICTURE_HEIGHT)
      engine::fail("AA-lib: cannot make the 80 x 25 screen");
    // AA-lib works out its character table at the first render, which would make the show's
    // first frame the slowest by far: a calm render does it here, and draws no noise.
    aa_renderparams calm = display::render_params_at(0);
    aa_render(screen, &calm, 0, 0, COLUMNS, ROWS);
  }
  console_stream = open_memstream(&said, &said_size);
  engine::Console console{console_stream, console_stream};
  datafile::ChunkTable chunks =
      datafile::load_chunks(std::span<const uint8_t>(bytes, size), name, console);
  std::fclose(console_stream);
  console_stream = nullptr;
  page.messages.assign(said, said_size);
  std::free(said);

  page.show = std::make_unique<engine::Show>(std::move(chunks));
  page.display = std::make_unique<engine::DisplayDriver>(
      engine::DisplayDriver{nothing, nothing, blit, no_present, nothing, no_quit, nullptr, nullptr,
                            std::make_unique<PageState>()});
  page.cells.assign(size_t{COLUMNS} * ROWS * 3, 0);
  restart_views();
  open_music(name);
  page.show->start();
  return 1;
}

// What the loader said about the last data file: its progress and warnings, NUL-terminated.
EXPORT(tundra_messages) const char* tundra_messages() {
  return page.messages.c_str();
}

// Plays the next frame and draws it in both views. Returns 1, or 0 once the show has ended.
EXPORT(tundra_step) int tundra_step() {
  if (!page.show) return 0;
  const uint32_t frame = page.show->frame();
  if (page.show->step(*page.display) != engine::Step::SHOWN) return 0;
  draw_views(frame);
  return 1;
}

// The frame the next step plays.
EXPORT(tundra_frame) uint32_t tundra_frame() {
  return page.show ? page.show->frame() : 0;
}

// The frame the views show, or -1 when none has been drawn since the show (re)started.
EXPORT(tundra_shown) int32_t tundra_shown() {
  return page.shown;
}

// Makes `frame` the next to step, from the start when it lies behind. The frames between are
// not drawn, except where the flash's noise is on: both views draw their noise from streams that
// every drawn frame advances, so they are drawn there as the renderer draws them. Returns 1, or
// 0 when the show ended first.
EXPORT(tundra_seek) int tundra_seek(uint32_t frame) {
  if (!page.show) return 0;
  if (frame < page.show->frame() || page.show->ended()) {
    page.show->reset();
    restart_views();
  }
  while (page.show->frame() < frame) {
    uint32_t next = page.show->frame();
    while (next < frame && !noisy(next)) ++next;
    if (page.show->run_to(next, *page.display) == engine::Step::ENDED) return 0;
    if (next < frame && tundra_step() == 0) return 0;
  }
  return 1;
}

// The ASCII view: 25 lines of 80 characters, each ending in '\n', NUL-terminated.
EXPORT(tundra_ascii) const char* tundra_ascii() {
  return page.ascii.c_str();
}

// The colour view: 80 x 25 cells row by row, three 32-bit words a cell: the symbol's code
// point, the foreground and the background as 0xRRGGBB.
EXPORT(tundra_cells) const uint32_t* tundra_cells() {
  return page.cells.data();
}

// The colour view as tundra-render --ansi writes a frame: UTF-8 lines with 24-bit colours.
EXPORT(tundra_ansi) const char* tundra_ansi() {
  return page.ansi.c_str();
}

// Chunk `index`'s picture as decoded: its width, height and RGB565 pixels; 0 and null when the
// chunk is not an image.
const datafile::ImageChunk* image_at(uint32_t index) {
  if (!page.show || index >= page.show->engine().chunks.size()) return nullptr;
  const auto& chunk = *page.show->engine().chunks[index];
  return chunk.kind == datafile::ChunkKind::IMAGE ? &static_cast<const datafile::ImageChunk&>(chunk)
                                                  : nullptr;
}
EXPORT(tundra_image_width) int32_t tundra_image_width(uint32_t index) {
  return image_at(index) ? image_at(index)->width : 0;
}
EXPORT(tundra_image_height) int32_t tundra_image_height(uint32_t index) {
  return image_at(index) ? image_at(index)->height : 0;
}
EXPORT(tundra_image_pixels) const uint16_t* tundra_image_pixels(uint32_t index) {
  return image_at(index) ? image_at(index)->pixels.get() : nullptr;
}

// 1 when the show's music chunk is open for tundra_audio, 0 when the show plays silent.
EXPORT(tundra_music_present) int tundra_music_present() {
  return page.music ? 1 : 0;
}

// Makes `frame` the next frame tundra_audio renders.
EXPORT(tundra_audio_seek) void tundra_audio_seek(int32_t frame) {
  if (page.music) page.music->seek(frame);
}

// The next frame's sound: 1,323 stereo samples at 44,100 Hz, 16-bit signed, left and right
// interleaved; silence after the module's end or without one.
EXPORT(tundra_audio) const int16_t* tundra_audio() {
  if (page.music)
    page.music->render(page.pcm);
  else
    page.pcm.fill(0);
  return page.pcm.data();
}
