// The key table.
#include "tools/preview/key_actions.h"

#include <algorithm>
#include <array>

namespace preview {
namespace {

constexpr KeyAction actions[] = {
    {"space",
     "pause, play (at the end: play again from the start)",
     {Key::SPACE, std::nullopt},
     [](Session& session) {
       session.toggle_pause();
       return Command::NONE;
     }},
    {"Left",
     "one second back",
     {Key::LEFT, std::nullopt},
     [](Session& session) {
       session.seek_by(-SHORT_SEEK_MS);
       return Command::NONE;
     }},
    {"Right",
     "one second forward",
     {Key::RIGHT, std::nullopt},
     [](Session& session) {
       session.seek_by(SHORT_SEEK_MS);
       return Command::NONE;
     }},
    {"Down",
     "ten seconds back",
     {Key::DOWN, std::nullopt},
     [](Session& session) {
       session.seek_by(-LONG_SEEK_MS);
       return Command::NONE;
     }},
    {"Up",
     "ten seconds forward",
     {Key::UP, std::nullopt},
     [](Session& session) {
       session.seek_by(LONG_SEEK_MS);
       return Command::NONE;
     }},
    {"PageUp",
     "the previous 'at' or 'wait' point of the script",
     {Key::PAGE_UP, std::nullopt},
     [](Session& session) {
       session.previous_point();
       return Command::NONE;
     }},
    {"PageDown",
     "the next 'at' or 'wait' point",
     {Key::PAGE_DOWN, std::nullopt},
     [](Session& session) {
       session.next_point();
       return Command::NONE;
     }},
    {",",
     "one frame back, while paused",
     {Key::COMMA, std::nullopt},
     [](Session& session) {
       session.step_back();
       return Command::NONE;
     }},
    {".",
     "one frame forward, while paused",
     {Key::PERIOD, std::nullopt},
     [](Session& session) {
       session.step_forward();
       return Command::NONE;
     }},
    {"Home",
     "frame 0",
     {Key::HOME, std::nullopt},
     [](Session& session) {
       session.seek(0);
       return Command::NONE;
     }},
    {"r",
     "reload now (and rebuild, with --rebuild)",
     {Key::R, std::nullopt},
     [](Session& session) {
       session.reload();
       return Command::NONE;
     }},
    {"?", "these keys", {Key::QUESTION_MARK, std::nullopt}, [](Session&) { return Command::HELP; }},
    {"q, Esc", "quit", {Key::Q, Key::ESCAPE}, [](Session&) { return Command::QUIT; }},
};

}  // namespace

const std::span<const KeyAction> key_actions = actions;

const KeyAction* find_action(Key key) {
  for (const KeyAction& action : key_actions)
    if (std::find(action.bound.begin(), action.bound.end(), key) != action.bound.end())
      return &action;
  return nullptr;
}

Command press(Session& session, Key key) {
  const KeyAction* action = find_action(key);
  return action != nullptr ? action->act(session) : Command::NONE;
}

std::string keys_help() {
  size_t width = 0;
  for (const KeyAction& action : key_actions) width = std::max(width, action.keys.size());
  std::string text;
  for (const KeyAction& action : key_actions)
    text += "  " + std::string(action.keys) + std::string(width + 2 - action.keys.size(), ' ') +
            std::string(action.help) + "\n";
  return text;
}

}  // namespace preview
