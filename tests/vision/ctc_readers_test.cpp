#include "vision/ctc_readers.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

namespace {

// A word in black on white, as a crop of the recogniser's height.
cv::Mat wordCrop(const std::string& word) {
  int baseline = 0;
  const cv::Size size = cv::getTextSize(word, cv::FONT_HERSHEY_SIMPLEX, 1.0, 2, &baseline);
  cv::Mat crop(CtcRecogniser::kHeight, std::min(size.width + 12, CtcRecogniser::kWidth), CV_8UC3, cv::Scalar::all(255));
  cv::putText(crop, word, {6, 34}, cv::FONT_HERSHEY_SIMPLEX, 1.0, cv::Scalar::all(0), 2, cv::LINE_AA);
  return crop;
}

std::string text(const std::optional<RecognizedText>& reading) { return reading ? reading->string : "(none)"; }

TEST(CtcReaders, ReadsEachCropAsOneRecogniserDoesInOrder) {
  const cv::Mat tooWide(CtcRecogniser::kHeight, CtcRecogniser::kWidth + 1, CV_8UC3, cv::Scalar::all(255));
  const cv::Mat tooLow(CtcRecogniser::kHeight - 1, 100, CV_8UC3, cv::Scalar::all(255));
  std::vector<cv::Mat> crops = {wordCrop("harbour"), wordCrop("ferry"), tooWide, wordCrop("ticket"),
                                wordCrop("pier"),    tooLow,             wordCrop("rain")};
  CtcRecogniser alone;
  std::vector<std::optional<RecognizedText>> expected;
  for (const cv::Mat& crop : crops) expected.push_back(alone.read(crop));
  EXPECT_EQ(text(expected[0]), "harbour");
  EXPECT_EQ(text(expected[2]), "(none)");
  EXPECT_EQ(text(expected[5]), "(none)");

  CtcReaders readers;
  // Odd and even counts, so that either half may be the longer; none and
  // one, which the first recogniser reads alone.
  for (size_t count : {7u, 6u, 2u, 1u, 0u}) {
    const std::vector<cv::Mat> some(crops.begin(), crops.begin() + long(count));
    const std::vector<std::optional<RecognizedText>> readings = readers.read(some);
    ASSERT_EQ(readings.size(), count);
    for (size_t i = 0; i < count; ++i) {
      EXPECT_EQ(text(readings[i]), text(expected[i])) << count << " crops, crop " << i;
      if (readings[i] && expected[i]) {
        EXPECT_FLOAT_EQ(readings[i]->confidence, expected[i]->confidence) << count << " crops, crop " << i;
      }
    }
  }
}

}  // namespace
