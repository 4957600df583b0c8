// Writing the page that plays a show in a browser.
#include "tools/render/html_page.h"

#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/render/cast.h"

namespace tools::render {
namespace {

namespace fs = std::filesystem;

// The parts are the build's own files, a few hundred kilobytes; anything far larger is not one.
constexpr std::uintmax_t LARGEST_PART = 16 << 20;

struct PartFile {
  const char* path;  // under the directory searched
  std::string PageParts::*part;
};
constexpr PartFile part_files[] = {
    {"module/tundra.wasm", &PageParts::engine},  {"module/tundra.mjs", &PageParts::engine_script},
    {"page/page.html", &PageParts::layout},      {"page/page.js", &PageParts::page_script},
    {"page/sound.js", &PageParts::sound_script},
};

std::optional<std::string> read_whole(const fs::path& path) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error || size > LARGEST_PART) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

// An inlined script ends at the first "</script" in it, whatever the language makes of it; a
// backslash before the slash means the same to JavaScript strings and hides the closing tag.
std::string inline_safe(const std::string& text) {
  constexpr std::string_view closing = "</script";
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] != '<' || i + closing.size() > text.size()) continue;
    bool closes = true;
    for (size_t j = 1; j < closing.size() && closes; ++j)
      closes = std::tolower(static_cast<unsigned char>(text[i + j])) == closing[j];
    if (closes) out += '\\';
  }
  return out;
}

// The engine's script is an ES module; the page inlines it in its own module script ahead of the
// player, so its exports become plain declarations that the player sees.
std::string without_exports(const std::string& script) {
  constexpr std::string_view keyword = "export ";
  std::string out;
  std::istringstream lines(script);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with(keyword)) line.erase(0, keyword.size());
    out += line + '\n';
  }
  return out;
}

// What the player reads before it starts: the data file's name, the first view, the farewell.
// JSON strings here write '<' as an escape: no text can end the script element it sits in.
std::string settings_json(const PageShow& show) {
  std::string json = "{\"name\": ";
  append_json_string(json, show.data_name);
  json += ", \"view\": ";
  json += show.view == PageView::COLOUR ? "\"colour\"" : "\"ascii\"";
  json += ", \"farewell\": [";
  for (size_t i = 0; i < show.farewell.size(); ++i) {
    json += i == 0 ? "[" : ", [";
    append_json_string(json, show.farewell[i].text);
    json += ", " + std::to_string(show.farewell[i].ticks) + "]";
  }
  return json + "]}";
}

}  // namespace

std::vector<std::string> page_part_directories() {
  std::error_code error;
  fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (error) return {};
  fs::path bin = program.parent_path();
  return {(bin / "web").string(), (bin.parent_path() / "share" / "tundra" / "web").string()};
}

PagePartsFound find_page_parts() {
  const std::vector<std::string> directories = page_part_directories();
  for (const std::string& directory : directories) {
    PageParts parts;
    bool complete = true;
    for (const PartFile& file : part_files) {
      std::optional<std::string> text = read_whole(fs::path(directory) / file.path);
      if (!text) {
        complete = false;
        break;
      }
      parts.*file.part = std::move(*text);
    }
    if (complete) return {std::move(parts), {}};
  }
  std::string searched;
  for (const std::string& directory : directories)
    searched += (searched.empty() ? "" : " or ") + directory;
  return {std::nullopt,
          "--html needs the engine built as WebAssembly (module/tundra.wasm and tundra.mjs) "
          "and the page's files (page/page.html, page.js and sound.js); they are not all in " +
              searched +
              ". Install clang's wasm32 toolchain (scripts/install-deps does), then build "
              "again"};
}

std::string html_escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string base64(std::string_view bytes) {
  static constexpr char digits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    // Three bytes are four digits of six bits; a short last group is padded with '='.
    const size_t count = std::min<size_t>(3, bytes.size() - i);
    uint32_t group = 0;
    for (size_t j = 0; j < 3; ++j)
      group = group << 8 | (j < count ? static_cast<unsigned char>(bytes[i + j]) : 0u);
    for (size_t j = 0; j < 4; ++j) out += j <= count ? digits[(group >> (18 - 6 * j)) & 63] : '=';
  }
  return out;
}

std::string packed(std::string_view bytes) {
  if (bytes.empty()) return {};
  uLongf size = compressBound(static_cast<uLong>(bytes.size()));
  std::string deflated(size, '\0');
  // The bytes are in memory and the bound is zlib's own: compress2 can only run out of memory.
  if (compress2(reinterpret_cast<Bytef*>(deflated.data()), &size,
                reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()),
                Z_BEST_COMPRESSION) != Z_OK)
    throw std::bad_alloc();
  deflated.resize(size);
  return base64(deflated);
}

PageMade html_page(const PageShow& show, const PageParts& parts) {
  const std::pair<std::string_view, std::string> places[] = {
      {"TITLE", html_escape(show.title)},
      {"CREDITS", html_escape(show.credits)},
      {"SETTINGS", settings_json(show)},
      {"ENGINE", packed(parts.engine)},
      {"SHOW", packed(show.data)},
      {"SOUND_SCRIPT", inline_safe(parts.sound_script)},
      {"ENGINE_SCRIPT", inline_safe(without_exports(parts.engine_script))},
      {"PAGE_SCRIPT", inline_safe(parts.page_script)},
  };
  // One pass over the layout: what is put in is never searched for places.
  const std::string& layout = parts.layout;
  std::string page;
  std::vector<bool> filled(std::size(places), false);
  size_t at = 0;
  while (at < layout.size()) {
    const size_t open = layout.find('@', at);
    const size_t close = open == std::string::npos ? open : layout.find('@', open + 1);
    if (close == std::string::npos) break;
    const std::string_view name(layout.data() + open + 1, close - open - 1);
    size_t place = 0;
    while (place < std::size(places) && places[place].first != name) ++place;
    if (place == std::size(places)) {
      page.append(layout, at, close - at);
      at = close;
      continue;
    }
    page.append(layout, at, open - at);
    page += places[place].second;
    filled[place] = true;
    at = close + 1;
  }
  page.append(layout, std::min(at, layout.size()));
  for (size_t place = 0; place < std::size(places); ++place)
    if (!filled[place])
      return {{}, "the page's layout has no @" + std::string(places[place].first) + "@"};
  return {std::move(page), {}};
}

}  // namespace tools::render
