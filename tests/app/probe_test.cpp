#include "app/probe.h"

#include <gtest/gtest.h>

#include "app/emit.h"

namespace {

TEST(Probe, ReportHasExactlyTheSevenEntries) {
  Document report = probe();
  ASSERT_EQ(report.size(), 7u);
  EXPECT_EQ(report["ok"], true);
  EXPECT_EQ(report["frames"], true);
  EXPECT_EQ(report["vision"], true);
  EXPECT_EQ(report["local_model"], false);
  EXPECT_EQ(report["local_multimodal"], false);
  EXPECT_EQ(report["local_reason"], "this build of macOS has no Foundation Models framework");
  EXPECT_EQ(report["local_reason"].get<std::string>().size(), 54u);
  ASSERT_TRUE(report["os"].is_string());
  EXPECT_FALSE(report["os"].get<std::string>().empty());
  EXPECT_TRUE(encodeJson(report).has_value());
}

TEST(Probe, OsVersionTextFromOsReleaseAndKernel) {
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n", "6.1.0-9-amd64",
       "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-9-amd64"},
      {"PRETTY_NAME='Quoted \"Distro\"'\n", "", "Quoted \"Distro\""},
      {"NAME=Plain\n", "5.10", "Plain, Linux 5.10"},
      {"", "6.1", "Linux 6.1"},
      {"", "", "Linux"},
      {"XPRETTY_NAME=no\n", "", "Linux"},
  };
  for (const auto& [osRelease, kernel, expected] : cases) EXPECT_EQ(osVersionText(osRelease, kernel), expected);
}

}  // namespace
