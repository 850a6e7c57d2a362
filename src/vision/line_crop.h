#pragma once
#include <opencv2/core.hpp>
#include <vector>

// The median level of an 8-bit grey picture: the ground of a line crop,
// whatever the writing's colour.
int medianGrey(const cv::Mat& grey);

// The text line inside `box` cut out of `rgb` (CV_8UC3), upright and in
// colour: the box plus a quarter of its height on every side, scaled to
// `lineHeight` rows.
cv::Mat lineColourCrop(const cv::Mat& rgb, const cv::RotatedRect& box, int lineHeight);

// `box` split between two lines of writing stacked inside it, which the
// detector took as one ("US" over "66" on a road shield): the box itself
// when no row free of writing crosses its middle.
std::vector<cv::RotatedRect> stackedLines(const cv::Mat& rgb, const cv::RotatedRect& box);

// The same line as Tesseract reads lines best: grey, dark text on a light
// ground, framed by a white margin of lineCropMargin(lineHeight).
constexpr int lineCropMargin(int lineHeight) { return lineHeight / 8; }
cv::Mat lineCrop(const cv::Mat& rgb, const cv::RotatedRect& box, int lineHeight = 48);
// The width of that crop, margins included, without making it.
int lineCropWidth(const cv::RotatedRect& box, int lineHeight = 48);

// `box` split where the edge of a widget crosses the line from top to bottom
// (a button's or a field's border, a table's rule), each stretch that holds
// writing as a box of its own: "Canvas padding mode:" and the "From theme" on
// the button beside it. The box itself when no edge crosses it; stretches
// too narrow to hold more than a glyph are left out.
std::vector<cv::RotatedRect> widgetParts(const cv::Mat& rgb, const cv::RotatedRect& box);
