#include "base/utf8.h"

#include <utf8proc.h>

#include <cstdlib>
#include <memory>

Utf8Char utf8CharAt(std::string_view text, size_t at) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[at + k]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {lead, 1};
  size_t length;
  unsigned char low = 0x80, high = 0xBF;
  int32_t codepoint;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, codepoint = lead & 0x1F;
  else if (lead == 0xE0) length = 3, low = 0xA0, codepoint = lead & 0x0F;
  else if (lead >= 0xE1 && lead <= 0xEC) length = 3, codepoint = lead & 0x0F;
  else if (lead == 0xED) length = 3, high = 0x9F, codepoint = lead & 0x0F;
  else if (lead >= 0xEE && lead <= 0xEF) length = 3, codepoint = lead & 0x0F;
  else if (lead == 0xF0) length = 4, low = 0x90, codepoint = lead & 0x07;
  else if (lead >= 0xF1 && lead <= 0xF3) length = 4, codepoint = lead & 0x07;
  else if (lead == 0xF4) length = 4, high = 0x8F, codepoint = lead & 0x07;
  else return {};
  if (at + length > text.size()) return {};
  // The second byte's range rules out overlong forms, surrogates and code
  // points beyond U+10FFFF.
  if (byte(1) < low || byte(1) > high) return {};
  for (size_t k = 1; k < length; ++k) {
    if (byte(k) < 0x80 || byte(k) > 0xBF) return {};
    codepoint = codepoint << 6 | (byte(k) & 0x3F);
  }
  return {codepoint, length};
}

namespace {

bool inCategories(int32_t codepoint, utf8proc_category_t first, utf8proc_category_t last) {
  if (codepoint < 0) return false;
  auto category = utf8proc_category(codepoint);
  return category >= first && category <= last;
}

}  // namespace

bool isLetter(int32_t codepoint) { return inCategories(codepoint, UTF8PROC_CATEGORY_LU, UTF8PROC_CATEGORY_LO); }

bool isLetterOrNumber(int32_t codepoint) {
  return isLetter(codepoint) || inCategories(codepoint, UTF8PROC_CATEGORY_ND, UTF8PROC_CATEGORY_NO);
}

std::string validUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const Utf8Char c = utf8CharAt(text, at);
    if (c.codepoint >= 0)
      out.append(text.substr(at, c.length));
    else
      out.append("\xEF\xBF\xBD");
    at += c.length;
  }
  return out;
}

std::string canonicalForm(const std::string& text) {
  std::unique_ptr<utf8proc_uint8_t, decltype(&std::free)> composed(
      utf8proc_NFC(reinterpret_cast<const utf8proc_uint8_t*>(text.c_str())), &std::free);
  if (!composed) return text;
  return reinterpret_cast<const char*>(composed.get());
}
