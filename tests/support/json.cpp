// Reading JSON text.
#include "support/json.h"

#include <cstdlib>

#include "display/cell_grid.h"

namespace support {

const Json* Json::member(const std::string& name) const {
  if (!is_object()) return nullptr;
  auto found = object().find(name);
  return found == object().end() ? nullptr : &found->second;
}

namespace {

struct Reader {
  std::string_view text;
  size_t at = 0;
  std::string error;

  bool fail(const std::string& what) {
    if (error.empty()) error = what + " at byte " + std::to_string(at);
    return false;
  }
  void skip_space() {
    while (at < text.size() &&
           (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r'))
      ++at;
  }
  bool take(std::string_view word) {
    if (text.substr(at, word.size()) != word) return false;
    at += word.size();
    return true;
  }

  bool hex4(uint32_t& code) {
    if (at + 4 > text.size()) return fail("a short \\u escape");
    code = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text[at++];
      code <<= 4;
      if (c >= '0' && c <= '9')
        code |= c - '0';
      else if (c >= 'a' && c <= 'f')
        code |= c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        code |= c - 'A' + 10;
      else
        return fail("a bad \\u escape");
    }
    return true;
  }

  bool string(std::string& out) {
    if (!take("\"")) return fail("a string expected");
    while (at < text.size()) {
      const char c = text[at++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return fail("a raw control character");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at >= text.size()) break;
      const char e = text[at++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          uint32_t code = 0;
          if (!hex4(code)) return false;
          // A surrogate pair is one character in two escapes.
          if (code >= 0xD800 && code < 0xDC00 && take("\\u")) {
            uint32_t low = 0;
            if (!hex4(low)) return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          }
          display::append_utf8(out, code);
          break;
        }
        default:
          return fail("an unknown escape");
      }
    }
    return fail("an unterminated string");
  }

  bool number(double& out) {
    const size_t start = at;
    if (at < text.size() && text[at] == '-') ++at;
    while (at < text.size() &&
           std::string_view("0123456789.eE+-").find(text[at]) != std::string_view::npos)
      ++at;
    const std::string digits(text.substr(start, at - start));
    char* end = nullptr;
    out = std::strtod(digits.c_str(), &end);
    if (digits.empty() || end != digits.c_str() + digits.size()) return fail("a bad number");
    return true;
  }

  bool value(Json& out, int depth) {
    if (depth > 64) return fail("nesting too deep");
    skip_space();
    if (at >= text.size()) return fail("a value expected");
    const char c = text[at];
    if (c == '{') {
      ++at;
      JsonObject object;
      skip_space();
      if (take("}")) return out.value = std::move(object), true;
      for (;;) {
        skip_space();
        std::string name;
        if (!string(name)) return false;
        skip_space();
        if (!take(":")) return fail("':' expected");
        Json member;
        if (!value(member, depth + 1)) return false;
        object[name] = std::move(member);
        skip_space();
        if (take("}")) return out.value = std::move(object), true;
        if (!take(",")) return fail("',' or '}' expected");
      }
    }
    if (c == '[') {
      ++at;
      JsonArray array;
      skip_space();
      if (take("]")) return out.value = std::move(array), true;
      for (;;) {
        Json item;
        if (!value(item, depth + 1)) return false;
        array.push_back(std::move(item));
        skip_space();
        if (take("]")) return out.value = std::move(array), true;
        if (!take(",")) return fail("',' or ']' expected");
      }
    }
    if (c == '"') {
      std::string text_value;
      if (!string(text_value)) return false;
      return out.value = std::move(text_value), true;
    }
    if (take("true")) return out.value = true, true;
    if (take("false")) return out.value = false, true;
    if (take("null")) return out.value = nullptr, true;
    double number_value = 0;
    if (!number(number_value)) return false;
    return out.value = number_value, true;
  }
};

}  // namespace

std::optional<Json> parse_json(std::string_view text, std::string* error) {
  Reader reader;
  reader.text = text;
  Json json;
  bool ok = reader.value(json, 0);
  reader.skip_space();
  if (ok && reader.at != text.size()) ok = reader.fail("text after the value");
  if (!ok) {
    if (error != nullptr) *error = reader.error;
    return std::nullopt;
  }
  return json;
}

}  // namespace support
