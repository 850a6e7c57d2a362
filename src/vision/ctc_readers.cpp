#include "vision/ctc_readers.h"

#include "vision/two_halves.h"

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
  inTwoHalves(crops.size(), [&](size_t which, size_t i) { readings[i] = readers[which]->read(crops[i]); });
  return readings;
}
