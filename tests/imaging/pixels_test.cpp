#include "imaging/pixels.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/fakes.h"

namespace {

TEST(Pixels, FlatPicturesOfAnyAspectGiveTheirLinearLevelEverywhere) {
  // sRGB middle grey 128 is about 21.6 % of white in linear light: 55.
  for (auto [w, h, level, grey] : {std::tuple{720, 405, 255, 255}, {405, 720, 0, 0}, {3, 7, 128, 55}, {1, 1, 255, 255}}) {
    const auto buffer = pixels(*flatPicture(w, h, level, level, level), 160, 90);
    ASSERT_TRUE(buffer) << w << "x" << h;
    EXPECT_EQ(buffer->size(), 14400u);
    EXPECT_EQ(std::count(buffer->begin(), buffer->end(), grey), 14400) << w << "x" << h << " at " << level;
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
  EXPECT_EQ(pixels(halfWhite(2, 1), 1, 1)->at(0), 128);  // half the light, not the sRGB average (54)
  const auto wide = pixels(halfWhite(200, 100), 160, 90), tall = pixels(halfWhite(90, 160, true), 160, 90);
  ASSERT_TRUE(wide && tall);
  for (int y = 0; y < 90; ++y) EXPECT_EQ(wide->at(y * 160 + 79) - wide->at(y * 160 + 80), 255) << y;
  for (int x = 0; x < 160; ++x) EXPECT_EQ(tall->at(44 * 160 + x) - tall->at(45 * 160 + x), 255) << x;  // rows top down
}

TEST(Pixels, NothingForEmptyOrMalformedInputOrSizes) {
  for (const Image& bad : {Image{}, Image{0, 10, {}}, Image{2, 2, std::vector<uint8_t>(11)}})
    EXPECT_FALSE(pixels(bad, 160, 90)) << bad.width << "x" << bad.height;
  for (auto [w, h] : {std::pair{0, 90}, {160, 0}, {-160, 90}, {160, -90}})
    EXPECT_FALSE(pixels(*flatPicture(4, 4, 9, 9, 9), w, h)) << w << "x" << h;
}

}  // namespace
