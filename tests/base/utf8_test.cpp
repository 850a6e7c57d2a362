#include "base/utf8.h"

#include <gtest/gtest.h>

namespace {

TEST(ValidUtf8, ReplacesEachBadByteAndKeepsGoodText) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"caf\u00e9 \u20ac \U0001F600", "caf\u00e9 \u20ac \U0001F600"},
      {"a\xffz", "a\uFFFDz"},
      {"\xc3", "\uFFFD"},                      // cut-off two-byte sequence
      {"\xc3(", "\uFFFD("},                    // continuation byte missing
      {"\xe2\x82", "\uFFFD\uFFFD"},            // cut-off three-byte sequence
      {"\xed\xa0\x80", "\uFFFD\uFFFD\uFFFD"},  // encoded surrogate
      {"\xc0\xaf", "\uFFFD\uFFFD"},            // overlong slash
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(validUtf8(in), out) << testing::PrintToString(in);
}

}  // namespace
