#pragma once
#include <memory>
#include <vector>

#include "base/image.h"
#include "vision/vision.h"

// Reads text lines: the PP-OCR text detector (run by OpenCV's DNN module)
// finds the lines, Tesseract's LSTM recogniser reads each one.
class TextModel {
 public:
  // Loads the embedded detector and English Tesseract data; throws Fail when
  // either cannot be loaded.
  TextModel();
  ~TextModel();
  TextModel(TextModel&&) noexcept;
  TextModel& operator=(TextModel&&) noexcept;

  // One observation per detected line, in reading order, each with
  // Tesseract's reading (valid UTF-8, confidence 0..1), or none when it read
  // nothing.
  std::vector<TextObservation> textObservations(const Image& picture);

 private:
  struct Engines;
  std::unique_ptr<Engines> engines_;
};
