#include "imaging/laplacian_energy.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(LaplacianEnergy, OneBrightPixelCountsOnlyWhereItIsMeasured) {
  // Where the pixel lies, and the energy.
  const std::vector<std::pair<int, double>> cases = {
      {40 * 160 + 70, std::sqrt((1020.0 * 1020 + 4 * 255.0 * 255) / 13904)},  // 9.6713
      {0 * 160 + 70, std::sqrt(255.0 * 255 / 13904)},  // top row: only the neighbour of the pixel below
      {89 * 160 + 159, 0.0},                           // a corner is nobody's four-neighbour
  };
  for (const auto& [at, energy] : cases) {
    std::vector<uint8_t> grey(14400, 0);
    grey[at] = 255;
    EXPECT_DOUBLE_EQ(laplacianEnergyOfGrey(grey), energy) << at;
  }
  EXPECT_NEAR(cases[0].second, 9.6713, 5e-5);
}

TEST(LaplacianEnergy, FlatIsZeroACheckerboardTheMaximumOtherSizesZero) {
  for (uint8_t level : {0, 1, 128, 255}) EXPECT_EQ(laplacianEnergyOfGrey(std::vector<uint8_t>(14400, level)), 0.0);
  std::vector<uint8_t> checkerboard(14400), small(64 * 36, 0);
  for (size_t i = 0; i < checkerboard.size(); ++i) checkerboard[i] = (i % 160 + i / 160) % 2 ? 255 : 0;
  EXPECT_EQ(laplacianEnergyOfGrey(checkerboard), 1020.0);
  small[20 * 64 + 30] = 255;
  EXPECT_EQ(laplacianEnergyOfGrey(small), 0.0);
  EXPECT_EQ(laplacianEnergyOfGrey({}), 0.0);
}

Image stripes(int width, int height, int period) {
  Image image{width, height, std::vector<uint8_t>(size_t(width) * height * 3)};
  for (size_t i = 0; i < image.rgb.size(); ++i) image.rgb[i] = (i / 3 % width / period) % 2 ? 255 : 0;
  return image;
}

TEST(LaplacianEnergy, MeasuresPicturesThroughTheirGreyRendering) {
  EXPECT_EQ(laplacianEnergy(Image{720, 405, std::vector<uint8_t>(720 * 405 * 3, 77)}), 0.0);
  EXPECT_EQ(laplacianEnergy(Image{}), 0.0);
  // Stripes 16 buffer pixels wide at two resolutions score alike; squeezed
  // into 16:9, the same stripes on a portrait picture are finer.
  const double small = laplacianEnergy(stripes(720, 405, 72));
  EXPECT_GT(small, 10.0);
  EXPECT_NEAR(laplacianEnergy(stripes(1440, 810, 144)), small, 1e-9);
  EXPECT_NE(laplacianEnergy(stripes(405, 720, 72)), small);
}

}  // namespace
