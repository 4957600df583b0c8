// The preview's status line: where the show is, what it is doing and how the last reload went,
// as text for a line of a given width.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/preview/session.h"

namespace preview {

// " 1234  0:37.02  playing  show/scenes/04-aurora.tds:15  reload 3: ok": the frame on display,
// its time, the state, the statement the script stands at and the last reload's outcome (a
// failure with the first error's file:line:column and message). Exactly `width` characters,
// ASCII only; what does not fit is shortened from the least needed part on: the location's
// folders, then the location, then the end of the outcome's message.
std::string status_line(const Session& session, int width);

// What the status line at `width` had to cut of an error (the reload's first error, or the
// engine's): the whole of it, in lines of at most `width` characters for the band above the
// status line. Empty when the status line shows it all.
std::vector<std::string> error_lines(const Session& session, int width);

// `text` as a terminal may show it: printable ASCII as it is, every other byte (a control
// character from a file's name or a source line, UTF-8 included) as \xNN.
std::string printable(std::string_view text);

// The outcome alone: "reload 3: ok", "reload 3: ok, 2 warnings: show.tds:4:1: warning: ...",
// "reload 4 failed: show.tds:9:5: error: unknown statement 'fxx'; did you mean 'fx'?".
std::string outcome_text(const ReloadOutcome& outcome);

}  // namespace preview
