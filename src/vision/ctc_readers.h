#pragma once
#include <array>
#include <memory>
#include <optional>
#include <opencv2/core.hpp>
#include <vector>

#include "vision/ctc_recogniser.h"

// Two CTC recognisers that read a list of crops between them, one half on
// each core. The recogniser's input is too small for OpenCV to keep two
// cores busy with one reading: two readings side by side take about 11 ms
// each, against 13.5 one after the other. The second recogniser (about
// 25 MB) is loaded the first time a list has two crops.
class CtcReaders {
 public:
  // The reading of each crop, in order (as CtcRecogniser::read gives it);
  // throws Fail when a recogniser does not load.
  std::vector<std::optional<RecognizedText>> read(const std::vector<cv::Mat>& crops);

 private:
  CtcRecogniser& recogniser(size_t which);
  std::array<std::unique_ptr<CtcRecogniser>, 2> recognisers_;
};
