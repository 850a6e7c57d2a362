#include "platform/line_crop.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

namespace {

// Whatever the colours, the writing comes out black on white, upright.
TEST(LineCrop, WritingComesOutDarkOnLight) {
  struct Case {
    const char* name;
    cv::Scalar ground, ink;
    bool tall;
  } cases[] = {{"BlackOnWhite", {255, 255, 255}, {0, 0, 0}, false},
               {"WhiteOnBlack", {0, 0, 0}, {255, 255, 255}, false},
               // Nearly the same brightness: only the colour tells them apart.
               {"WhiteOnYellow", {255, 255, 0}, {255, 255, 255}, false},
               {"RedOnGreen", {0, 160, 0}, {220, 0, 0}, false},
               {"TallBoxReadTopToBottom", {255, 255, 255}, {0, 0, 0}, true}};
  for (const Case& c : cases) {
    // A short and a long "letter" in the middle of a box 100 long and 20
    // across (the tall case is the same picture turned on its side).
    cv::Mat rgb(100, 300, CV_8UC3, c.ground);
    cv::rectangle(rgb, cv::Rect(110, 42, 20, 16), c.ink, cv::FILLED);
    cv::rectangle(rgb, cv::Rect(140, 42, 50, 16), c.ink, cv::FILLED);
    cv::RotatedRect box = c.tall ? cv::RotatedRect({50, 150}, {20, 100}, 0) : cv::RotatedRect({150, 50}, {100, 20}, 0);
    if (c.tall) cv::transpose(rgb, rgb);
    cv::Mat crop = lineCrop(rgb, box, 40);
    ASSERT_EQ(crop.type(), CV_8UC1) << c.name;
    // 40 rows and a 5-pixel frame; the box grows by 5 on each side, so
    // 110 × 30 source pixels scaled by 4/3.
    EXPECT_EQ(crop.rows, 50) << c.name;
    EXPECT_NEAR(crop.cols, 157, 1) << c.name;
    EXPECT_LT(crop.at<uint8_t>(25, 5 + (120 - 95) * 4 / 3), 30) << c.name;   // middle of the first letter
    EXPECT_GT(crop.at<uint8_t>(25, 5 + (135 - 95) * 4 / 3), 225) << c.name;  // gap after it
    EXPECT_EQ(crop.at<uint8_t>(0, 0), 255) << c.name;
  }
}

TEST(LineCrop, BoxesOutsideThePictureOrEmptyStillGiveALine) {
  cv::Mat rgb(100, 300, CV_8UC3, cv::Scalar(0, 0, 0));
  EXPECT_EQ(lineCrop(rgb, cv::RotatedRect({290, 95}, {60, 20}, 0), 40).rows, 50);
  cv::Mat dot = lineCrop(rgb, cv::RotatedRect({10, 10}, {0, 0}, 0), 40);
  EXPECT_EQ(dot.rows, 50);
  EXPECT_GE(dot.cols, 11);
}

}  // namespace
