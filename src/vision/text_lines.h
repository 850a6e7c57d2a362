#pragma once
#include <opencv2/core.hpp>
#include <vector>

// Turning the text detector's probability map into text-line boxes
// (differentiable-binarisation post-processing).

struct TextLineSettings {
  float pixelThreshold = 0.3f;  // a map value above this counts as text
  float boxThreshold = 0.6f;    // mean map value a region needs inside its box
  float unclipRatio = 1.6f;     // how far the shrunk text kernel is grown back
  float minSide = 3;            // smaller regions (in map pixels) are noise
};

// Boxes around the text lines found in `probability` (CV_32F, one value per
// pixel in 0..1), scaled by (scaleX, scaleY) into picture coordinates.
std::vector<cv::RotatedRect> textLines(const cv::Mat& probability, float scaleX, float scaleY,
                                       const TextLineSettings& settings = {});

// `lines` in reading order: top to bottom, and left to right among boxes that
// share a row (vertical centres closer than half the smaller box height).
std::vector<cv::RotatedRect> inReadingOrder(std::vector<cv::RotatedRect> lines);

// `ordered` (in reading order) with neighbouring boxes of one row joined when
// they are near-horizontal, of similar height (within a factor 1.4), level
// (centres within a quarter of the lower height) and close (gap under 0.6 of
// the taller height): pieces of one line of writing that the detector split
// at a word gap.
std::vector<cv::RotatedRect> joinedWords(const std::vector<cv::RotatedRect>& ordered);

// `lines` with each level box cut back, above and below, to halfway between
// its centre and the centre of a level box of like height (within a factor
// 1.4) that shares some of its columns and overlaps its rows without being
// on its row (centres at least half the lower height apart). The detector's
// boxes reach well beyond the writing; where lines are set close, as in a
// terminal, a box holds parts of the lines above and below it, which
// Tesseract reads as letters ("GN" for "GNU"). A box that would keep less
// than 0.4 of its height is left whole; a box is level when its long side
// lies within 2 degrees of the horizontal.
std::vector<cv::RotatedRect> withoutNeighbourRows(const std::vector<cv::RotatedRect>& lines);
