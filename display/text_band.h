// Lines of text a display shows under the picture, for a program that shows its own state along
// with the show (the preview's status line and its list of keys). The picture is fitted to the
// rows above them. With no lines, the picture has the whole screen, as the player shows it.
#pragma once

#include <string>
#include <vector>

#include "engine/display_driver.h"

namespace display {

// The state of a display that can show a band of text; the terminal displays derive theirs from
// it. Lines are shown from the next present on, cut to the screen's width.
struct TextBandState : engine::DisplayState {
  std::vector<std::string> band;
};

// Gives `display` the lines to show under the picture (empty: none). False when the display
// shows no text (a recording or rendering display), which then shows only the picture.
bool set_text_band(engine::DisplayDriver& display, std::vector<std::string> lines);

// The set_text_band slot of a display whose state derives from TextBandState.
void keep_text_band(engine::DisplayDriver& display, std::vector<std::string> lines);

// The rows of a screen `screen_rows` high that the picture keeps above a band of `lines`:
// at least one, so that a band taller than the screen still leaves the picture a row.
int picture_rows(int screen_rows, size_t lines);

}  // namespace display
