#include "imaging/resize.h"

#include <gtest/gtest.h>

#include "support/fakes.h"

namespace {

TEST(Resize, LongestSideBecomesTheLimitWithRoundedShortSide) {
  struct Case {
    int width, height;
    long limit;
    int expectWidth, expectHeight;  // 0 x 0: nothing; -1 x -1: the same object
  };
  const std::vector<Case> cases = {
      {100, 50, 512, -1, -1},      {512, 300, 512, -1, -1},     {300, 512, 512, -1, -1},
      {512, 512, 512, -1, -1},     {0, 0, 0, -1, -1},           {1920, 1080, 512, 512, 288},
      {1080, 1920, 512, 288, 512}, {1000, 333, 512, 512, 170},  // 170.496
      {1024, 3, 512, 512, 2},      // 1.5 rounds away from zero
      {1024, 5, 512, 512, 3},      // 2.5
      {720, 405, 1, 1, 1},         // 0.5625
      {513, 513, 512, 512, 512},   {10000, 1, 512, 0, 0},       // height 0.0512
      {1, 10000, 512, 0, 0},       {100, 50, 0, 0, 0},          {100, 50, -512, 0, 0}, {0, 0, -1, 0, 0},
  };
  for (const auto& c : cases) {
    const Picture original = flatPicture(c.width, c.height, 10, 200, 30), scaled = resize(original, c.limit);
    const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) + " to " + std::to_string(c.limit);
    if (c.expectWidth <= 0) {
      EXPECT_EQ(scaled, c.expectWidth ? original : nullptr) << name;
      continue;
    }
    ASSERT_TRUE(scaled) << name;
    EXPECT_EQ(std::pair(scaled->width, scaled->height), std::pair(c.expectWidth, c.expectHeight)) << name;
    EXPECT_EQ(scaled->rgb, flatPicture(c.expectWidth, c.expectHeight, 10, 200, 30)->rgb) << name;  // colours kept
  }
  EXPECT_EQ(resize(nullptr, 512), nullptr);
}

TEST(Resize, KeepsTheLayout) {
  auto image = std::make_shared<Image>(*flatPicture(1000, 800, 255, 0, 0));  // top half red, bottom half blue
  for (size_t i = image->rgb.size() / 2; i < image->rgb.size(); i += 3) image->rgb[i] = 0, image->rgb[i + 2] = 255;
  Picture halves = resize(image, 100);
  ASSERT_TRUE(halves && halves->height == 80);
  EXPECT_EQ(std::vector<uint8_t>(halves->rgb.begin(), halves->rgb.begin() + 3), (std::vector<uint8_t>{255, 0, 0}));
  EXPECT_EQ(std::vector<uint8_t>(halves->rgb.end() - 3, halves->rgb.end()), (std::vector<uint8_t>{0, 0, 255}));
}

}  // namespace
