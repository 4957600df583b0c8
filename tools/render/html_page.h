// One self-contained web page that plays a show: the engine compiled to WebAssembly, the data
// file (its music chunk with it) and the page's scripts inlined, nothing fetched when it is opened.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "player/player.h"

namespace tools::render {

// The page's parts as the build puts them beside tundra-render.
struct PageParts {
  std::string engine;         // module/tundra.wasm
  std::string engine_script;  // module/tundra.mjs: the JavaScript class that runs it
  std::string layout;         // page/page.html: the page, with @NAME@ where the parts go
  std::string page_script;    // page/page.js: the player
  std::string sound_script;   // page/sound.js: the AudioWorklet that plays the music
};

// Where the renderer looks for the parts, in order: web/ beside the program (the build tree),
// then ../share/tundra/web from it (an installed tree).
std::vector<std::string> page_part_directories();

// Reads the parts from the first directory that holds them all; an error naming the
// directories and how to get them when none does.
struct PagePartsFound {
  std::optional<PageParts> parts;
  std::string error;
};
PagePartsFound find_page_parts();

enum class PageView : uint8_t { ASCII, COLOUR };

struct PageShow {
  std::string title;
  std::string credits;                             // one line shown under the title
  std::string data_name;                           // the data file's name, for the loader's words
  std::string data;                                // the data file's bytes
  bool music = false;                              // it has a music chunk
  PageView view = PageView::ASCII;                 // the view the page opens with
  std::span<const engine::FarewellLine> farewell;  // played after the end
};

// The page; an error naming the part when a layout lacks a place for one.
struct PageMade {
  std::string page;
  std::string error;
};
PageMade html_page(const PageShow& show, const PageParts& parts);

// `text` with the characters HTML gives a meaning written as references.
std::string html_escape(std::string_view text);

// RFC 4648 base64, with padding and no line breaks.
std::string base64(std::string_view bytes);

// How the page carries a file: zlib's deflate format (which the browser's DecompressionStream
// inflates) in base64.
std::string packed(std::string_view bytes);

}  // namespace tools::render
