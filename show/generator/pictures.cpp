// tundra-show-pictures SOURCE_DIR OUT_DIR: draws every picture of the show into OUT_DIR and
// writes its texts there as the scroller wants them. The same sources give the same bytes.
//
// The display's contrast is steep: greys below about 85 show as blank, above about 140 as the
// densest character, and only the band between gives the lighter characters. Pictures are
// therefore drawn in black, white and a few chosen greys of that band, in large shapes.
#include <cmath>
#include <cstdio>
#include <exception>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "art.h"
#include "canvas.h"

namespace show {
namespace {

constexpr int WIDTH = 160;  // the picture
constexpr int HEIGHT = 50;
constexpr double PI = 3.141592653589793;

// Greys as the display shows them.
constexpr int BLACK = 0;
constexpr int WHITE = 255;
constexpr int BRIGHT = 180;  // still the densest character, but below white in a fade
constexpr int MID = 120;     // a textured middle character
constexpr int DIM = 100;     // the lightest characters that still show

struct Paths {
  std::string source;
  std::string out;
  std::string art(const std::string& name) const { return source + "/art/" + name + ".txt"; }
  std::string picture(const std::string& name) const { return out + "/" + name + ".png"; }
};

void check_fits(const Font& font, const std::string& text, int width) {
  if (font.text_width(text) > width)
    throw std::runtime_error("\"" + text + "\" is wider than " + std::to_string(width));
}

// The loader: a word over a framed bar. The bar itself is not in the picture: the colour
// cycle draws it into a buffer of one row, shown four times by views over rows 32 to 35.
void loader(const Font& font, const Paths& paths) {
  for (const char* word : {"loading", "done."}) {
    Canvas c(WIDTH, HEIGHT);
    check_fits(font, word, WIDTH);
    draw_text_centred(c, font, word, WIDTH / 2, 8, grey(WHITE));
    c.fill_rect(0, 28, WIDTH, 2, grey(BRIGHT));  // the bar's frame, 3 pixels clear of it
    c.fill_rect(0, 38, WIDTH, 2, grey(BRIGHT));
    c.fill_rect(0, 28, 2, 12, grey(BRIGHT));
    c.fill_rect(WIDTH - 2, 28, 2, 12, grey(BRIGHT));
    write_png(c, paths.picture(std::string(word) == "loading" ? "loading" : "loaded"));
  }
}

// The title: the logo from its art, the subtitle in the font. Every lit pixel is non-zero, so
// the noise's reveal lets the static through exactly there; its greys rise from the icicles
// to the snow on top, so the fade brings the snow in first.
void title(const Font& font, const Paths& paths) {
  Canvas c(WIDTH, HEIGHT);
  c.paste(load_text_art(paths.art("title")), 0, 0);
  check_fits(font, "in ascii", WIDTH);
  draw_text_centred(c, font, "in ascii", WIDTH / 2, 35, grey(MID));
  write_png(c, paths.picture("title"));
}

// The snowfield, whole for the fade and in four slices for the four snowfalls over it. Each
// slice is as wide as the buffer it is read in; a few stars are single pixels.
void snowfield(const Paths& paths) {
  Canvas land = load_text_art(paths.art("landscape"));
  for (int star = 0; star < 40; ++star) {
    const int x = int(hash(star, 1, 7) % WIDTH), y = int(hash(star, 2, 7) % 24);
    if (land.at(x, y) == 0) land.at(x, y) = grey(star % 3 == 0 ? WHITE : MID);
  }
  write_png(land, paths.picture("snowfield"));
  constexpr int SLICE = WIDTH / 4;
  for (int slice = 0; slice < 4; ++slice) {
    Canvas part(SLICE, HEIGHT);
    for (int y = 0; y < HEIGHT; ++y)
      for (int x = 0; x < SLICE; ++x) part.at(x, y) = land.at(slice * SLICE + x, y);
    write_png(part, paths.picture("snowfield-" + std::to_string(slice)));
  }
  write_png(Canvas(SLICE, HEIGHT, grey(WHITE)), paths.picture("snow"));
}

void horizon(const Paths& paths) {
  write_png(load_text_art(paths.art("horizon")), paths.picture("horizon"));
}

// Distance from (px, py) to the segment from (ax, ay) to (bx, by).
double segment_distance(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  double t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy);
  t = std::max(0.0, std::min(1.0, t));
  const double ex = ax + t * dx - px, ey = ay + t * dy - py;
  return std::sqrt(ex * ex + ey * ey);
}

// How far (x, y) lies from the strokes of a six-armed crystal of radius r centred on the origin:
// arms, and on each arm a pair of branches.
double crystal_distance(double x, double y, double r) {
  double best = 1e9;
  for (int arm = 0; arm < 6; ++arm) {
    const double a = arm * PI / 3;
    const double ux = std::cos(a), uy = std::sin(a);
    best = std::min(best, segment_distance(x, y, 0, 0, ux * r, uy * r));
    for (const double along : {0.55}) {
      const double bx = ux * r * along, by = uy * r * along;
      const double length = r * 0.36;
      for (const double turn : {-PI / 3, PI / 3}) {
        const double tx = std::cos(a + turn), ty = std::sin(a + turn);
        best = std::min(best, segment_distance(x, y, bx, by, bx + tx * length, by + ty * length));
      }
    }
  }
  return best;
}

// The rotozoomer's texture, 256 x 256 and seamless: four crystals on a square lattice, two
// large and two small, so that both ends of the zoom (1 to 4.5 texels a pixel) show whole
// ones on the 50 rows of the picture. Strokes are thick enough to stay whole at the far end.
// White on black only: a grey between reads as noise once the texture turns.
void crystal(const Paths& paths) {
  constexpr int SIZE = 256;
  struct Flake {
    double x, y, radius, half_stroke;
  };
  const Flake flakes[] = {
      {64, 64, 54, 4.5}, {192, 192, 54, 4.5}, {192, 64, 38, 3.5}, {64, 192, 38, 3.5}};
  Canvas c(SIZE, SIZE);
  for (int y = 0; y < SIZE; ++y)
    for (int x = 0; x < SIZE; ++x) {
      bool lit = false;
      for (const Flake& flake : flakes) {
        const double dx = x + 0.5 - flake.x, dy = y + 0.5 - flake.y;
        lit = lit || crystal_distance(dx, dy, flake.radius) <= flake.half_stroke ||
              std::hypot(dx, dy) <= flake.half_stroke * 2;
      }
      c.at(x, y) = grey(lit ? WHITE : BLACK);
    }
  write_png(c, paths.picture("crystal"));
}

void wolf(const Paths& paths) {
  write_png(load_text_art(paths.art("wolf")), paths.picture("wolf"));
}

// The melt: the title's letters as mass, and the gravity map. Mass is (2 red + green + 2 blue)
// on 6-bit scales over 189: red 16, green 32, blue 16 give 96 / 189, about 0.51, so the
// melted pool stays below a mass of 1 (where the relief wraps to 0 and is not drawn). The
// gravity map holds the letters on the left (blue 31: a 32nd of the pull) and pulls harder to
// the right, so the logo melts from right to left. It stops at blue 18 (a pull of 0.44): from
// a pull of about 0.46 on, a falling column feeds itself in the flow's top-down pass (each
// empty pixel hands on half its difference plus the pull and is clamped at 0), so mass would
// pour out of nothing into the bottom rows.
void melt(const Paths& paths) {
  const Canvas logo = load_text_art(paths.art("title"));
  Canvas mass(WIDTH, HEIGHT);
  constexpr uint16_t MASS = 16 << 11 | 32 << 5 | 16;
  for (int y = 0; y < logo.height; ++y)
    for (int x = 0; x < WIDTH; ++x)
      if (logo.at(x, y) != 0) mass.at(x, y + 6) = MASS;
  write_png(mass, paths.picture("melt-logo"));
  Canvas gravity(WIDTH, HEIGHT);
  for (int y = 0; y < HEIGHT; ++y)
    for (int x = 0; x < WIDTH; ++x) gravity.at(x, y) = uint16_t(31 - x * 14 / WIDTH);
  write_png(gravity, paths.picture("melt-gravity"));
}

// The credits: pages as tall as the screen, one above the other, three lines each: the first
// white, the others in the textured middle grey. Each page's first and last rows are black,
// so the curtain's repeated edge row is black between pages.
void credits(const Font& font, const Paths& paths) {
  const std::vector<std::vector<std::string>> pages = {
      {"code", "tundra", "engine"},
      {"pixels", "our own", "machine"},
      {"font", "drawn in", "text"},
      {"music", "your fan", "humming"},
  };
  Canvas c(WIDTH, HEIGHT * int(pages.size()));
  for (size_t page = 0; page < pages.size(); ++page)
    for (size_t line = 0; line < 3; ++line) {
      const std::string& text = pages[page][line];
      check_fits(font, text, WIDTH);
      draw_text_centred(c, font, text, WIDTH / 2, int(page) * HEIGHT + 2 + int(line) * 16,
                        grey(line == 0 ? WHITE : MID));
    }
  write_png(c, paths.picture("credits"));
}

void finale(const Font& font, const Paths& paths) {
  Canvas c(WIDTH, HEIGHT);
  check_fits(font, "farewell", WIDTH);
  draw_text_centred(c, font, "farewell", WIDTH / 2, 8, grey(WHITE));
  c.fill_rect(0, 28, WIDTH, 2, grey(BRIGHT));
  c.fill_rect(0, 38, WIDTH, 2, grey(BRIGHT));
  c.fill_rect(0, 28, 2, 12, grey(BRIGHT));
  c.fill_rect(WIDTH - 2, 28, 2, 12, grey(BRIGHT));
  write_png(c, paths.picture("farewell"));
}

// A scroller text: the lines of the source joined by single spaces, without a line end, which
// the font has no glyph for.
void scroller_text(const Paths& paths, const std::string& name) {
  std::ifstream in(paths.source + "/texts/" + name + ".txt");
  if (!in) throw std::runtime_error("cannot read texts/" + name + ".txt");
  std::string joined, line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string word;
    while (words >> word) joined += (joined.empty() ? "" : " ") + word;
  }
  std::ofstream out(paths.out + "/" + name + ".txt", std::ios::binary);
  out << joined << "      ";  // a gap before the text comes round again
  if (!out) throw std::runtime_error("cannot write " + name + ".txt");
}

}  // namespace
}  // namespace show

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tundra-show-pictures SOURCE_DIR OUT_DIR\n");
    return 2;
  }
  try {
    const show::Paths paths{argv[1], argv[2]};
    const show::Font font = show::Font::load(paths.source + "/font/tundra-font.txt");
    show::loader(font, paths);
    show::title(font, paths);
    show::snowfield(paths);
    show::horizon(paths);
    show::crystal(paths);
    show::wolf(paths);
    show::melt(paths);
    show::credits(font, paths);
    show::finale(font, paths);
    show::scroller_text(paths, "greetings");
    show::scroller_text(paths, "messages");
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tundra-show-pictures: %s\n", error.what());
    return 1;
  }
  return 0;
}
