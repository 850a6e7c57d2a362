#include "vision/line_crop.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

namespace {

struct Bands {
  const char* what;
  cv::Scalar above, ground, below, ink;  // RGB
};

// "Open Image" in small type on a band of `ground` just tall enough for it,
// with other bands above and below, as in a title bar, a table header or a
// highlighted row; and the box a text detector draws round the writing.
std::pair<cv::Mat, cv::RotatedRect> titleBar(const Bands& bands) {
  cv::Mat picture(60, 160, CV_8UC3, bands.above);
  const int font = cv::FONT_HERSHEY_SIMPLEX, thickness = 1;
  const double scale = 0.4;
  int baseline = 0;
  cv::Size text = cv::getTextSize("Open Image", font, scale, thickness, &baseline);
  const cv::Point origin(20, 30);
  const cv::Rect writing(origin.x, origin.y - text.height, text.width, text.height + baseline);
  cv::rectangle(picture, cv::Rect(0, writing.y - 3, picture.cols, writing.height + 6), bands.ground, cv::FILLED);
  cv::rectangle(picture, cv::Rect(0, writing.y + writing.height + 3, picture.cols, 30), bands.below, cv::FILLED);
  cv::putText(picture, "Open Image", origin, font, scale, bands.ink, thickness, cv::LINE_AA);
  cv::Rect box(writing.x - 2, writing.y - 2, writing.width + 4, writing.height + 4);
  return {picture, cv::RotatedRect(cv::Point2f(box.x + box.width / 2.0f, box.y + box.height / 2.0f),
                                   cv::Size2f(float(box.width), float(box.height)), 0)};
}

// Share of the writing pixels of `reference` (dark in it) that are dark in
// `crop` too, and share of the other pixels that are dark in `crop`.
std::pair<double, double> darkAgreement(const cv::Mat& crop, const cv::Mat& reference) {
  cv::Mat writing = reference < 128, dark = crop < 128;
  double inWriting = cv::countNonZero(writing & dark), outside = cv::countNonZero(~writing & dark);
  return {inWriting / cv::countNonZero(writing), outside / cv::countNonZero(~writing)};
}

TEST(LineCrop, GivesDarkWritingOnALightGroundWhateverTheBandsAroundTheLine) {
  const Bands plain{"black on white", {255, 255, 255}, {255, 255, 255}, {255, 255, 255}, {0, 0, 0}};
  auto [plainPicture, plainBox] = titleBar(plain);
  const cv::Mat reference = lineCrop(plainPicture, plainBox, 64);
  ASSERT_EQ(reference.rows, 80);  // 64 rows and a margin of 8 above and below

  const Bands rows[] = {
      {"white on a title bar, darker above, lighter toolbar below", {40, 40, 40}, {70, 70, 70}, {120, 120, 120},
       {240, 240, 240}},
      {"white header over a highlighted row", {120, 120, 120}, {150, 150, 150}, {220, 220, 220}, {255, 255, 255}},
      {"dark writing on a highlighted row between grey rows", {150, 150, 150}, {220, 220, 220}, {150, 150, 150},
       {40, 40, 40}},
      {"white on blue between white bands", {255, 255, 255}, {40, 80, 200}, {255, 255, 255}, {255, 255, 255}},
      {"black on yellow, bands the same as the ground", {230, 210, 40}, {230, 210, 40}, {230, 210, 40}, {0, 0, 0}},
  };
  for (const Bands& bands : rows) {
    auto [picture, box] = titleBar(bands);
    cv::Mat crop = lineCrop(picture, box, 64);
    ASSERT_EQ(crop.size(), reference.size()) << bands.what;
    auto [inWriting, outside] = darkAgreement(crop, reference);
    EXPECT_GT(inWriting, 0.7) << bands.what;
    EXPECT_LT(outside, 0.05) << bands.what;
  }
}

}  // namespace
