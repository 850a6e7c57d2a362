#include "imaging/pixels.h"

#include <gtest/gtest.h>

namespace {

Image uniform(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  Image image{width, height, {}};
  for (int i = 0; i < width * height; ++i) image.rgb.insert(image.rgb.end(), {r, g, b});
  return image;
}

// White on the left `split` columns, black to the right.
Image whiteLeft(int width, int height, int split) {
  Image image = uniform(width, height, 0, 0, 0);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < split; ++x)
      for (int c = 0; c < 3; ++c) image.rgb[(y * width + x) * 3 + c] = 255;
  return image;
}

TEST(Pixels, YieldsExactlyTheRequestedSizeWhateverTheAspect) {
  for (auto [w, h] : {std::pair{720, 405}, {405, 720}, {3, 7}, {1, 1}, {160, 90}}) {
    auto grey = pixels(uniform(w, h, 90, 90, 90), 160, 90);
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->size(), 14400u);
  }
  EXPECT_EQ(pixels(uniform(720, 405, 1, 2, 3), 64, 36)->size(), 2304u);
}

TEST(Pixels, GreyLevelsAreLinearLightLuminance) {
  struct Case {
    uint8_t r, g, b;
    uint8_t grey;
  };
  const std::vector<Case> cases = {
      {255, 255, 255, 255}, {0, 0, 0, 0},
      {128, 128, 128, 55},   // sRGB middle grey is about 21.6 % of white in linear light
      {255, 0, 0, 54},       // 0.2126 x 255
      {0, 255, 0, 182},      // 0.7152 x 255
      {0, 0, 255, 18},       // 0.0722 x 255
  };
  for (const auto& c : cases) {
    auto grey = pixels(uniform(200, 120, c.r, c.g, c.b), 160, 90);
    ASSERT_TRUE(grey);
    for (uint8_t level : *grey) ASSERT_EQ(level, c.grey) << int(c.r) << "," << int(c.g) << "," << int(c.b);
  }
}

TEST(Pixels, AveragesInLinearLight) {
  // Half black, half white is half the light: 127.5 of 255, not the
  // sRGB-space average (which would be about 54).
  auto grey = pixels(whiteLeft(2, 1, 1), 1, 1);
  ASSERT_TRUE(grey);
  EXPECT_EQ((*grey)[0], 128);
}

TEST(Pixels, StretchesThePictureOverTheWholeBuffer) {
  auto grey = pixels(whiteLeft(200, 100, 100), 160, 90);
  ASSERT_TRUE(grey);
  for (int y = 0; y < 90; ++y) {
    EXPECT_EQ((*grey)[y * 160 + 79], 255);
    EXPECT_EQ((*grey)[y * 160 + 80], 0);
  }

  // A portrait picture, white on its top half, squeezed into 160 x 90: rows
  // run top to bottom.
  Image portrait = uniform(90, 160, 0, 0, 0);
  std::fill(portrait.rgb.begin(), portrait.rgb.begin() + 90 * 80 * 3, 255);
  grey = pixels(portrait, 160, 90);
  ASSERT_TRUE(grey);
  EXPECT_EQ((*grey)[44 * 160 + 7], 255);
  EXPECT_EQ((*grey)[45 * 160 + 150], 0);
}

TEST(Pixels, EnlargesSmallPictures) {
  auto grey = pixels(whiteLeft(4, 2, 2), 160, 90);
  ASSERT_TRUE(grey);
  EXPECT_EQ((*grey)[0], 255);
  EXPECT_EQ((*grey)[159], 0);
  EXPECT_EQ((*grey)[89 * 160], 255);
}

TEST(Pixels, NothingForEmptyOrMalformedInputOrSizes) {
  EXPECT_FALSE(pixels(Image{}, 160, 90));
  EXPECT_FALSE(pixels(Image{0, 10, {}}, 160, 90));
  EXPECT_FALSE(pixels(Image{2, 2, std::vector<uint8_t>(11)}, 160, 90));
  const Image fine = uniform(4, 4, 9, 9, 9);
  EXPECT_FALSE(pixels(fine, 0, 90));
  EXPECT_FALSE(pixels(fine, 160, 0));
  EXPECT_FALSE(pixels(fine, -160, 90));
  EXPECT_FALSE(pixels(fine, 160, -90));
}

}  // namespace
