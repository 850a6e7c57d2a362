#include "platform/valid_utf8.h"

#include <utf8proc.h>

std::string validUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  auto bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
  size_t at = 0;
  while (at < text.size()) {
    utf8proc_int32_t codepoint;
    utf8proc_ssize_t length = utf8proc_iterate(bytes + at, static_cast<utf8proc_ssize_t>(text.size() - at), &codepoint);
    if (length > 0) {
      out.append(text.substr(at, static_cast<size_t>(length)));
      at += static_cast<size_t>(length);
    } else {
      out.append("\xEF\xBF\xBD");
      ++at;
    }
  }
  return out;
}
