#include "vision/line_crop.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

namespace {

struct Bands {
  const char* what;
  cv::Scalar above, ground, below, ink;  // RGB
  bool framed = false;                   // a border in the ink's colour round the writing
};

// The crop of "Open Image" in small type on a band of `ground` just tall
// enough for it, between other bands, as in a title bar, a table header or a
// highlighted row, or inside a border as on a sign; the box is the one a text
// detector draws round it.
cv::Mat titleBarCrop(const Bands& bands) {
  cv::Mat picture(60, 160, CV_8UC3, bands.above);
  int baseline = 0;
  cv::Size text = cv::getTextSize("Open Image", cv::FONT_HERSHEY_SIMPLEX, 0.4, 1, &baseline);
  const cv::Rect writing(20, 30 - text.height, text.width, text.height + baseline);
  cv::rectangle(picture, cv::Rect(0, writing.y - 3, picture.cols, writing.height + 6), bands.ground, cv::FILLED);
  cv::rectangle(picture, cv::Rect(0, writing.y + writing.height + 3, picture.cols, 30), bands.below, cv::FILLED);
  cv::putText(picture, "Open Image", {20, 30}, cv::FONT_HERSHEY_SIMPLEX, 0.4, bands.ink, 1, cv::LINE_AA);
  if (bands.framed) cv::rectangle(picture, writing + cv::Size(4, 4) - cv::Point(2, 2), bands.ink, 1);
  cv::Point2f centre(writing.x + writing.width / 2.0f, writing.y + writing.height / 2.0f);
  return lineCrop(picture, cv::RotatedRect(centre, cv::Size2f(writing.width + 4.0f, writing.height + 4.0f), 0), 64);
}

TEST(LineCrop, GivesDarkWritingOnALightGroundWhateverTheBandsAroundTheLine) {
  const cv::Mat reference = titleBarCrop({"black on white", {255, 255, 255}, {255, 255, 255}, {255, 255, 255}, {0, 0, 0}});
  ASSERT_EQ(reference.rows, 80);  // 64 rows and a margin of 8 above and below
  const cv::Mat writing = reference < 128;
  const Bands rows[] = {
      {"white on a title bar, darker above, a lighter toolbar below", {40, 40, 40}, {70, 70, 70}, {120, 120, 120},
       {240, 240, 240}},
      {"white header over a highlighted row", {120, 120, 120}, {150, 150, 150}, {220, 220, 220}, {255, 255, 255}},
      {"dark writing on a highlighted row between grey rows", {150, 150, 150}, {220, 220, 220}, {150, 150, 150},
       {40, 40, 40}},
      {"white on blue between white bands", {255, 255, 255}, {40, 80, 200}, {255, 255, 255}, {255, 255, 255}},
      {"black on orange inside the sign's border", {230, 90, 40}, {230, 90, 40}, {230, 90, 40}, {30, 30, 30}, true},
  };
  for (const Bands& bands : rows) {
    cv::Mat dark = titleBarCrop(bands) < 128;
    ASSERT_EQ(dark.size(), writing.size()) << bands.what;
    // Most of the writing dark, and next to nothing else.
    EXPECT_GT(cv::countNonZero(writing & dark), 0.7 * cv::countNonZero(writing)) << bands.what;
    EXPECT_LT(cv::countNonZero(~writing & dark), 0.05 * cv::countNonZero(~writing)) << bands.what;
  }
}

}  // namespace
