#include "imaging/resize.h"

#include <cmath>
#include <opencv2/imgproc.hpp>

Picture resize(const Picture& picture, long longestSide) {
  if (!picture) return nullptr;
  const long width = picture->width;
  const long height = picture->height;
  const long longest = height > width ? height : width;
  if (longest <= longestSide) return picture;

  const double scale = static_cast<double>(longestSide) / static_cast<double>(longest);
  const double newWidth = std::round(scale * static_cast<double>(width));
  const double newHeight = std::round(scale * static_cast<double>(height));
  // Also false for NaN, which a negative longestSide gives on an empty picture.
  if (!(newWidth >= 1 && newHeight >= 1)) return nullptr;
  if (width <= 0 || height <= 0 ||
      picture->rgb.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 3)
    return nullptr;

  auto scaled = std::make_shared<Image>();
  scaled->width = static_cast<int>(newWidth);
  scaled->height = static_cast<int>(newHeight);
  scaled->rgb.resize(static_cast<size_t>(scaled->width) * static_cast<size_t>(scaled->height) * 3);
  // Area averaging: every output pixel is the mean of the input pixels it
  // covers, which keeps fine detail without the ringing of sharper filters.
  const cv::Mat source(picture->height, picture->width, CV_8UC3, const_cast<uint8_t*>(picture->rgb.data()));
  cv::Mat target(scaled->height, scaled->width, CV_8UC3, scaled->rgb.data());
  try {
    cv::resize(source, target, target.size(), 0, 0, cv::INTER_AREA);
  } catch (const cv::Exception& error) {
    if (error.code == cv::Error::StsNoMem) throw std::bad_alloc();
    return nullptr;
  }
  return scaled;
}
