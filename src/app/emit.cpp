#include "app/emit.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/interruption.h"
#include "base/utf8.h"

namespace {

bool appendString(std::string& out, std::string_view s) {
  out += '"';
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80) {
      const Utf8Char character = utf8CharAt(s, i);
      if (character.codepoint < 0) return false;
      out.append(s.substr(i, character.length));
      i += character.length;
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '/': out += "\\/"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  out += '"';
  return true;
}

bool appendNumber(std::string& out, double value) {
  if (!std::isfinite(value)) return false;
  char digits[32];
  auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
  if (error != std::errc()) return false;
  std::string_view text(digits, end - digits);
  out += text;
  // Keep a double recognisable as one: 30.0, not 30.
  if (text.find_first_of(".e") == std::string_view::npos) out += ".0";
  return true;
}

bool appendValue(std::string& out, const Document& value) {
  switch (value.type()) {
    case Document::value_t::null: out += "null"; return true;
    case Document::value_t::boolean: out += value.get<bool>() ? "true" : "false"; return true;
    case Document::value_t::number_integer: out += std::to_string(value.get<int64_t>()); return true;
    case Document::value_t::number_unsigned: out += std::to_string(value.get<uint64_t>()); return true;
    case Document::value_t::number_float: return appendNumber(out, value.get<double>());
    case Document::value_t::string: return appendString(out, value.get_ref<const std::string&>());
    case Document::value_t::array: {
      out += '[';
      bool first = true;
      for (const auto& element : value) {
        if (!first) out += ',';
        first = false;
        if (!appendValue(out, element)) return false;
      }
      out += ']';
      return true;
    }
    case Document::value_t::object: {
      out += '{';
      bool first = true;
      for (const auto& [key, member] : value.items()) {
        if (!first) out += ',';
        first = false;
        if (!appendString(out, key)) return false;
        out += ':';
        if (!appendValue(out, member)) return false;
      }
      out += '}';
      return true;
    }
    default: return false;  // binary and discarded values have no JSON form
  }
}

}  // namespace

std::optional<std::string> encodeJson(const Document& document) {
  if (!document.is_object() && !document.is_array()) return std::nullopt;  // no top-level fragments
  std::string out;
  if (!appendValue(out, document)) return std::nullopt;
  return out;
}

bool emit(const Document& document) {
  std::optional<std::string> text = encodeJson(document);
  std::string line = text ? *text : std::string(kFallbackLine);
  line += '\n';
  documentIsPrinting();
  const size_t written = std::fwrite(line.data(), 1, line.size(), stdout);
  return std::fflush(stdout) == 0 && written == line.size();
}

void die(const std::string& message) {
  emit(Document{{"ok", false}, {"error", message}});
  std::exit(1);
}
