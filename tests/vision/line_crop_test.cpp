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

// A line of small writing from x = 20 on `ground`, the box a text detector
// draws round it, and where a button's border (taller than the line) crosses
// it: `label`, then 6 pixels on, the left edge of the button holding
// `onButton` 6 pixels further on.
struct WidgetLine {
  const char* what;
  std::string label, onButton;
  bool button = true, photoGround = false;
};

struct Drawn {
  cv::Mat picture;
  cv::RotatedRect box;
  int border;
};

Drawn widgetLine(const WidgetLine& line) {
  cv::Mat picture(60, 320, CV_8UC3, cv::Scalar(246, 245, 244));
  if (line.photoGround) cv::RNG(7).fill(picture, cv::RNG::UNIFORM, cv::Scalar::all(60), cv::Scalar::all(200));
  auto width = [](const std::string& text) {
    return text.empty() ? 0 : cv::getTextSize(text, cv::FONT_HERSHEY_SIMPLEX, 0.4, 1, nullptr).width;
  };
  int baseline = 0;
  const int height = cv::getTextSize("Mode", cv::FONT_HERSHEY_SIMPLEX, 0.4, 1, &baseline).height + baseline;
  const int border = 20 + width(line.label) + (line.label.empty() ? -6 : 6), right = border + 6;
  const cv::Rect writing(20, 30 - height + baseline, right + width(line.onButton) - 20, height);
  if (line.button)
    cv::rectangle(picture, cv::Rect(border, writing.y - 6, writing.br().x + 6 - border, height + 12),
                  cv::Scalar(182, 182, 179), 1);
  const cv::Scalar ink(46, 52, 54);
  cv::putText(picture, line.label, {20, 30}, cv::FONT_HERSHEY_SIMPLEX, 0.4, ink, 1, cv::LINE_AA);
  cv::putText(picture, line.onButton, {right, 30}, cv::FONT_HERSHEY_SIMPLEX, 0.4, ink, 1, cv::LINE_AA);
  cv::Point2f centre(writing.x + writing.width / 2.0f, writing.y + writing.height / 2.0f);
  return {picture, cv::RotatedRect(centre, cv::Size2f(writing.width + 4.0f, writing.height + 4.0f), 0), border};
}

float leftEnd(const cv::RotatedRect& box) { return box.center.x - box.size.width / 2; }
float rightEnd(const cv::RotatedRect& box) { return box.center.x + box.size.width / 2; }

TEST(WidgetParts, SplitsALineWhereAWidgetsEdgeCrossesItAndOnlyThere) {
  {
    const Drawn line = widgetLine({"a label beside a button", "Mode:", "Normal"});
    std::vector<cv::RotatedRect> parts = widgetParts(line.picture, line.box);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_NEAR(leftEnd(parts[0]), leftEnd(line.box), 0.5);
    EXPECT_LT(rightEnd(parts[0]), line.border);
    EXPECT_GT(leftEnd(parts[1]), line.border);
    // Pulled in from the button's right border too, but not past the writing.
    EXPECT_LT(rightEnd(parts[1]), rightEnd(line.box));
    EXPECT_GT(rightEnd(parts[1]), rightEnd(line.box) - 4);
    EXPECT_NEAR(parts[1].size.height, line.box.size.height, 0.5);
    EXPECT_NEAR(parts[1].center.y, line.box.center.y, 0.5);
  }
  {
    // The button's border just before the writing: the line starts clear of it.
    const Drawn line = widgetLine({"writing on a button", "", "Normal"});
    std::vector<cv::RotatedRect> parts = widgetParts(line.picture, line.box);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_GT(leftEnd(parts[0]), line.border);
    EXPECT_GT(rightEnd(parts[0]), rightEnd(line.box) - 4);
  }
  const WidgetLine whole[] = {
      {"no button", "Mode:", "Normal", false},
      {"a shell pipe", "ls |", "wc -l | sort", false},
      {"a border over a photograph", "Mode:", "Normal", true, true},
  };
  for (const WidgetLine& wanted : whole) {
    const Drawn line = widgetLine(wanted);
    std::vector<cv::RotatedRect> parts = widgetParts(line.picture, line.box);
    ASSERT_EQ(parts.size(), 1u) << wanted.what;
    EXPECT_EQ(parts[0].center, line.box.center) << wanted.what;
    EXPECT_EQ(parts[0].size, line.box.size) << wanted.what;
  }
}

}  // namespace
