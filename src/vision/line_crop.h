#pragma once
#include <opencv2/core.hpp>

// The text line inside `box` cut out of `rgb` (CV_8UC3) as Tesseract reads
// lines best: upright, grey, dark text on a light ground. The box plus a
// quarter of its height above and below is scaled to `lineHeight` rows, then
// framed by a white margin of lineHeight / 8.
cv::Mat lineCrop(const cv::Mat& rgb, const cv::RotatedRect& box, int lineHeight = 48);
