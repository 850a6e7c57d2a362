#include "vision/line_crop.h"

#include <gtest/gtest.h>

#include <algorithm>

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

TEST(LineCrop, WidthIsKnownBeforeTheCropIsMade) {
  // Level, tilted, running downwards (a book's spine), one pixel tall, and
  // wider than the picture: the width told is the crop's, at every height.
  const cv::Mat picture(120, 200, CV_8UC3, cv::Scalar(200, 200, 200));
  const cv::RotatedRect boxes[] = {
      {{100, 60}, {80, 12}, 0},  {{100, 60}, {80, 12}, 17}, {{100, 60}, {12, 80}, 0},
      {{100, 60}, {3.4f, 1}, 0}, {{100, 60}, {0, 0}, 0},    {{100, 60}, {500, 9.5f}, -3},
  };
  for (const cv::RotatedRect& box : boxes)
    for (int height : {32, 48, 64})
      EXPECT_EQ(lineCropWidth(box, height), lineCrop(picture, box, height).cols)
          << box.size.width << "x" << box.size.height << " at " << box.angle << " degrees, " << height << " rows";
}

// A file list's row on the grey of a highlighted row: a light blue folder
// icon before or after "2017" in dark grey, or an icon of the ground's own
// colour (none to see).
struct IconRow {
  const char* what;
  cv::Scalar ground, icon;
  int iconWidth;
  bool iconAfter = false;
};

