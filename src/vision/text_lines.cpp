#include "vision/text_lines.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <opencv2/imgproc.hpp>

namespace {

// Mean of the map inside the rotated box, clipped to the map.
float boxScore(const cv::Mat& probability, const cv::RotatedRect& box) {
  cv::Rect bounds = box.boundingRect() & cv::Rect(0, 0, probability.cols, probability.rows);
  if (bounds.empty()) return 0;
  cv::Point2f corners[4];
  box.points(corners);
  std::vector<cv::Point> polygon;
  for (const auto& corner : corners)
    polygon.emplace_back(cvRound(corner.x) - bounds.x, cvRound(corner.y) - bounds.y);
  cv::Mat mask = cv::Mat::zeros(bounds.size(), CV_8U);
  cv::fillPoly(mask, std::vector<std::vector<cv::Point>>{polygon}, cv::Scalar(1));
  return static_cast<float>(cv::mean(probability(bounds), mask)[0]);
}

// The box grown on every side by area × ratio ÷ perimeter: the distance by
// which the detector's training shrank the text region.
cv::RotatedRect unclipped(const cv::RotatedRect& box, float ratio) {
  float w = box.size.width, h = box.size.height;
  float distance = w * h * ratio / (2 * (w + h));
  return {box.center, cv::Size2f(w + 2 * distance, h + 2 * distance), box.angle};
}

// How far the box's long side lies from the horizontal, in degrees (0 to 90).
float degreesOffLevel(const cv::RotatedRect& box) {
  cv::Point2f corners[4];
  box.points(corners);
  cv::Point2f side1 = corners[1] - corners[0], side2 = corners[2] - corners[1];
  cv::Point2f longSide = cv::norm(side1) >= cv::norm(side2) ? side1 : side2;
  float degrees = std::abs(std::atan2(longSide.y, longSide.x)) * 180 / float(CV_PI);
  return std::min(degrees, 180 - degrees);
}

// The box's extent across its long side, when that side lies within 10
// degrees of the horizontal.
std::optional<float> levelHeight(const cv::RotatedRect& box) {
  if (degreesOffLevel(box) > 10) return std::nullopt;
  return std::min(box.size.width, box.size.height);
}

bool sameLine(const cv::RotatedRect& left, const cv::RotatedRect& right) {
  auto h1 = levelHeight(left), h2 = levelHeight(right);
  if (!h1 || !h2) return false;
  float lower = std::min(*h1, *h2), taller = std::max(*h1, *h2);
  if (taller > 1.4f * lower) return false;
  if (std::abs(left.center.y - right.center.y) > 0.25f * lower) return false;
  cv::Rect2f a = left.boundingRect2f(), b = right.boundingRect2f();
  return b.x - (a.x + a.width) < 0.6f * taller && b.x + b.width > a.x + a.width;
}

cv::RotatedRect joined(const cv::RotatedRect& a, const cv::RotatedRect& b) {
  std::vector<cv::Point2f> corners(8);
  a.points(corners.data());
  b.points(corners.data() + 4);
  return cv::minAreaRect(corners);
}

}  // namespace

std::vector<cv::RotatedRect> textLines(const cv::Mat& probability, float scaleX, float scaleY,
                                       const TextLineSettings& settings) {
  CV_Assert(probability.type() == CV_32F);
  cv::Mat bitmap = probability > settings.pixelThreshold;
  std::vector<std::vector<cv::Point>> contours;
  cv::findContours(bitmap, contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
  std::vector<cv::RotatedRect> lines;
  for (const auto& contour : contours) {
    cv::RotatedRect box = cv::minAreaRect(contour);
    if (std::min(box.size.width, box.size.height) < settings.minSide) continue;
    if (boxScore(probability, box) < settings.boxThreshold) continue;
    cv::RotatedRect grown = unclipped(box, settings.unclipRatio);
    if (std::min(grown.size.width, grown.size.height) < settings.minSide + 2) continue;
    // Back to picture coordinates; with unequal scales the rotated box is
    // taken through its corners.
    cv::Point2f corners[4];
    grown.points(corners);
    for (auto& corner : corners) corner = {corner.x * scaleX, corner.y * scaleY};
    lines.push_back(cv::minAreaRect(std::vector<cv::Point2f>(corners, corners + 4)));
  }
  return lines;
}

std::vector<cv::RotatedRect> inReadingOrder(std::vector<cv::RotatedRect> lines) {
  auto height = [](const cv::RotatedRect& box) { return box.boundingRect2f().height; };
  std::stable_sort(lines.begin(), lines.end(),
                   [](const auto& a, const auto& b) { return a.center.y < b.center.y; });
  // Rows: consecutive boxes whose centres are close in y, each row left to right.
  auto rowStart = lines.begin();
  for (auto it = lines.begin(); it != lines.end(); ++it) {
    auto next = it + 1;
    bool sameRow = next != lines.end() &&
                   next->center.y - rowStart->center.y < 0.5f * std::min(height(*rowStart), height(*next));
    if (!sameRow) {
      std::stable_sort(rowStart, next, [](const auto& a, const auto& b) { return a.center.x < b.center.x; });
      rowStart = next;
    }
  }
  return lines;
}

std::vector<cv::RotatedRect> joinedWords(const std::vector<cv::RotatedRect>& ordered) {
  std::vector<cv::RotatedRect> lines;
  for (const auto& box : ordered) {
    if (!lines.empty() && sameLine(lines.back(), box))
      lines.back() = joined(lines.back(), box);
    else
      lines.push_back(box);
  }
  return lines;
}

std::vector<cv::RotatedRect> withoutNeighbourRows(const std::vector<cv::RotatedRect>& lines) {
  auto level = [](const cv::RotatedRect& box) { return degreesOffLevel(box) <= 2; };
  std::vector<cv::RotatedRect> cut = lines;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!level(lines[i])) continue;
    const cv::Rect2f box = lines[i].boundingRect2f();
    const float centre = box.y + box.height / 2;
    float top = box.y, bottom = box.br().y;
    for (size_t j = 0; j < lines.size(); ++j) {
      if (j == i || !level(lines[j])) continue;
      const cv::Rect2f other = lines[j].boundingRect2f();
      if (other.x >= box.br().x || box.x >= other.br().x) continue;
      if (other.height > 1.4f * box.height || box.height > 1.4f * other.height) continue;
      const float otherCentre = other.y + other.height / 2;
      if (std::abs(otherCentre - centre) < 0.5f * std::min(box.height, other.height)) continue;
      const float halfway = (centre + otherCentre) / 2;
      if (otherCentre < centre && other.br().y > box.y) top = std::max(top, halfway);
      if (otherCentre > centre && other.y < box.br().y) bottom = std::min(bottom, halfway);
    }
    if ((top == box.y && bottom == box.br().y) || bottom - top < 0.4f * box.height) continue;
    cut[i] = cv::RotatedRect({box.x + box.width / 2, (top + bottom) / 2}, {box.width, bottom - top}, 0);
  }
  return cut;
}
