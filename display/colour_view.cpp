// The colour view over libchafa.
#include "display/colour_view.h"

#include <chafa.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

namespace display {
namespace {

using engine::PICTURE_HEIGHT;
using engine::PICTURE_WIDTH;

// chafa works on cells of 8 x 8 pixels whatever the font: a cell's symbol is chosen by the
// 64 pixels the picture is scaled to under it.
constexpr int CHAFA_CELL = 8;
constexpr int BLOCK_PIXELS = CHAFA_CELL * CHAFA_CELL;

// Sixel images are drawn in bands of six rows, and chafa cuts an image to whole bands.
constexpr int SIXEL_BAND = 6;

// Quadrants and halves fit the picture's 2 x 2 pixels a cell exactly, and every terminal font
// has them; sextants and wedges are missing from many. The eighths of the other block elements
// can never do better on 2 x 2 pixels (the best split of a cell never parts equal pixels), and
// each symbol more costs chafa time on every cell it converts.
constexpr auto SYMBOL_TAGS = ChafaSymbolTags(CHAFA_SYMBOL_TAG_QUAD | CHAFA_SYMBOL_TAG_HALF |
                                             CHAFA_SYMBOL_TAG_SPACE | CHAFA_SYMBOL_TAG_SOLID);

// Remembered cells are forgotten all at once past this many (a few megabytes).
constexpr size_t MEMORY_LIMIT = 1 << 15;

// Strips of cells chafa converts at once. A strip is converted whole, so the unused cells of a
// strip cost as much as used ones: the smallest that holds what is left is taken.
constexpr int STRIP_SIZES[] = {16, 128, 1024};

// The 256 colours are drawn from entries 16 to 255, the colour cube and the grey ramp, which
// are the same on every terminal: entries 0 to 15 follow the user's colour theme.
ChafaCanvasMode canvas_mode(ColourMode colours) {
  switch (colours) {
    case ColourMode::INDEXED_256:
      return CHAFA_CANVAS_MODE_INDEXED_240;
    case ColourMode::INDEXED_16:
      return CHAFA_CANVAS_MODE_INDEXED_16;
    default:
      return CHAFA_CANVAS_MODE_TRUECOLOR;
  }
}

ChafaPixelMode pixel_mode(PixelMode pixels) {
  switch (pixels) {
    case PixelMode::SIXELS:
      return CHAFA_PIXEL_MODE_SIXELS;
    case PixelMode::KITTY:
      return CHAFA_PIXEL_MODE_KITTY;
    default:
      return CHAFA_PIXEL_MODE_SYMBOLS;
  }
}

// RGB565 stretched to 8 bits a channel by repeating each channel's top bits below it, so that
// 0 stays 0 and full stays 255; as chafa reads it in memory: R, G, B, A.
uint32_t rgba_of(uint16_t pixel) {
  const uint32_t red = pixel >> 11, green = pixel >> 5 & 0x3F, blue = pixel & 0x1F;
  return (red << 3 | red >> 2) | (green << 2 | green >> 4) << 8 | (blue << 3 | blue >> 2) << 16 |
         0xFFu << 24;
}

uint8_t raised(uint32_t channel, int amount) {
  return static_cast<uint8_t>(std::clamp(int(channel) + amount, 0, 255));
}

// The flash's brightness is what AA-lib adds to every grey; at rest it adds CALM.bright, which
// the colour view leaves out, so that a calm picture shows its colours as they are.
int brightening(Flash flash) {
  return flash.bright - CALM.bright;
}

Colour colour_of(int raw, ColourMode colours) {
  if (raw < 0) return {};
  switch (colours) {
    case ColourMode::INDEXED_256:
      return raw < 256 ? Colour{Colour::Kind::INDEXED_256, uint32_t(raw)} : Colour{};
    case ColourMode::INDEXED_16:
      return raw < 16 ? Colour{Colour::Kind::INDEXED_16, uint32_t(raw)} : Colour{};
    default:
      return Colour::direct(uint32_t(raw));
  }
}

struct Block {
  std::array<uint32_t, BLOCK_PIXELS> pixels;
  friend bool operator==(const Block&, const Block&) = default;
};

struct BlockHash {
  size_t operator()(const Block& block) const {
    uint64_t hash = 0x9E3779B97F4A7C15u;
    for (size_t i = 0; i < block.pixels.size(); i += 2) {
      uint64_t word = uint64_t{block.pixels[i]} << 32 | block.pixels[i + 1];
      hash = (hash ^ word) * 0xFF51AFD7ED558CCDu;
      hash ^= hash >> 29;
    }
    return size_t(hash);
  }
};

// The picture position each of `work` chafa pixels falls on, nearest neighbour: the pixel
// under the centre of each work pixel.
std::vector<int> nearest(int work, int picture) {
  std::vector<int> map(size_t(std::max(work, 0)));
  for (int i = 0; i < work; ++i)
    map[size_t(i)] = static_cast<int>((int64_t{2 * i + 1} * picture) / (int64_t{2} * work));
  return map;
}

// Whether every cell's half, 4 of the 8 work pixels across (or down), falls on one picture
// pixel: then each cell shows at most 2 x 2 picture pixels, one in each quadrant.
bool halves_whole(const std::vector<int>& map) {
  for (size_t cell = 0; cell + CHAFA_CELL <= map.size(); cell += CHAFA_CELL)
    for (size_t half : {cell, cell + CHAFA_CELL / 2})
      if (!std::all_of(&map[half], &map[half] + CHAFA_CELL / 2,
                       [&](int pixel) { return pixel == map[half]; }))
        return false;
  return true;
}

// The quadrant symbols by the quadrants they cover in the foreground: top left 1, top right 2,
// bottom left 4, bottom right 8.
constexpr char32_t QUADRANT_SYMBOLS[16] = {
    U' ',      U'\u2598', U'\u259D', U'\u2580', U'\u2596', U'\u258C', U'\u259E', U'\u259B',
    U'\u2597', U'\u259A', U'\u2590', U'\u259C', U'\u2584', U'\u2599', U'\u259F', U'\u2588'};

// The cell that shows four quadrant colours (R, G, B, A bytes) best: of every way to part them
// into a foreground and a background, each drawn in the mean of its colours, the one with the
// least squared error, which is the one whose parts' sums weigh most (sum squared over count).
// This is what chafa finds for such cells, without its cost per cell.
Cell quadrant_cell(const uint32_t (&colours)[4]) {
  int channel[4][3];
  for (int q = 0; q < 4; ++q)
    for (int c = 0; c < 3; ++c) channel[q][c] = int(colours[q] >> (8 * c) & 0xFF);
  if (colours[0] == colours[1] && colours[0] == colours[2] && colours[0] == colours[3])
    return {U' ',
            {},
            Colour::direct(uint32_t(channel[0][0]) << 16 | channel[0][1] << 8 | channel[0][2])};
  // Masks 1 to 7 leave the bottom-right quadrant in the background: each parting once.
  int best = 1;
  double best_weight = -1;
  for (int mask = 1; mask < 8; ++mask) {
    int sum[2][3] = {}, count[2] = {};
    for (int q = 0; q < 4; ++q) {
      const int side = mask >> q & 1;
      ++count[side];
      for (int c = 0; c < 3; ++c) sum[side][c] += channel[q][c];
    }
    double weight = 0;
    for (int side = 0; side < 2; ++side)
      for (int c = 0; c < 3; ++c) weight += double(sum[side][c]) * sum[side][c] / count[side];
    if (weight > best_weight + 1e-9) {
      best_weight = weight;
      best = mask;
    }
  }
  uint32_t mean[2] = {};
  for (int side = 0; side < 2; ++side) {
    int sum[3] = {}, count = 0;
    for (int q = 0; q < 4; ++q)
      if ((best >> q & 1) == side) {
        ++count;
        for (int c = 0; c < 3; ++c) sum[c] += channel[q][c];
      }
    for (int c = 0; c < 3; ++c)
      mean[side] = mean[side] << 8 | uint32_t(sum[c] / count);  // rounded down, as chafa does
  }
  return {QUADRANT_SYMBOLS[best], Colour::direct(mean[1]), Colour::direct(mean[0])};
}

}  // namespace

ColourModes detect_modes(const DisplayOptions& asked, char** environment) {
  ChafaTermInfo* info = chafa_term_db_detect(chafa_term_db_get_default(), environment);
  ColourModes modes;
  auto has = [&](ChafaTermSeq seq) {
    return info != nullptr && chafa_term_info_have_seq(info, seq);
  };
  if (asked.colours != ColourMode::DETECT)
    modes.colours = asked.colours;
  else if (has(CHAFA_TERM_SEQ_SET_COLOR_FGBG_DIRECT))
    modes.colours = ColourMode::TRUECOLOR;
  else if (has(CHAFA_TERM_SEQ_SET_COLOR_FGBG_256))
    modes.colours = ColourMode::INDEXED_256;
  else
    modes.colours = ColourMode::INDEXED_16;
  if (asked.pixels != PixelMode::DETECT)
    modes.pixels = asked.pixels;
  else if (has(CHAFA_TERM_SEQ_BEGIN_KITTY_IMMEDIATE_IMAGE_V1))
    modes.pixels = PixelMode::KITTY;
  else if (has(CHAFA_TERM_SEQ_BEGIN_SIXELS))
    modes.pixels = PixelMode::SIXELS;
  else
    modes.pixels = PixelMode::SYMBOLS;
  if (info != nullptr) chafa_term_info_unref(info);
  return modes;
}

CellFit fit_cells(int terminal_columns, int terminal_rows) {
  const int64_t columns = std::clamp(terminal_columns, 1, MAX_COLUMNS);
  const int64_t rows = std::clamp(terminal_rows, 1, MAX_ROWS);
  CellFit fit;
  // 16 columns to 5 rows, rounded to the nearest cell.
  if (columns * 5 <= rows * 16) {
    fit.columns = int(columns);
    fit.rows = int(std::max<int64_t>(1, (columns * 5 + 8) / 16));
  } else {
    fit.rows = int(rows);
    fit.columns = int(std::max<int64_t>(1, (rows * 16 + 2) / 5));
  }
  fit.at = {std::max(0, (terminal_columns - fit.columns) / 2),
            std::max(0, (terminal_rows - fit.rows) / 2)};
  return fit;
}

PixelFit fit_pixels(const TerminalSize& terminal, PixelMode mode) {
  // Cells larger than this are no font anyone reads a terminal in: a terminal reporting them
  // gets no image wider than it is ever shown.
  constexpr int LARGEST_CELL = 64;
  const int columns = std::max(terminal.columns, 1), rows = std::max(terminal.rows, 1);
  PixelFit fit;
  fit.cell_width = terminal.pixel_width > 0 ? terminal.pixel_width / columns : FALLBACK_CELL_WIDTH;
  fit.cell_height = terminal.pixel_height > 0 ? terminal.pixel_height / rows : FALLBACK_CELL_HEIGHT;
  fit.cell_width = std::clamp(fit.cell_width, 1, LARGEST_CELL);
  fit.cell_height = std::clamp(fit.cell_height, 1, LARGEST_CELL);
  const int usable_rows = std::max(rows - 1, 1);
  const int64_t by_width = int64_t{columns} * fit.cell_width / PICTURE_WIDTH;
  const int64_t by_height = int64_t{usable_rows} * fit.cell_height / PICTURE_HEIGHT;
  fit.scale = int(std::clamp<int64_t>(std::min(by_width, by_height), 1, MAX_PIXEL_SCALE));
  const int width = PICTURE_WIDTH * fit.scale, height = PICTURE_HEIGHT * fit.scale;
  fit.columns = (width + fit.cell_width - 1) / fit.cell_width;
  fit.rows = (height + fit.cell_height - 1) / fit.cell_height;
  fit.image_width = fit.columns * fit.cell_width;
  fit.image_height = fit.rows * fit.cell_height;
  if (mode == PixelMode::SIXELS) {
    while (fit.rows * fit.cell_height / SIXEL_BAND * SIXEL_BAND < height) ++fit.rows;
    fit.image_height = fit.rows * fit.cell_height / SIXEL_BAND * SIXEL_BAND;
  }
  fit.at = {std::max(0, (columns - fit.columns) / 2), std::max(0, (usable_rows - fit.rows) / 2)};
  return fit;
}

// The chafa objects: the strips that convert cells, and the canvas of the pixel modes.
struct ColourView::Chafa {
  explicit Chafa(ColourModes modes) : modes(modes) {
    symbols = chafa_symbol_map_new();
    chafa_symbol_map_add_by_tags(symbols, SYMBOL_TAGS);
    term_info = chafa_term_db_get_fallback_info(chafa_term_db_get_default());
  }
  ~Chafa() {
    for (ChafaCanvas* strip : strips)
      if (strip != nullptr) chafa_canvas_unref(strip);
    if (pixel_canvas != nullptr) chafa_canvas_unref(pixel_canvas);
    chafa_symbol_map_unref(symbols);
    chafa_term_info_unref(term_info);
  }

