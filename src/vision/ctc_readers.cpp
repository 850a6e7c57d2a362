#include "vision/ctc_readers.h"

#include <exception>
#include <opencv2/core/utility.hpp>

CtcRecogniser& CtcReaders::recogniser(size_t which) {
  if (!recognisers_[which]) recognisers_[which] = std::make_unique<CtcRecogniser>();
  return *recognisers_[which];
}

std::vector<std::optional<RecognizedText>> CtcReaders::read(const std::vector<cv::Mat>& crops) {
  std::vector<std::optional<RecognizedText>> readings(crops.size());
  if (crops.size() < 2) {
    if (!crops.empty()) readings[0] = recogniser(0).read(crops[0]);
    return readings;
  }
  // Loaded here, before the two halves start, so that a failure to load is
  // thrown on this thread.
  std::array<CtcRecogniser*, 2> readers = {&recogniser(0), &recogniser(1)};
  const size_t half = (crops.size() + 1) / 2;
  std::array<std::exception_ptr, 2> failures;
  // Inside OpenCV's parallel loop each network runs on its own thread alone.
  cv::parallel_for_(cv::Range(0, 2), [&](const cv::Range& range) {
    for (int which = range.start; which < range.end; ++which) {
      try {
        const size_t from = which == 0 ? 0 : half, to = which == 0 ? half : crops.size();
        for (size_t i = from; i < to; ++i) readings[i] = readers[size_t(which)]->read(crops[i]);
      } catch (...) {
        failures[size_t(which)] = std::current_exception();
      }
    }
  });
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
  return readings;
}
