// Recording the show's frames for --cast, and making the page of --html.
#include "tools/render/share_output.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "command_line/command_line.h"
#include "display/flash.h"
#include "engine/show.h"
#include "player/player.h"

namespace tools::render {
namespace {

// What a player of the recording needs to know of the terminal it was made for.
CastHeader header_for(const RenderOptions& options) {
  CastHeader header;
  header.title = options.title;
  header.environment.emplace_back("TERM", "xterm-256color");
  if (options.share_view == ShareView::COLOUR)
    header.environment.emplace_back("COLORTERM", "truecolor");
  return header;
}

std::string minutes_and_seconds(int64_t microseconds) {
  const int64_t tenths = microseconds / 100000;
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d.%d", static_cast<int>(tenths / 600),
                static_cast<int>(tenths / 10 % 60), static_cast<int>(tenths % 10));
  return text;
}

// The page runs the engine itself: its credits say what it plays and what made it.
std::string credits_for(const RenderOptions& options, uint32_t frames, int64_t duration,
                        bool music) {
  return "The Tundra engine, compiled to WebAssembly, plays the show in this page: " +
         std::to_string(frames) + " frames at 30 ms" +
         (options.farewell ? ", then the farewell" : "") + " (" + minutes_and_seconds(duration) +
         ")" + (music ? ", its music through libxmp" : "") + ". Made by tundra-render " +
         engine::VERSION + ".";
}

// The data file the page carries whole; the error names the option and the file.
std::string read_for_page(const std::string& option, const std::string& path, std::string& bytes) {
  // A data file of more than this is not one a page should carry.
  constexpr std::uintmax_t LARGEST = 64 << 20;
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return option + ": cannot read " + path + ": " + error.message();
  if (size > LARGEST) return option + ": " + path + " is larger than 64 MB";
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in || in.bad()) return option + ": cannot read " + path;
  bytes = text.str();
  return {};
}

}  // namespace

ShareOutput::ShareOutput(const RenderOptions& options)
    : options_(options), recording_(TEXT_COLUMNS, TEXT_ROWS) {}

std::string ShareOutput::open(OutputFiles& files) {
  std::string error;
  if (!options_.html_path.empty()) {
    PagePartsFound found = find_page_parts();
    if (!found.parts) return found.error;
    page_parts_ = std::move(found.parts);
    page_show_.data_name = std::filesystem::path(options_.data_path).filename().string();
    error = read_for_page("--html", options_.data_path, page_show_.data);
    if (!error.empty()) return error;
    html_ = files.create(options_.html_path, error);
    if (html_ == nullptr) return error;
  }
  if (!options_.cast_path.empty()) {
    cast_ = files.create(options_.cast_path, error);
    if (cast_ == nullptr) return error;
  }
  if (options_.share_view == ShareView::COLOUR)
    colour_ = std::make_unique<display::ColourView>(
        display::ColourModes{display::ColourMode::TRUECOLOR, display::PixelMode::SYMBOLS});
  return {};
}

// The ASCII view is AA-lib's characters in the terminal's own colours; the colour view is what
// the colour display draws on an 80 x 25 terminal in 24-bit colour.
const display::CellGrid& ShareOutput::cells_of(const RenderedFrame& frame) {
  if (colour_)
    return colour_->draw_cells(frame.picture, display::flash_at(frame.number), TEXT_COLUMNS,
                               TEXT_ROWS);
  if (ascii_cells_.cells.empty()) ascii_cells_ = display::CellGrid(TEXT_COLUMNS, TEXT_ROWS);
  for (size_t i = 0; i < ascii_cells_.cells.size(); ++i)
    ascii_cells_.cells[i].symbol = static_cast<unsigned char>(frame.text[i]);
  return ascii_cells_;
}

std::string ShareOutput::add(FrameViews& views) {
  if (!last_frame_ && views.frame.show != nullptr)
    page_show_.music = views.frame.show->music() != nullptr;
  recording_.add_frame(views.frame.number, cells_of(views.frame));
  last_frame_ = views.frame.number;
  return {};
}

std::string ShareOutput::finish(const aa_font*) {
  const uint32_t closed_at = last_frame_ ? *last_frame_ + 1 : 0;
  recording_.end(closed_at, options_.farewell ? engine::farewell_lines()
                                              : std::span<const engine::FarewellLine>());
  const std::string cast = recording_.cast(header_for(options_));
  if (cast_ != nullptr) {
    std::string error = cast_->write(cast.data(), cast.size());
    if (!error.empty()) return error;
  }
  if (html_ == nullptr) return {};
  page_show_.title = options_.title;
  page_show_.credits =
      credits_for(options_, closed_at, recording_.duration_microseconds(), page_show_.music);
  page_show_.view = options_.share_view == ShareView::COLOUR ? PageView::COLOUR : PageView::ASCII;
  if (options_.farewell) page_show_.farewell = engine::farewell_lines();
  const PageMade made = html_page(page_show_, *page_parts_);
  if (!made.error.empty()) return "--html: " + made.error;
  return html_->write(made.page.data(), made.page.size());
}

}  // namespace tools::render
