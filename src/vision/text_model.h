#pragma once
#include <tesseract/baseapi.h>

#include <array>
#include <memory>
#include <opencv2/dnn.hpp>
#include <optional>
#include <string>
#include <vector>

#include "base/image.h"
#include "vision/ctc_readers.h"
#include "vision/ctc_recogniser.h"
#include "vision/language_correction.h"
#include "vision/reading_cleanup.h"
#include "vision/small_text.h"
#include "vision/word_reread.h"
#include "vision/vision.h"

// Reads text lines: the PP-OCR text detector (run by OpenCV's DNN module)
// finds the lines, looking again, enlarged, at squares where writing too
// small for it may be; Tesseract's LSTM recogniser reads each line, except
// those found only there, which PP-OCR's CTC recogniser reads; and that
// one reads again the short lines Tesseract is unsure of.
class TextModel {
 public:
  // Loads the embedded detector and finds the English Tesseract data, loaded
  // when the first line is read (the CTC recogniser when the first unsure
  // one is); throws Fail when any of them cannot be loaded.
  TextModel();

  // One observation per detected line, in reading order (as many lines as
  // fit a fixed budget of crop width), each with its reading (valid UTF-8,
  // confidence 0..1): Tesseract's, or the CTC recogniser's where that one is
  // surer, with its slips mended against an English lexicon
  // (languageCorrected); none when Tesseract read nothing.
  std::vector<TextObservation> textObservations(const Image& picture);

 private:
  std::vector<TextObservation> readLines(const Image& picture);
  // Tesseract, loaded on the first line to read; a frame of many lines is
  // shared between two (0 and 1).
  tesseract::TessBaseAPI& recogniser(size_t which);
  // Lines Tesseract read with little confidence, read again by the CTC
  // recogniser, the least sure first, while `widthLeft` pixels of its input
  // width are left.
  // Returns the width left; a line whose reading is replaced loses its
  // Tesseract `words`.
  int rereadUnsure(const cv::Mat& rgb, const std::vector<cv::RotatedRect>& lines,
                   std::vector<std::vector<ReadWord>>& words, std::vector<TextObservation>& observations,
                   int widthLeft);
  // In the lines whose readings are still Tesseract's, the words worth
  // reading again (worthRereading) read alone by the CTC recogniser, in
  // reading order while `widthLeft` lasts, and replaced where it takes them
  // (takesReread).
  void rereadDoubtfulWords(const cv::Mat& rgb, const std::vector<cv::RotatedRect>& lines,
                           std::vector<std::vector<ReadWord>>& words, std::vector<TextObservation>& observations,
                           int widthLeft);
  // A line to be read by the CTC recogniser: which of the lines it is, its
  // colour crop, and the columns of the pieces it is read in.
  struct CtcLine {
    size_t index = 0;
    cv::Mat colour;
    std::vector<Piece> pieces;
  };
  // The lines found only in the enlarged squares (those `small` marks), each
  // with the pieces to read it by, at most `most` pieces in all; no pieces
  // for the lines left unread.
  static std::vector<CtcLine> smallLinesToRead(const cv::Mat& rgb, const std::vector<cv::RotatedRect>& lines,
                                                 const std::vector<bool>& small, int most);
  // For each line, the CTC recogniser's readings of its pieces, cleaned up
  // as Tesseract's are and joined by spaces (a piece that goes on with a
  // word by joinedInWord), with the recogniser's mean confidence in them
  // letter by letter (before readingConfidence); none for a line where
  // nothing was read.
  std::vector<std::optional<RecognizedText>> readInPieces(const std::vector<CtcLine>& lines);
  // A line of small writing with its reading, when keepsSmallReading keeps it.
  TextObservation smallLineObservation(const std::optional<RecognizedText>& reading);
  const Lexicon& english();        // indexed when first needed
  // The detector's text-line boxes in `rgb` seen at `scale`, by `net`, which
  // is (re)loaded when `inputSize`, the size it last ran at, changes.
  std::vector<cv::RotatedRect> detectedBoxes(cv::dnn::Net& net, cv::Size& inputSize, const cv::Mat& rgb,
                                             double scale);
  cv::dnn::Net detector_;
  cv::Size detectorInputSize_;  // of the pictures the network has run on
  cv::dnn::Net tileDetector_;   // for the enlarged squares, loaded when first needed
  cv::Size tileInputSize_;
  std::string tessdata_;
  std::array<std::unique_ptr<tesseract::TessBaseAPI>, 2> recognisers_;
  CtcReaders ctcReaders_;  // loaded when first needed
  std::optional<Lexicon> english_;
};
