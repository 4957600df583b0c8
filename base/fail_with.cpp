// How a fatal condition leaves the engine natively: thrown to the player, which closes the display
// before it prints the message. (The browser build supplies its own.)
#include <utility>

#include "base/fatal.h"

namespace engine {

void fail_with(Stream stream, std::string message) {
  throw FatalError{stream, std::move(message)};
}

}  // namespace engine
