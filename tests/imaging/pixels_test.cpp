#include "imaging/pixels.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/fakes.h"

namespace {

TEST(Pixels, FlatPicturesOfAnyAspectGiveTheirLinearLuminanceEverywhere) {
  struct Case {
    int width, height;
    uint8_t r, g, b, grey;
  };
  const std::vector<Case> cases = {
      {720, 405, 255, 255, 255, 255}, {405, 720, 0, 0, 0, 0},
      {3, 7, 128, 128, 128, 55},  // sRGB middle grey is about 21.6 % of white in linear light
      {1, 1, 255, 0, 0, 54},      // 0.2126 x 255
      {160, 90, 0, 255, 0, 182},  // 0.7152 x 255
      {200, 120, 0, 0, 255, 18},  // 0.0722 x 255
  };
  for (const auto& c : cases) {
    auto grey = pixels(*flatPicture(c.width, c.height, c.r, c.g, c.b), 160, 90);
    ASSERT_TRUE(grey) << c.width << "x" << c.height;
    EXPECT_EQ(grey->size(), 14400u);
    EXPECT_EQ(std::count(grey->begin(), grey->end(), c.grey), 14400) << int(c.r) << "," << int(c.g) << "," << int(c.b);
  }
  EXPECT_EQ(pixels(*flatPicture(720, 405, 1, 2, 3), 64, 36)->size(), 2304u);
}

// White on the left half (or the top half), black on the rest.
Image halfWhite(int width, int height, bool top = false) {
  Image image{width, height, std::vector<uint8_t>(size_t(width) * height * 3)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (top ? 2 * y < height : 2 * x < width) std::fill_n(&image.rgb[(size_t(y) * width + x) * 3], 3, 255);
  return image;
}

TEST(Pixels, StretchesThePictureOverTheWholeBufferInLinearLight) {
  // Half black, half white is half the light: 128, not the sRGB average (54).
  EXPECT_EQ(pixels(halfWhite(2, 1), 1, 1)->at(0), 128);
  const auto wide = pixels(halfWhite(200, 100), 160, 90), tall = pixels(halfWhite(90, 160, true), 160, 90);
  const auto small = pixels(halfWhite(4, 2), 160, 90);
  ASSERT_TRUE(wide && tall && small);
  for (int y = 0; y < 90; ++y) EXPECT_EQ(wide->at(y * 160 + 79) - wide->at(y * 160 + 80), 255) << y;
  for (int x = 0; x < 160; ++x) EXPECT_EQ(tall->at(44 * 160 + x) - tall->at(45 * 160 + x), 255) << x;  // rows top down
  EXPECT_EQ(small->at(0), 255);
  EXPECT_EQ(small->at(159), 0);
  EXPECT_EQ(small->at(89 * 160), 255);
}

TEST(Pixels, NothingForEmptyOrMalformedInputOrSizes) {
  EXPECT_FALSE(pixels(Image{}, 160, 90));
  EXPECT_FALSE(pixels(Image{0, 10, {}}, 160, 90));
  EXPECT_FALSE(pixels(Image{2, 2, std::vector<uint8_t>(11)}, 160, 90));
  for (auto [w, h] : {std::pair{0, 90}, {160, 0}, {-160, 90}, {160, -90}})
    EXPECT_FALSE(pixels(*flatPicture(4, 4, 9, 9, 9), w, h)) << w << "x" << h;
}

}  // namespace
