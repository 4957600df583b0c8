// The browser build's stand-in for <termios.h>, which WASI does not have: the colour view's
// header reaches the terminal's record (display/terminal.h), whose saved modes are a termios.
// Nothing in the browser build opens a terminal, so the record is never filled.
#pragma once

struct termios {};
