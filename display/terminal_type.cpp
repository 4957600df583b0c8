// What the terminfo database says of a terminal type, apart from the rest of the terminal code:
// <term.h> defines a macro for every capability's name (columns, lines, ...), so our header comes
// first, before its field names could be taken for them.
#include "display/terminal.h"

#include <curses.h>
#include <term.h>

namespace display {

std::optional<std::string> terminfo_problem(const char* term) {
  if (std::optional<std::string> problem = terminal_type_problem(term)) return problem;
  int found = 0;
  // With somewhere to put the verdict, setupterm neither prints nor ends the program.
  if (setupterm(term, -1, &found) != OK || found != 1)
    return "TERM=" + std::string(term) + " is no terminal type the terminfo database knows";
  const char* clear = tigetstr("clear");
  const char* move = tigetstr("cup");
  const bool able = clear != nullptr && clear != reinterpret_cast<char*>(-1) && move != nullptr &&
                    move != reinterpret_cast<char*>(-1);
  del_curterm(cur_term);
  if (!able)
    return "TERM=" + std::string(term) +
           " names a terminal that cannot clear the screen or place the cursor";
  return std::nullopt;
}

}  // namespace display
