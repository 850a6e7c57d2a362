#include "base/lines.h"

#include <gtest/gtest.h>

namespace {

TEST(LinesOf, SplitsAtLineBreaksKeepingEmptyLines) {
  using Lines = std::vector<std::string_view>;
  EXPECT_EQ(linesOf(""), Lines{});
  EXPECT_EQ(linesOf("\n"), Lines{""});
  EXPECT_EQ(linesOf("a\n\nb"), (Lines{"a", "", "b"}));
  EXPECT_EQ(linesOf("a\r\nb\r\n"), (Lines{"a", "b"}));
  EXPECT_EQ(linesOf("a\rb\n"), Lines{"a\rb"});  // a lone CR is no line break
}

}  // namespace
