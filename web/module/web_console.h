// What the engine has said so far while loading in the browser build, for a fatal error to carry
// along: the native player has printed those lines by the time it prints the fatal one.
#pragma once

#include <string>

namespace web {

// The text written on the loader's console since tundra_load began; empty outside a load.
std::string console_so_far();

}  // namespace web
