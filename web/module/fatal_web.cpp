// How a fatal condition leaves the engine in the browser build. The native engine throws its
// message to the player; this build has no C++ exceptions, so the message goes to JavaScript,
// whose tundra_fatal throws and unwinds the WebAssembly stack. What the loader said before it goes
// with it, as the native player has printed it by then. The instance is then left half-way through
// an operation: the JavaScript side (tundra.mjs) drops it and makes a new one for the next show.
#include "base/fatal.h"
#include "web_console.h"

extern "C" [[noreturn]] __attribute__((import_module("env"), import_name("tundra_fatal"))) void
tundra_fatal(const char* text, size_t length);

namespace engine {
namespace {

// Kept until JavaScript has read it: the unwinding frees nothing.
std::string last_message;

}  // namespace

void fail_with(Stream, std::string message) {
  last_message = web::console_so_far() + message;
  tundra_fatal(last_message.data(), last_message.size());
}

}  // namespace engine
