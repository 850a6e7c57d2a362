#pragma once
#include <optional>
#include <opencv2/dnn.hpp>

#include "vision/ctc_reading.h"
#include "vision/vision.h"

// PP-OCR's text-line recogniser (run by OpenCV's DNN module): a colour crop
// of one line, kHeight rows tall and at most kWidth wide, in; its likeliest
// reading in Latin script out. OpenCV 4.6 runs the network only at the one
// input size it was prepared for at build time, so narrower crops are padded
// to kWidth; wider ones are not read.
class CtcRecogniser {
 public:
  static constexpr int kHeight = 48, kWidth = 192;
  // Loads the embedded network (about 25 MB once loaded) and its symbols;
  // throws Fail when the network does not load.
  CtcRecogniser();

  // The reading of `rgb` (8-bit, 3 channels, kHeight rows, at most kWidth
  // columns), or none when nothing was read or the crop does not fit.
  std::optional<RecognizedText> read(const cv::Mat& rgb);

 private:
  cv::dnn::Net net_;
  CtcAlphabet alphabet_;
};