  ChafaCanvasConfig* config(int columns, int rows) const {
    ChafaCanvasConfig* config = chafa_canvas_config_new();
    chafa_canvas_config_set_geometry(config, columns, rows);
    chafa_canvas_config_set_canvas_mode(config, canvas_mode(modes.colours));
    chafa_canvas_config_set_symbol_map(config, symbols);
    // Preprocessing stretches each picture's contrast by its own histogram: cells would then
    // depend on the whole picture, and colours would change from frame to frame.
    chafa_canvas_config_set_preprocessing_enabled(config, FALSE);
    chafa_canvas_config_set_work_factor(config, 0.0f);
    return config;
  }

  ChafaCanvas* strip(size_t index) {
    if (strips[index] == nullptr) {
      ChafaCanvasConfig* strip_config = config(STRIP_SIZES[index], 1);
      strips[index] = chafa_canvas_new(strip_config);
      chafa_canvas_config_unref(strip_config);
    }
    return strips[index];
  }

  ChafaCanvas* pixels_for(const PixelFit& fit) {
    if (pixel_canvas != nullptr && fit.columns == pixel_fit.columns && fit.rows == pixel_fit.rows &&
        fit.cell_width == pixel_fit.cell_width && fit.cell_height == pixel_fit.cell_height)
      return pixel_canvas;
    if (pixel_canvas != nullptr) chafa_canvas_unref(pixel_canvas);
    ChafaCanvasConfig* pixel_config = config(fit.columns, fit.rows);
    chafa_canvas_config_set_canvas_mode(pixel_config, CHAFA_CANVAS_MODE_TRUECOLOR);
    chafa_canvas_config_set_pixel_mode(pixel_config, pixel_mode(modes.pixels));
    chafa_canvas_config_set_cell_geometry(pixel_config, fit.cell_width, fit.cell_height);
    pixel_canvas = chafa_canvas_new(pixel_config);
    chafa_canvas_config_unref(pixel_config);
    pixel_fit = fit;
    return pixel_canvas;
  }

