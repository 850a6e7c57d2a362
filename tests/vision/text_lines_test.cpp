#include "vision/text_lines.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

TEST(TextLines, ThresholdsUnclipAndScaling) {
  struct Case {
    const char* name;
    std::vector<cv::Rect> areas;
    float value, scaleX, scaleY;
    size_t lines;
    cv::Point2f centre = {};
    cv::Size2f bounds = {};  // unchecked when empty
  };
  // Pixel centres 10..110 × 20..30: 100 × 10, grown by 100·10·1.6 / (2·110)
  // ≈ 7.27 on each side.
  const cv::Rect text{10, 20, 101, 11};
  const Case cases[] = {
      {"Confident", {text}, 0.9f, 1, 1, 1, {60, 25}, {114.5f, 24.5f}},
      {"Scaled", {text}, 0.9f, 2, 0.5f, 1, {120, 12.5f}, {229, 12.25f}},
      {"AboveBoxThreshold", {text}, 0.65f, 1, 1, 1},
      {"BelowBoxThreshold", {text}, 0.55f, 1, 1, 0},
      {"AtPixelThreshold", {text}, 0.3f, 1, 1, 0},
      // A region 1 pixel across between centres, and a hairline 2 pixels thick.
      {"Specks", {{10, 10, 2, 2}, {50, 50, 80, 3}}, 1.0f, 1, 1, 0},
  };
  for (const Case& c : cases) {
    cv::Mat map = cv::Mat::zeros(100, 200, CV_32F);
    for (const cv::Rect& area : c.areas) map(area).setTo(c.value);
    auto lines = textLines(map, c.scaleX, c.scaleY);
    ASSERT_EQ(lines.size(), c.lines) << c.name;
    if (c.bounds.empty()) continue;
    cv::Rect2f box = lines[0].boundingRect2f();
    EXPECT_NEAR(lines[0].center.x, c.centre.x, 0.5 * c.scaleX) << c.name;
    EXPECT_NEAR(lines[0].center.y, c.centre.y, 0.5) << c.name;
    EXPECT_NEAR(box.width, c.bounds.width, 0.5 * c.scaleX) << c.name;
    EXPECT_NEAR(box.height, c.bounds.height, 0.5) << c.name;
  }
}

// A level box from `left` to `right` centred on row `y`.
cv::RotatedRect word(float left, float right, float y, float h = 10) {
  return {{(left + right) / 2, y}, {right - left, h}, 0};
}

TEST(ReadingOrder, RowsTopToBottomThenLeftToRight) {
  const std::tuple<const char*, std::vector<cv::RotatedRect>, std::vector<cv::Point2f>> cases[] = {
      // Centres wobbling by a few pixels share a row.
      {"TwoRows",
       {word(130, 170, 61), word(80, 120, 30), word(0, 40, 62), word(180, 220, 28), word(-10, 30, 31)},
       {{10, 31}, {100, 30}, {200, 28}, {20, 62}, {150, 61}}},
      {"HalfAHeightApart", {word(-10, 30, 35), word(80, 120, 30)}, {{100, 30}, {10, 35}}},
  };
  for (const auto& [name, boxes, expected] : cases) {
    std::vector<cv::Point2f> centres;
    for (const auto& line : inReadingOrder(boxes)) centres.push_back(line.center);
    EXPECT_EQ(centres, expected) << name;
  }
}

TEST(JoinedWords, JoinsOnlyPiecesOfOneLine) {
  const std::tuple<const char*, std::vector<cv::RotatedRect>, size_t> cases[] = {
      {"SmallGap", {word(10, 100, 50, 20), word(110, 200, 50, 20)}, 1},
      {"Overlapping", {word(10, 100, 50, 20), word(90, 200, 50, 20)}, 1},
      {"ThreeInARow", {word(10, 100, 50, 20), word(108, 150, 52, 20), word(160, 300, 49, 20)}, 1},
      {"GapOfAHeight", {word(10, 100, 50, 20), word(120, 200, 50, 20)}, 2},
      {"MuchTaller", {word(10, 100, 50, 20), word(105, 200, 50, 30)}, 2},
      {"NotLevel", {word(10, 100, 50, 20), word(105, 200, 56, 20)}, 2},
      {"Slanted", {word(10, 100, 50, 20), cv::RotatedRect({150, 50}, {90, 20}, 20)}, 2},
  };
  for (const auto& [name, boxes, lines] : cases) EXPECT_EQ(joinedWords(boxes).size(), lines) << name;
  cv::Rect2f joined = joinedWords(std::get<1>(cases[0])).at(0).boundingRect2f();
  EXPECT_NEAR(joined.x, 10, 0.5);
  EXPECT_NEAR(joined.x + joined.width, 200, 0.5);
  EXPECT_NEAR(joined.height, 20, 0.5);
}

}  // namespace
