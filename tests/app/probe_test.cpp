#include "app/probe.h"

#include <gtest/gtest.h>

namespace {

// The report itself is pinned byte for byte by the command-line tests.
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
