// A small JSON reader for the tests: recordings are read back with it, on machines that have no
// other JSON reader to run.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace support {

struct Json;
using JsonArray = std::vector<Json>;
using JsonObject = std::map<std::string, Json>;

struct Json {
  std::variant<std::nullptr_t, bool, double, std::string, JsonArray, JsonObject> value;

  bool is_number() const { return std::holds_alternative<double>(value); }
  bool is_string() const { return std::holds_alternative<std::string>(value); }
  bool is_array() const { return std::holds_alternative<JsonArray>(value); }
  bool is_object() const { return std::holds_alternative<JsonObject>(value); }
  double number() const { return std::get<double>(value); }
  const std::string& string() const { return std::get<std::string>(value); }
  const JsonArray& array() const { return std::get<JsonArray>(value); }
  const JsonObject& object() const { return std::get<JsonObject>(value); }
  // The member `name` of an object, or null when there is none.
  const Json* member(const std::string& name) const;
};

// One JSON value making up the whole of `text` (white space around it allowed), or nothing when
// the text is not exactly that; `error` then says where it went wrong. Strings come back in
// UTF-8, escapes included.
std::optional<Json> parse_json(std::string_view text, std::string* error = nullptr);

}  // namespace support
