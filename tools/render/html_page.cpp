// Writing the page that plays a recording.
#include "tools/render/html_page.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace tools::render {
namespace {

namespace fs = std::filesystem;

constexpr const char* SCRIPT_FILE = "asciinema-player.min.js";
constexpr const char* STYLE_FILE = "asciinema-player.css";
constexpr const char* VERSION_FILE = "asciinema-player.version";

std::optional<std::string> read_whole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

// An inlined script or style ends at the first "</script" or "</style" in it, whatever the
// language makes of it; a backslash before the slash means the same to JavaScript and to CSS
// strings, and hides the closing tag from HTML.
std::string inline_safe(const std::string& text, std::string_view closing) {
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

// No network: the page may run its own inline script and styles and compile the player's
// WebAssembly terminal, and nothing else; a browser refuses any request the player might try.
constexpr const char* CONTENT_POLICY =
    "default-src 'none'; script-src 'unsafe-inline' 'wasm-unsafe-eval'; "
    "style-src 'unsafe-inline'; img-src data:; font-src data:";

constexpr const char* PAGE_STYLE = R"(
body { background: #121314; color: #cccccc; font-family: sans-serif; margin: 2em auto;
       max-width: 60em; padding: 0 1em; }
h1 { font-weight: normal; margin: 0 0 0.2em 0; }
p.credits { color: #999999; margin: 0 0 1.2em 0; }
)";

// Plays from the start as soon as the page opens; the recording's own size and the player's
// default look. The player object is kept on window for whoever drives the page.
constexpr const char* START_SCRIPT = R"(
const cast = document.getElementById('tundra-cast').textContent;
window.tundraPlayer = AsciinemaPlayer.create({ data: cast }, document.getElementById('player'),
  { autoPlay: true, preload: true, fit: 'width', terminalFontFamily: 'monospace' });
)";

}  // namespace

std::vector<std::string> web_player_directories() {
  std::error_code error;
  fs::path program = fs::read_symlink("/proc/self/exe", error);
  if (error) return {};
  fs::path bin = program.parent_path();
  return {(bin / "web").string(), (bin.parent_path() / "share" / "tundra" / "web").string()};
}

WebPlayerFound find_web_player() {
  const std::vector<std::string> directories = web_player_directories();
  for (const std::string& directory : directories) {
    std::optional<std::string> script = read_whole(fs::path(directory) / SCRIPT_FILE);
    std::optional<std::string> style = read_whole(fs::path(directory) / STYLE_FILE);
    std::optional<std::string> version = read_whole(fs::path(directory) / VERSION_FILE);
    if (!script || !style || !version) continue;
    while (!version->empty() && std::isspace(static_cast<unsigned char>(version->back())))
      version->pop_back();
    return {WebPlayer{std::move(*script), std::move(*style), std::move(*version)}, {}};
  }
  std::string searched;
  for (const std::string& directory : directories)
    searched += (searched.empty() ? "" : " or ") + directory;
  return {std::nullopt,
          "--html needs asciinema's web player (" + std::string(SCRIPT_FILE) + " and " +
              STYLE_FILE + "), which the build fetches with npm; it is not in " + searched +
              " (when the build ran npm and it failed, web/npm.log beside the program says "
              "why). Install Node.js and npm (scripts/install-deps does), then build again"};
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

std::string html_page(const PageText& text, const std::string& cast, const WebPlayer& player) {
  std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  page += "<meta http-equiv=\"Content-Security-Policy\" content=\"" + std::string(CONTENT_POLICY) +
          "\">\n";
  page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  page += "<title>" + html_escape(text.title) + "</title>\n";
  page += "<style>\n" + inline_safe(player.style, "</style") + "\n</style>\n";
  page += "<style>" + std::string(PAGE_STYLE) + "</style>\n</head>\n<body>\n";
  page += "<h1>" + html_escape(text.title) + "</h1>\n";
  page += "<p class=\"credits\">" + html_escape(text.credits) + "</p>\n";
  page += "<div id=\"player\"></div>\n";
  // The recording as it would be in a .cast file: no '<' in it, so it cannot end the element.
  // The player reads the first line as the header: nothing may come before it.
  page += "<script type=\"application/x-asciicast\" id=\"tundra-cast\">" + cast + "</script>\n";
  page += "<script>\n" + inline_safe(player.script, "</script") + "\n</script>\n";
  page += "<script>" + std::string(START_SCRIPT) + "</script>\n</body>\n</html>\n";
  return page;
}

}  // namespace tools::render
