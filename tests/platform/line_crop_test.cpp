#include "platform/line_crop.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

namespace {

// A 300 × 100 picture in `ground` with three "letters" in `ink`, filling the
// middle of the box (100..200) × (40..60).
cv::Mat picture(cv::Vec3b ground, cv::Vec3b ink) {
  cv::Mat rgb(100, 300, CV_8UC3, cv::Scalar(ground[0], ground[1], ground[2]));
  for (int x : {110, 140, 170}) cv::rectangle(rgb, cv::Rect(x, 42, 20, 16), cv::Scalar(ink[0], ink[1], ink[2]), cv::FILLED);
  return rgb;
}

const cv::RotatedRect box({150, 50}, {100, 20}, 0);

struct Case {
  const char* name;
  cv::Vec3b ground, ink;
};

class LineCropColours : public testing::TestWithParam<Case> {};

// Whatever the colours, the writing comes out black on white.
TEST_P(LineCropColours, WritingIsDarkOnLight) {
  cv::Mat crop = lineCrop(picture(GetParam().ground, GetParam().ink), box, 40);
  ASSERT_EQ(crop.type(), CV_8UC1);
  // 40 rows plus a 5-pixel frame; the box grows by 5 pixels on each side,
  // 110 × 30 source pixels scaled by 4/3.
  EXPECT_EQ(crop.rows, 50);
  EXPECT_NEAR(crop.cols, 157, 1);
  // Middle of the first letter, and the gap between the first two.
  EXPECT_LT(crop.at<uint8_t>(25, 5 + (120 - 95) * 4 / 3), 30);
  EXPECT_GT(crop.at<uint8_t>(25, 5 + (135 - 95) * 4 / 3), 225);
  EXPECT_EQ(crop.at<uint8_t>(0, 0), 255);
}

INSTANTIATE_TEST_SUITE_P(Colours, LineCropColours,
                         testing::Values(Case{"BlackOnWhite", {255, 255, 255}, {0, 0, 0}},
                                         Case{"WhiteOnBlack", {0, 0, 0}, {255, 255, 255}},
                                         // Nearly the same brightness: only the colour tells them apart.
                                         Case{"WhiteOnYellow", {255, 255, 0}, {255, 255, 255}},
                                         Case{"RedOnGreen", {0, 160, 0}, {220, 0, 0}}),
                         [](const auto& info) { return info.param.name; });

TEST(LineCrop, TallBoxIsReadTopToBottom) {
  cv::Mat rgb(300, 100, CV_8UC3, cv::Scalar(255, 255, 255));
  cv::rectangle(rgb, cv::Rect(45, 105, 10, 20), cv::Scalar(0, 0, 0), cv::FILLED);  // first "letter", at the top
  cv::rectangle(rgb, cv::Rect(45, 140, 10, 40), cv::Scalar(0, 0, 0), cv::FILLED);
  cv::Mat crop = lineCrop(rgb, cv::RotatedRect({50, 150}, {20, 100}, 0), 40);
  EXPECT_EQ(crop.rows, 50);
  EXPECT_NEAR(crop.cols, 157, 1);  // (100 + 2·5) × 4/3 + 2·5
  // The top of the box comes first, at the left of the line.
  EXPECT_LT(crop.at<uint8_t>(25, 5 + (115 - 95) * 4 / 3), 30);
  EXPECT_GT(crop.at<uint8_t>(25, 5 + (132 - 95) * 4 / 3), 225);
}

TEST(LineCrop, BoxOutsideThePictureStillGivesALine) {
  cv::Mat rgb = picture({0, 0, 0}, {255, 255, 255});
  cv::Mat crop = lineCrop(rgb, cv::RotatedRect({290, 95}, {60, 20}, 0), 40);
  EXPECT_EQ(crop.rows, 50);
}

TEST(LineCrop, DegenerateBoxGivesASmallLine) {
  cv::Mat rgb = picture({0, 0, 0}, {255, 255, 255});
  cv::Mat crop = lineCrop(rgb, cv::RotatedRect({10, 10}, {0, 0}, 0), 40);
  EXPECT_EQ(crop.rows, 50);
  EXPECT_GE(crop.cols, 11);
}

}  // namespace
