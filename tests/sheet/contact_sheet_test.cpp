#include "sheet/contact_sheet.h"

#include <gtest/gtest.h>

namespace {

// Whole pages are checked in a real browser by render-in-chromium.sh.
TEST(EscapeHtml, EscapesMarkupAndRepairsText) {
  const std::string bad = "\xEF\xBF\xBD";  // U+FFFD
  struct Case { std::string in, out; } cases[] = {
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"\"'&<>", "&quot;&#39;&amp;&lt;&gt;"},
      {"caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x8E\xA5", "caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x8E\xA5"},
      {"a\xFF" "b", "a" + bad + "b"},
      {"\xC0\xAF", bad + bad},                  // overlong '/'
      {"\xED\xA0\x80", bad + bad + bad},        // surrogate
      {std::string("a\0b\x1B", 4), "a" + bad + "b" + bad},
  };
  for (const Case& c : cases) EXPECT_EQ(escapeHtml(c.in), c.out) << c.in;
}

}  // namespace
