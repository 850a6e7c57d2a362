#include "vision/reading_cleanup.h"

#include <gtest/gtest.h>

namespace {

TEST(CleanedReading, DropsMarksBesideTheWritingAndNoise) {
  const std::pair<const char*, const char*> rows[] = {
      // Icons, check boxes and borders read as a lone mark.
      {"| Places", "Places"},
      {"\xC2\xA9 Search", "Search"},                   // ©
      {"\xE2\x80\x9C Show guides", "Show guides"},     // “
      {"Custom padding color: |", "Custom padding color:"},
      {"| PARKING |", "PARKING"},
      {"_ File  System", "File  System"},  // the spaces inside stay
      // Marks that start real lines, and marks that are words of their own.
      {"$ head -4 /usr/share/common-licenses/GPL-3", "$ head -4 /usr/share/common-licenses/GPL-3"},
      {"# make install", "# make install"},
      {"- milk", "- milk"},
      {"> quoted", "> quoted"},
      {"Fish & Chips", "Fish & Chips"},
      {"8 Show rulers", "8 Show rulers"},
      {"|", ""},
      // Noise: letters and digits no more than half of what is not a space.
      {"@;", ""},
      {"a =", "a"},  // then too short to be kept
      {"C++", ""},
      {"10%", "10%"},
      {"Ctrl+N", "Ctrl+N"},
      {"(C)", ""},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},  // été
      {"\xEF\xBF\xBD ab", "ab"},                  // a replacement character alone
      {"", ""},
      {"   ", ""},
  };
  for (const auto& [reading, cleaned] : rows) EXPECT_EQ(cleanedReading(reading), cleaned) << reading;
}

}  // namespace
