#pragma once
#include <opencv2/core.hpp>

// The text line inside `box` cut out of `rgb` (CV_8UC3), upright and in
// colour: the box plus a quarter of its height on every side, scaled to
// `lineHeight` rows.
cv::Mat lineColourCrop(const cv::Mat& rgb, const cv::RotatedRect& box, int lineHeight);

// The same line as Tesseract reads lines best: grey, dark text on a light
// ground, framed by a white margin of lineHeight / 8.
cv::Mat lineCrop(const cv::Mat& rgb, const cv::RotatedRect& box, int lineHeight = 48);
