// The manual pages as built: clean under mandoc's lint, and describing every option, command,
// instruction and effect class the programs and the engine's tables hold.
#include <gtest/gtest.h>

#include <cctype>
#include <sstream>

#include "engine/opcodes.h"
#include "fixtures/process.h"
#include "fx/fx_info.h"
#include "player/player_command_line.h"
#include "tools/dat/cli.h"
#include "tools/preview/play_options.h"
#include "tools/render/options.h"

namespace {

const char* const PAGES[] = {"tundra.1", "tundra-render.1", "tundra-dat.1", "tundra-show.5"};

std::string page_path(const std::string& page) {
  return std::string(TUNDRA_MAN_DIR) + "/" + page;
}

// The page as a reader sees it: mandoc's plain-text rendering without its overstrikes.
std::string page_text(const std::string& page) {
  std::string ascii =
      support::run_command("mandoc -T ascii " + support::shell_quote(page_path(page)));
  std::string text;
  for (char c : ascii) {
    if (c == '\b' && !text.empty())
      text.pop_back();  // "x\bx" is bold x, "_\bx" underlined x: keep the second
    else
      text += c;
  }
  return text;
}

// Whether `word` stands in `text` as a word of its own: "--raw" is not found in "--raw-grey".
bool has_word(const std::string& text, const std::string& word) {
  auto part_of_word = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-';
  };
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    bool starts = at == 0 || !part_of_word(text[at - 1]);
    bool ends = at + word.size() == text.size() || !part_of_word(text[at + word.size()]);
    if (starts && ends) return true;
  }
  return false;
}

std::vector<std::string> every_option(const std::vector<engine::OptionText>& options) {
  std::vector<std::string> names = {std::string(engine::HELP_OPTION),
                                    std::string(engine::HELP_SHORT),
                                    std::string(engine::VERSION_OPTION)};
  for (const engine::OptionText& option : options) names.emplace_back(option.name);
  return names;
}

// scdoc begins every paragraph with .PP, also right after a heading or another paragraph
// macro, where roff skips it; mandoc reports each of those. Everything else it says is a fault.
TEST(ManualPages, LintCleanUnderMandoc) {
  for (const char* page : PAGES) {
    std::string report = support::run_command("mandoc -T lint -W warning " +
                                              support::shell_quote(page_path(page)) + " 2>&1");
    std::istringstream lines(report);
    for (std::string line; std::getline(lines, line);)
      if (line.find("skipping paragraph macro: PP") == std::string::npos) ADD_FAILURE() << line;
    EXPECT_NE(page_text(page).find("tundra " TUNDRA_VERSION), std::string::npos) << page;
  }
}

TEST(ManualPages, EachProgramsPageDescribesEveryOptionItAccepts) {
  struct Program {
    const char* page;
    std::vector<std::string> words;
  };
  std::vector<std::string> dat_words = every_option(tools::dat_option_texts());
  for (std::string_view command : tools::command_names()) dat_words.emplace_back(command);
  for (const std::string& option : every_option(engine::option_texts(preview::play_options)))
    dat_words.push_back(option);
  dat_words.emplace_back("play");
  const Program programs[] = {
      {"tundra.1", every_option(engine::option_texts(engine::player_options))},
      {"tundra-render.1", every_option(engine::option_texts(tools::render::render_options))},
      {"tundra-dat.1", dat_words},
  };
  for (const Program& program : programs) {
    std::string text = page_text(program.page);
    for (const std::string& word : program.words)
      EXPECT_TRUE(has_word(text, word)) << program.page << " does not describe " << word;
  }
}

TEST(ManualPages, TheShowPageHoldsEveryInstructionClassAndParameter) {
  std::string text = page_text("tundra-show.5");
  EXPECT_EQ(text.find('@'), std::string::npos) << "a marker was left unfilled";
  for (const engine::OpcodeInfo& info : engine::opcode_table) {
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(info.code));
    EXPECT_TRUE(has_word(text, info.name)) << info.name;
    EXPECT_TRUE(has_word(text, code)) << code;
  }
  for (size_t id = 0; id < fx::fx_classes.size(); ++id) {
    const fx::FxClass& info = *fx::fx_classes[id];
    EXPECT_NE(text.find(std::to_string(id) + " " + std::string(info.name) + ":"), std::string::npos)
        << info.name;
    for (const fx::ParamInfo& param : info.params) {
      char code[8];
      std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(param.id));
      EXPECT_NE(text.find(std::string(param.name) + " (" + code), std::string::npos)
          << info.name << " " << param.name;
    }
  }
}

}  // namespace
