#include "platform/text_lines.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

namespace {

cv::Mat emptyMap() { return cv::Mat::zeros(100, 200, CV_32F); }

void paint(cv::Mat& map, cv::Rect area, float value) { map(area).setTo(value); }

TEST(TextLines, OneConfidentRegionGrowsByTheUnclipDistance) {
  cv::Mat map = emptyMap();
  paint(map, {10, 20, 101, 11}, 0.9f);  // pixel centres 10..110 × 20..30
  auto lines = textLines(map, 1, 1);
  ASSERT_EQ(lines.size(), 1u);
  cv::Rect2f bounds = lines[0].boundingRect2f();
  // 100 × 10 between pixel centres, grown by 100·10·1.6 / (2·110) ≈ 7.27 per side.
  EXPECT_NEAR(bounds.width, 114.5, 0.5);
  EXPECT_NEAR(bounds.height, 24.5, 0.5);
  EXPECT_NEAR(lines[0].center.x, 60, 0.5);
  EXPECT_NEAR(lines[0].center.y, 25, 0.5);
}

TEST(TextLines, ScalesIntoPictureCoordinates) {
  cv::Mat map = emptyMap();
  paint(map, {10, 20, 101, 11}, 0.9f);
  auto lines = textLines(map, 2.0f, 0.5f);
  ASSERT_EQ(lines.size(), 1u);
  cv::Rect2f bounds = lines[0].boundingRect2f();
  EXPECT_NEAR(lines[0].center.x, 120, 1);
  EXPECT_NEAR(lines[0].center.y, 12.5, 0.5);
  EXPECT_NEAR(bounds.width, 229, 1);
  EXPECT_NEAR(bounds.height, 12.25, 0.5);
}

TEST(TextLines, WeakRegionBelowBoxThresholdIsDropped) {
  cv::Mat map = emptyMap();
  paint(map, {10, 20, 100, 10}, 0.55f);  // above the pixel threshold, below the box threshold
  EXPECT_TRUE(textLines(map, 1, 1).empty());
  paint(map, {10, 20, 100, 10}, 0.65f);
  EXPECT_EQ(textLines(map, 1, 1).size(), 1u);
}

TEST(TextLines, ValuesAtPixelThresholdAreBackground) {
  cv::Mat map = emptyMap();
  paint(map, {10, 20, 100, 10}, 0.3f);
  EXPECT_TRUE(textLines(map, 1, 1).empty());
}

TEST(TextLines, SpecksAreDropped) {
  cv::Mat map = emptyMap();
  paint(map, {10, 10, 2, 2}, 1.0f);   // 1 pixel between centres
  paint(map, {50, 50, 80, 3}, 1.0f);  // a hairline 2 pixels thick
  EXPECT_TRUE(textLines(map, 1, 1).empty());
}

TEST(TextLines, SlantedRegionKeepsItsAngle) {
  cv::Mat map = emptyMap();
  cv::RotatedRect slanted({100, 50}, {120, 12}, 20);
  cv::Point2f corners[4];
  slanted.points(corners);
  std::vector<cv::Point> polygon(corners, corners + 4);
  cv::fillConvexPoly(map, polygon, cv::Scalar(0.9));
  auto lines = textLines(map, 1, 1);
  ASSERT_EQ(lines.size(), 1u);
  float longSide = std::max(lines[0].size.width, lines[0].size.height);
  float angle = lines[0].size.width > lines[0].size.height ? lines[0].angle : lines[0].angle - 90;
  EXPECT_NEAR(std::fmod(angle + 360, 180), 20, 2);
  EXPECT_GT(longSide, 130);
}

cv::RotatedRect box(float x, float y, float w = 40, float h = 10) { return {{x, y}, {w, h}, 0}; }

TEST(ReadingOrder, RowsTopToBottomAndLeftToRightWithinARow) {
  // Row one: three words whose centres wobble by a few pixels; row two below.
  auto ordered = inReadingOrder({box(150, 61), box(100, 30), box(20, 62), box(200, 28), box(10, 31)});
  std::vector<cv::Point2f> centres;
  for (const auto& line : ordered) centres.push_back(line.center);
  EXPECT_EQ(centres, (std::vector<cv::Point2f>{{10, 31}, {100, 30}, {200, 28}, {20, 62}, {150, 61}}));
}

TEST(ReadingOrder, BoxesHalfAHeightApartAreSeparateRows) {
  auto ordered = inReadingOrder({box(10, 35), box(100, 30)});
  EXPECT_EQ(ordered[0].center, cv::Point2f(100, 30));
  EXPECT_EQ(ordered[1].center, cv::Point2f(10, 35));
}

}  // namespace

namespace {

cv::RotatedRect word(float left, float right, float y, float h = 20) {
  return {{(left + right) / 2, y}, {right - left, h}, 0};
}

struct JoinCase {
  const char* name;
  std::vector<cv::RotatedRect> boxes;
  size_t expected;
};

class JoinedWords : public testing::TestWithParam<JoinCase> {};

TEST_P(JoinedWords, JoinsOnlyPiecesOfOneLine) {
  EXPECT_EQ(joinedWords(GetParam().boxes).size(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, JoinedWords,
    testing::Values(JoinCase{"SmallGap", {word(10, 100, 50), word(110, 200, 50)}, 1},
                    JoinCase{"Overlapping", {word(10, 100, 50), word(90, 200, 50)}, 1},
                    JoinCase{"ThreeInARow", {word(10, 100, 50), word(108, 150, 52), word(160, 300, 49)}, 1},
                    JoinCase{"GapOfAHeight", {word(10, 100, 50), word(120, 200, 50)}, 2},
                    JoinCase{"MuchTaller", {word(10, 100, 50), word(105, 200, 50, 30)}, 2},
                    JoinCase{"NotLevel", {word(10, 100, 50), word(105, 200, 56)}, 2},
                    JoinCase{"Slanted", {word(10, 100, 50), cv::RotatedRect({150, 50}, {90, 20}, 20)}, 2},
                    JoinCase{"Single", {word(10, 100, 50)}, 1}),
    [](const auto& info) { return info.param.name; });

TEST(JoinedWordsBox, SpansBothPieces) {
  auto lines = joinedWords({word(10, 100, 50), word(110, 200, 50)});
  ASSERT_EQ(lines.size(), 1u);
  cv::Rect2f bounds = lines[0].boundingRect2f();
  EXPECT_NEAR(bounds.x, 10, 0.5);
  EXPECT_NEAR(bounds.x + bounds.width, 200, 0.5);
  EXPECT_NEAR(bounds.height, 20, 0.5);
}

}  // namespace
