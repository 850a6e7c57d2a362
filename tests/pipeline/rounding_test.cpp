#include "pipeline/rounding.h"

#include <gtest/gtest.h>

namespace {

TEST(Rounding, SecondsInDoublePrecision) {
  const std::vector<std::pair<double, double>> cases = {
      {12.345, 12.35}, {1.005, 1.0}, {0.125, 0.13}, {0.004999, 0.0}, {0.005, 0.01}, {-0.125, -0.13}};
  for (const auto& [value, expected] : cases) EXPECT_EQ(roundedSeconds(value), expected) << value;
}

TEST(Rounding, SingleThenWidened) {
  const std::vector<std::pair<float, double>> cases = {
      {0.8765f, 0.8799999952316284}, {0.5f, 0.5}, {0.125f, 0.12999999523162842}, {0.9f, 0.8999999761581421},
      {30.0f, 30.0}, {29.97f, 29.969999313354492}, {static_cast<float>(30000.0 / 1001.0), 29.969999313354492}};
  for (const auto& [value, expected] : cases) EXPECT_EQ(roundedSingle(value), expected) << value;
}

}  // namespace
