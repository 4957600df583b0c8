// Names from outside made safe to print on a terminal.
#include "base/printable.h"

#include <cstdint>

#include "base/fatal.h"

namespace engine {

std::string printable_name(std::string_view name) {
  std::string text;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<uint8_t>(name[i]);
    // U+0080 to U+009F are 0xC2 0x80 to 0xC2 0x9F in UTF-8; a terminal may take them as controls.
    const bool c1 = byte == 0xC2 && i + 1 < name.size() && uint8_t(name[i + 1]) >= 0x80 &&
                    uint8_t(name[i + 1]) <= 0x9F;
    if (byte < 0x20 || byte == 0x7F || c1) {
      text += format_text("\\x%02X", byte);
      if (c1) text += format_text("\\x%02X", uint8_t(name[++i]));
    } else {
      text += name[i];
    }
  }
  return text;
}

}  // namespace engine
