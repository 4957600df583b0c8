// One self-contained web page that plays a recording with asciinema's web player: the player's
// script and style inlined, the recording embedded, nothing fetched when it is opened.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tools::render {

// The web player's files as the build installs them beside tundra-render.
struct WebPlayer {
  std::string script;   // asciinema-player.min.js: defines AsciinemaPlayer
  std::string style;    // asciinema-player.css
  std::string version;  // the version package-lock.json pins
};

// Where the renderer looks for the web player, in order: web/ beside the program (the build
// tree), then ../share/tundra/web from it (an installed tree).
std::vector<std::string> web_player_directories();

// Reads the web player from the first directory that holds it; an error naming the directories
// and how to get it when none does.
struct WebPlayerFound {
  std::optional<WebPlayer> player;
  std::string error;
};
WebPlayerFound find_web_player();

struct PageText {
  std::string title;
  std::string credits;  // one line shown under the title
};

// The page: `cast` is an asciicast (its text contains no '<', as cast.h writes it).
std::string html_page(const PageText& text, const std::string& cast, const WebPlayer& player);

// `text` with the characters HTML gives a meaning written as references.
std::string html_escape(std::string_view text);

}  // namespace tools::render