TEST(LineCrop, KeepsTheWritingDarkWhenAnIconOfAnotherColourStandsBesideIt) {
  const IconRow rows[] = {
      {"folder before the name on a highlighted row", {150, 150, 150}, {210, 157, 107}, 11},
      {"folder after the name", {150, 150, 150}, {210, 157, 107}, 11, true},
      {"no icon", {150, 150, 150}, {150, 150, 150}, 11},
  };
  for (const IconRow& row : rows) {
    cv::Mat picture(40, 120, CV_8UC3, row.ground);
    const int textX = row.iconAfter ? 20 : 36, iconX = row.iconAfter ? 70 : 20;
    cv::rectangle(picture, cv::Rect(iconX, 14, row.iconWidth, 10), row.icon, cv::FILLED);
    cv::putText(picture, "2017", {textX, 25}, cv::FONT_HERSHEY_SIMPLEX, 0.4, cv::Scalar(73, 71, 71), 1, cv::LINE_AA);
    const cv::Mat grey = lineCrop(picture, cv::RotatedRect({45, 19.5f}, {62, 15}, 0), 64);
    // The crop holds the box (from x = 14) and a quarter of its height on
    // either side, scaled to 64 rows, inside a margin of 8.
    const float cropLeft = 14 - 15 / 4.0f, scale = 64 / (15 * 1.5f);
    auto columns = [&](int from, int to) {
      auto column = [&](int x) { return std::clamp(8 + cvRound((float(x) - cropLeft) * scale), 0, grey.cols); };
      return grey(cv::Range(8, grey.rows - 8), cv::Range(column(from), column(to)));
    };
    const cv::Mat text = columns(textX, textX + 26), icon = columns(iconX + 2, iconX + row.iconWidth - 2);
    EXPECT_GT(cv::countNonZero(text < 128), 0.1 * text.total()) << row.what;
    EXPECT_LT(cv::countNonZero(icon < 128), 0.05 * icon.total()) << row.what;
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

// A road sign: `top` over `bottom` in black on a grainy white plate with a
// black border, over a photograph, and the one box a text detector draws
// round both lines (or round `top` alone when `bottom` is empty).
struct Sign {
  const char* what;
  std::string top, bottom;
  double topScale, bottomScale;
  int gap;  // pixels between the lines, or from the top line to its underline
  bool underline = false;
};

struct DrawnSign {
  cv::Mat picture;
  cv::RotatedRect box;
  float between;  // y between the lines
};

DrawnSign sign(const Sign& wanted) {
  cv::Mat picture(120, 120, CV_8UC3);
  cv::RNG(3).fill(picture, cv::RNG::UNIFORM, cv::Scalar::all(40), cv::Scalar::all(220));
  cv::Mat plate = picture(cv::Rect(20, 10, 80, 100));
  plate.setTo(cv::Scalar::all(225));
  cv::Mat grain(plate.size(), CV_8UC3);
  cv::RNG(5).fill(grain, cv::RNG::NORMAL, cv::Scalar::all(0), cv::Scalar::all(9));
  plate += grain;
  cv::rectangle(picture, cv::Rect(22, 12, 76, 96), cv::Scalar::all(20), 2);
  const auto font = cv::FONT_HERSHEY_DUPLEX;
  cv::Size top = cv::getTextSize(wanted.top, font, wanted.topScale, 2, nullptr);
  cv::Size bottom = wanted.bottom.empty() ? cv::Size() : cv::getTextSize(wanted.bottom, font, wanted.bottomScale, 2, nullptr);
  const int first = 30 + top.height, second = first + wanted.gap + bottom.height;
  cv::putText(picture, wanted.top, {60 - top.width / 2, first}, font, wanted.topScale, cv::Scalar::all(20), 2, cv::LINE_AA);
  if (!wanted.bottom.empty())
    cv::putText(picture, wanted.bottom, {60 - bottom.width / 2, second}, font, wanted.bottomScale, cv::Scalar::all(20), 2,
                cv::LINE_AA);
  if (wanted.underline)
    cv::line(picture, {60 - top.width / 2, first + wanted.gap}, {60 + top.width / 2, first + wanted.gap},
             cv::Scalar::all(20), 1);
  const int from = 30 - 2, to = (wanted.bottom.empty() ? first + wanted.gap : second) + 3;
  const float width = float(std::max(top.width, bottom.width) + 6);
  return {picture, cv::RotatedRect({60, (from + to) / 2.0f}, {width, float(to - from)}, 0), first + wanted.gap / 2.0f};
}

TEST(StackedLines, SplitsABoxBetweenTwoLinesOfWritingAndOnlyThere) {
  const DrawnSign stacked = sign({"US over 66", "US", "66", 0.6, 1.2, 5});
  std::vector<cv::RotatedRect> lines = stackedLines(stacked.picture, stacked.box);
  ASSERT_EQ(lines.size(), 2u);
  const float split = lines[0].center.y + lines[0].size.height / 2;
  EXPECT_NEAR(split, stacked.between, 3.0);
  EXPECT_NEAR(lines[1].center.y - lines[1].size.height / 2, split, 0.01);
  EXPECT_NEAR(lines[1].center.y + lines[1].size.height / 2, stacked.box.center.y + stacked.box.size.height / 2, 0.01);
  for (const cv::RotatedRect& line : lines) EXPECT_NEAR(line.size.width, stacked.box.size.width, 0.01);

  const Sign whole[] = {
      {"one tall line", "66", "", 1.4, 0, 0},
      {"one line with an underline", "Exit", "", 0.9, 0, 3, true},
  };
  for (const Sign& wanted : whole) {
    const DrawnSign drawn = sign(wanted);
    lines = stackedLines(drawn.picture, drawn.box);
    ASSERT_EQ(lines.size(), 1u) << wanted.what;
    EXPECT_EQ(lines[0].size, drawn.box.size) << wanted.what;
  }
  // An icon of two bars in a box a few pixels tall is no pair of lines.
  cv::Mat icon(30, 30, CV_8UC3, cv::Scalar::all(240));
  cv::rectangle(icon, cv::Rect(12, 11, 6, 3), cv::Scalar::all(30), cv::FILLED);
  cv::rectangle(icon, cv::Rect(12, 16, 6, 3), cv::Scalar::all(30), cv::FILLED);
  EXPECT_EQ(stackedLines(icon, cv::RotatedRect({15, 15}, {10, 10}, 0)).size(), 1u);
}

}  // namespace