  ColourModes modes;
  ChafaSymbolMap* symbols = nullptr;
  ChafaTermInfo* term_info = nullptr;  // every sequence chafa knows: the pixel modes' among them
  std::array<ChafaCanvas*, std::size(STRIP_SIZES)> strips{};
  ChafaCanvas* pixel_canvas = nullptr;
  PixelFit pixel_fit;
};

// Cells chafa has converted, by the 8 x 8 pixels it converted; and the grid's way to them.
struct ColourView::Memory {
  std::unordered_map<Block, Cell, BlockHash> cells;
  int columns = 0, rows = 0;
  bool quadrants = false;            // each cell's quadrants each fall on one picture pixel
  std::vector<int> x_map, y_map;     // chafa pixel -> picture pixel
  std::vector<const Cell*> sources;  // each grid cell's remembered cell
  std::vector<std::pair<const Block*, Cell*>> misses;  // this frame's cells for chafa
  std::vector<uint32_t> strip_pixels;
};

ColourView::ColourView(ColourModes modes)
    : modes_(modes),
      chafa_(std::make_unique<Chafa>(modes)),
      memory_(std::make_unique<Memory>()),
      rgba_(size_t(PICTURE_WIDTH) * PICTURE_HEIGHT),
      noise_state_(0x7E11D3A5C0FFEEu) {
  // One thread: the strips are small, and the player's frame clock is a signal that threads
  // would have to be kept from.
  chafa_set_n_threads(1);
}

ColourView::~ColourView() = default;

namespace {

// splitmix64: the view's own random numbers for the flash's noise.
uint64_t next_random(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

// A noise value as AA-lib draws its dither noise: from -amplitude / 2 up to amplitude / 2 - 1.
int noise(uint64_t& state, int amplitude) {
  if (amplitude <= 0) return 0;
  return int(next_random(state) % uint64_t(amplitude)) - amplitude / 2;
}

}  // namespace

void ColourView::flash_pixels(const Picture& picture, Flash flash) {
  const int bright = brightening(flash);
  for (size_t i = 0; i < rgba_.size(); ++i) {
    uint32_t rgba = rgba_of(picture.pixels[i]);
    if (bright != 0 || flash.noise > 0) {
      const int amount = bright + noise(noise_state_, flash.noise);
      rgba = raised(rgba & 0xFF, amount) | raised(rgba >> 8 & 0xFF, amount) << 8 |
             raised(rgba >> 16 & 0xFF, amount) << 16 | 0xFFu << 24;
    }
    rgba_[i] = rgba;
  }
}

void ColourView::flash_cells(Flash flash) {
  const int bright = brightening(flash);
  if (bright == 0 && flash.noise <= 0) return;
  auto raise = [&](Colour& colour) {
    const int amount = bright + noise(noise_state_, flash.noise);
    if (colour.kind != Colour::Kind::DIRECT) return;
    const uint32_t v = colour.value;
    colour =
        Colour::direct(uint32_t(raised(v >> 16 & 0xFF, amount)) << 16 |
                       uint32_t(raised(v >> 8 & 0xFF, amount)) << 8 | raised(v & 0xFF, amount));
  };
  for (Cell& cell : grid_.cells) {
    raise(cell.foreground);
    raise(cell.background);
  }
}

const CellGrid& ColourView::draw_cells(const Picture& picture, Flash flash, int columns, int rows) {
  Memory& memory = *memory_;
  columns = std::clamp(columns, 1, MAX_COLUMNS);
  rows = std::clamp(rows, 1, MAX_ROWS);
  if (columns != memory.columns || rows != memory.rows) {
    memory.columns = columns;
    memory.rows = rows;
    memory.x_map = nearest(columns * CHAFA_CELL, PICTURE_WIDTH);
    memory.y_map = nearest(rows * CHAFA_CELL, PICTURE_HEIGHT);
    memory.quadrants = halves_whole(memory.x_map) && halves_whole(memory.y_map);
    grid_ = CellGrid(columns, rows);
  }
  if (memory.cells.size() > MEMORY_LIMIT) memory.cells.clear();

  // In 24-bit colour the flash is laid on the cells' colours, so a flash costs no conversion;
  // palette colours cannot be brightened, so there the flash goes into the pixels.
  const bool flash_in_cells = modes_.colours == ColourMode::TRUECOLOR;
  flash_pixels(picture, flash_in_cells ? CALM : flash);

  // 24-bit cells whose quadrants each fall on one picture pixel (80 x 25 and 160 x 50 cells)
  // are worked out here: chafa's cost per cell, paid for every new look, made busy scenes slow.
  if (flash_in_cells && memory.quadrants) {
    for (int row = 0; row < rows; ++row) {
      const uint32_t* top =
          rgba_.data() + size_t(memory.y_map[size_t(row * CHAFA_CELL)]) * PICTURE_WIDTH;
      const uint32_t* bottom =
          rgba_.data() +
          size_t(memory.y_map[size_t(row * CHAFA_CELL + CHAFA_CELL / 2)]) * PICTURE_WIDTH;
      for (int column = 0; column < columns; ++column) {
        const int left = memory.x_map[size_t(column * CHAFA_CELL)];
        const int right = memory.x_map[size_t(column * CHAFA_CELL + CHAFA_CELL / 2)];
        const uint32_t quadrants[4] = {top[left], top[right], bottom[left], bottom[right]};
        grid_.at(column, row) = quadrant_cell(quadrants).shown();
      }
    }
    flash_cells(flash);
    return grid_;
  }

  memory.sources.assign(size_t(columns) * rows, nullptr);
  memory.misses.clear();
  Block block;
  for (int row = 0; row < rows; ++row)
    for (int column = 0; column < columns; ++column) {
      for (int y = 0; y < CHAFA_CELL; ++y) {
        const uint32_t* line =
            rgba_.data() + size_t(memory.y_map[size_t(row * CHAFA_CELL + y)]) * PICTURE_WIDTH;
        for (int x = 0; x < CHAFA_CELL; ++x)
          block.pixels[size_t(y * CHAFA_CELL + x)] =
              line[memory.x_map[size_t(column * CHAFA_CELL + x)]];
      }
      auto [entry, added] = memory.cells.try_emplace(block);
      if (added) memory.misses.emplace_back(&entry->first, &entry->second);
      memory.sources[size_t(row) * columns + column] = &entry->second;
    }

  // The cells never seen before, in strips: each cell's 8 x 8 pixels side by side, so that
  // chafa, which scales nothing when the image is its canvas's size, sees exactly those pixels.
  for (size_t first = 0; first < memory.misses.size();) {
    const size_t left = memory.misses.size() - first;
    size_t size_index = 0;
    while (size_index + 1 < std::size(STRIP_SIZES) && size_t(STRIP_SIZES[size_index]) < left)
      ++size_index;
    const int strip_cells = STRIP_SIZES[size_index];
    const size_t count = std::min(left, size_t(strip_cells));
    const int width = strip_cells * CHAFA_CELL;
    memory.strip_pixels.assign(size_t(width) * CHAFA_CELL, 0xFF000000u);
    for (size_t i = 0; i < count; ++i) {
      const Block& source = *memory.misses[first + i].first;
      for (int y = 0; y < CHAFA_CELL; ++y)
        std::memcpy(&memory.strip_pixels[size_t(y) * width + i * CHAFA_CELL],
                    &source.pixels[size_t(y * CHAFA_CELL)], CHAFA_CELL * sizeof(uint32_t));
    }
    ChafaCanvas* strip = chafa_->strip(size_index);
    chafa_canvas_draw_all_pixels(strip, CHAFA_PIXEL_RGBA8_UNASSOCIATED,
                                 reinterpret_cast<const guint8*>(memory.strip_pixels.data()), width,
                                 CHAFA_CELL, width * int(sizeof(uint32_t)));
    for (size_t i = 0; i < count; ++i) {
      gint foreground = 0, background = 0;
      chafa_canvas_get_raw_colors_at(strip, gint(i), 0, &foreground, &background);
      Cell cell{chafa_canvas_get_char_at(strip, gint(i), 0), colour_of(foreground, modes_.colours),
                colour_of(background, modes_.colours)};
      *memory.misses[first + i].second = cell.shown();
    }
    first += count;
  }
  converted_ += memory.misses.size();
  remembered_ += memory.sources.size() - memory.misses.size();

  for (size_t i = 0; i < grid_.cells.size(); ++i) grid_.cells[i] = *memory.sources[i];
  if (flash_in_cells) flash_cells(flash);
  return grid_;
}

std::string ColourView::draw_pixels(const Picture& picture, Flash flash, const PixelFit& fit) {
  flash_pixels(picture, flash);
  const int scale = fit.scale;
  const int width = fit.image_width, height = fit.image_height;
  std::vector<uint32_t> image(size_t(width) * height, 0xFF000000u);
  const int left = std::max(0, (width - PICTURE_WIDTH * scale) / 2);
  const int top = std::max(0, (height - PICTURE_HEIGHT * scale) / 2);
  for (int y = 0; y < PICTURE_HEIGHT * scale && top + y < height; ++y) {
    const uint32_t* source = rgba_.data() + size_t(y / scale) * PICTURE_WIDTH;
    uint32_t* line = image.data() + size_t(top + y) * width + left;
    for (int x = 0; x < PICTURE_WIDTH * scale && left + x < width; ++x) line[x] = source[x / scale];
  }
  ChafaCanvas* canvas = chafa_->pixels_for(fit);
  if (canvas == nullptr) return {};
  chafa_canvas_draw_all_pixels(canvas, CHAFA_PIXEL_RGBA8_UNASSOCIATED,
                               reinterpret_cast<const guint8*>(image.data()), width, height,
                               width * int(sizeof(uint32_t)));
  GString* printed = chafa_canvas_print(canvas, chafa_->term_info);
  std::string bytes(printed->str, printed->len);
  g_string_free(printed, TRUE);
  return bytes;
}

}  // namespace display
