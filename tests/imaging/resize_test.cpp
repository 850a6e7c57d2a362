#include "imaging/resize.h"

#include <gtest/gtest.h>

namespace {

Picture picture(int width, int height, uint8_t r = 10, uint8_t g = 200, uint8_t b = 30) {
  auto image = std::make_shared<Image>();
  image->width = width;
  image->height = height;
  for (int i = 0; i < width * height; ++i) image->rgb.insert(image->rgb.end(), {r, g, b});
  return image;
}

TEST(Resize, PicturesThatFitComeBackAsTheSameObject) {
  for (auto [w, h] : {std::pair{100, 50}, {512, 300}, {300, 512}, {512, 512}}) {
    Picture original = picture(w, h);
    EXPECT_EQ(resize(original, 512).get(), original.get());
  }
  Picture empty = picture(0, 0);
  EXPECT_EQ(resize(empty, 0).get(), empty.get());
}

TEST(Resize, LongestSideBecomesTheLimitWithRoundedShortSide) {
  struct Case {
    int width, height;
    long limit;
    int expectWidth, expectHeight;
  };
  const std::vector<Case> cases = {
      {1920, 1080, 512, 512, 288},
      {1080, 1920, 512, 288, 512},
      {1000, 333, 512, 512, 170},  // 170.496
      {1024, 3, 512, 512, 2},      // 1.5 rounds away from zero
      {1024, 5, 512, 512, 3},      // 2.5
      {720, 405, 1, 1, 1},         // 0.5625
      {513, 513, 512, 512, 512},
  };
  for (const auto& c : cases) {
    Picture scaled = resize(picture(c.width, c.height), c.limit);
    ASSERT_TRUE(scaled) << c.width << "x" << c.height;
    EXPECT_EQ(scaled->width, c.expectWidth) << c.width << "x" << c.height;
    EXPECT_EQ(scaled->height, c.expectHeight) << c.width << "x" << c.height;
    EXPECT_EQ(scaled->rgb.size(), size_t(c.expectWidth) * c.expectHeight * 3);
  }
}

TEST(Resize, NothingWhenASideWouldVanish) {
  EXPECT_EQ(resize(picture(10000, 1), 512), nullptr);  // height 0.0512
  EXPECT_EQ(resize(picture(1, 10000), 512), nullptr);
  EXPECT_EQ(resize(picture(100, 50), 0), nullptr);
  EXPECT_EQ(resize(picture(100, 50), -512), nullptr);
  EXPECT_EQ(resize(picture(0, 0), -1), nullptr);
  EXPECT_EQ(resize(nullptr, 512), nullptr);
}

TEST(Resize, KeepsColoursAndLayout) {
  Picture flat = resize(picture(1920, 1080, 10, 200, 30), 512);
  ASSERT_TRUE(flat);
  for (size_t i = 0; i < flat->rgb.size(); i += 3) {
    ASSERT_EQ(flat->rgb[i], 10);
    ASSERT_EQ(flat->rgb[i + 1], 200);
    ASSERT_EQ(flat->rgb[i + 2], 30);
  }

  // Top half red, bottom half blue.
  auto image = std::make_shared<Image>(*picture(1000, 800, 255, 0, 0));
  for (size_t i = image->rgb.size() / 2; i < image->rgb.size(); i += 3)
    image->rgb[i] = 0, image->rgb[i + 2] = 255;
  Picture halves = resize(image, 100);
  ASSERT_TRUE(halves);
  ASSERT_EQ(halves->height, 80);
  EXPECT_EQ(halves->rgb[0], 255);
  EXPECT_EQ(halves->rgb[2], 0);
  const size_t lastPixel = halves->rgb.size() - 3;
  EXPECT_EQ(halves->rgb[lastPixel], 0);
  EXPECT_EQ(halves->rgb[lastPixel + 2], 255);
  EXPECT_EQ(image->width, 1000);  // the original is untouched
}

}  // namespace
