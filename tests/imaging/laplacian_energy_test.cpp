#include "imaging/laplacian_energy.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::vector<uint8_t> blank() { return std::vector<uint8_t>(160 * 90, 0); }

TEST(LaplacianEnergy, OneBrightPixelAwayFromTheEdges) {
  auto grey = blank();
  grey[40 * 160 + 70] = 255;
  EXPECT_NEAR(laplacianEnergyOfGrey(grey), 9.6713, 5e-5);
  EXPECT_DOUBLE_EQ(laplacianEnergyOfGrey(grey), std::sqrt((1020.0 * 1020 + 4 * 255.0 * 255) / 13904));
}

TEST(LaplacianEnergy, BorderPixelsAreOnlyNeighbours) {
  // A pixel on the top row is not measured itself; it only enters the
  // Laplacian of the pixel below it.
  auto grey = blank();
  grey[0 * 160 + 70] = 255;
  EXPECT_DOUBLE_EQ(laplacianEnergyOfGrey(grey), std::sqrt(255.0 * 255 / 13904));
  // A corner pixel is nobody's four-neighbour.
  grey = blank();
  grey[89 * 160 + 159] = 255;
  EXPECT_EQ(laplacianEnergyOfGrey(grey), 0.0);
}

TEST(LaplacianEnergy, FlatIsZeroAndACheckerboardIsTheMaximum) {
  for (uint8_t level : {0, 1, 128, 255}) EXPECT_EQ(laplacianEnergyOfGrey(std::vector<uint8_t>(14400, level)), 0.0);
  auto checkerboard = blank();
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 160; ++x) checkerboard[y * 160 + x] = (x + y) % 2 ? 255 : 0;
  EXPECT_EQ(laplacianEnergyOfGrey(checkerboard), 1020.0);
}

TEST(LaplacianEnergy, BuffersOfAnotherSizeScoreZero) {
  EXPECT_EQ(laplacianEnergyOfGrey({}), 0.0);
  std::vector<uint8_t> small(64 * 36, 0);
  small[20 * 64 + 30] = 255;
  EXPECT_EQ(laplacianEnergyOfGrey(small), 0.0);
}

Image stripes(int width, int height, int period) {
  Image image{width, height, std::vector<uint8_t>(size_t(width) * height * 3)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) image.rgb[(size_t(y) * width + x) * 3 + c] = (x / period) % 2 ? 255 : 0;
  return image;
}

TEST(LaplacianEnergy, MeasuresPicturesThroughTheirGreyRendering) {
  Image flat{720, 405, std::vector<uint8_t>(720 * 405 * 3, 77)};
  EXPECT_EQ(laplacianEnergy(flat), 0.0);
  EXPECT_EQ(laplacianEnergy(Image{}), 0.0);
  // Stripes 16 buffer pixels wide at two resolutions score alike.
  const double small = laplacianEnergy(stripes(720, 405, 72));
  const double large = laplacianEnergy(stripes(1440, 810, 144));
  EXPECT_GT(small, 10.0);
  EXPECT_NEAR(small, large, 1e-9);
  // Squeezed into 16:9, the same stripes on a portrait picture are finer.
  EXPECT_NE(laplacianEnergy(stripes(405, 720, 72)), small);
}

}  // namespace
