#pragma once
#include <array>
#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>
#include <string>
#include <vector>

#include "vision/detections.h"

// The face detector linked into the binary: BlazeFace's full-range model,
// trained on 256 x 256 pixels; it is convolutional throughout and answers
// on two levels of anchors (cells of 16 input pixels with 2 anchors, cells
// of 32 with 6) for an input of any size in whole cells of 32. In a group
// photo shrunk to 720 pixels the faces are 10 to 20 pixels tall, too small
// for a detector that sees the whole picture in 256; enlarged as a square of
// kFaceSquare pixels is to 256 they are the size it was trained for. Throws
// Fail.
class FaceModel {
 public:
  FaceModel();
  // The faces centred in the `squares` of `rgb` (CV_8UC3, R, G, B), in the
  // picture's pixels, scores 0 to 1, those above kFaceFloor only. The parts
  // of the picture (faceParts) that meet a square are searched whole,
  // enlarged as a square of kFaceSquare is to 256, on both cores; a face
  // where the parts overlap is found in each.
  std::vector<Detection> faces(const cv::Mat& rgb, const std::vector<cv::Rect>& squares);

 private:
  // The detector, built when first needed; `which` is 0 or 1.
  cv::dnn::Net& net(size_t which);
  // The faces `net` finds in one region of the picture.
  std::vector<Detection> facesIn(cv::dnn::Net& net, const cv::Mat& rgb, const cv::Rect& region) const;
  // Two of them, one for each half of a picture's parts; the second is
  // built for the first picture searched in two parts or more.
  std::array<cv::dnn::Net, 2> nets_;
  std::vector<std::string> outputs_;
};

constexpr int kFaceSquare = 192;
constexpr float kFaceFloor = 0.5f;

// The squares of kFaceSquare that cover the `areas` of a picture of `size`:
// a grid stepping three quarters of a square, its last row and column
// against the picture's edges (a picture smaller than a square is one square
// from its corner), each square kept when it meets one of the areas.
std::vector<cv::Rect> faceSquares(cv::Size size, const std::vector<cv::Rect>& areas);

// The parts of a picture of `size` that meet one of the `squares`: each
// side longer than a square is cut in two, the two overlapping by a quarter
// of kFaceSquare (a 720 x 405 frame is four parts of 384 x 227, a 720 x 187
// one two of 384 x 187). Every picture of a size is cut alike, into parts of
// one size, so that the detectors' inputs keep their size from part to part
// and frame to frame (a network fed a new size sets itself up again, which
// costs more than the search). Quarters rather than halves hold the
// networks' memory down (four parts of a 16:9 frame take no longer).
std::vector<cv::Rect> faceParts(cv::Size size, const std::vector<cv::Rect>& squares);

// Whether the centre of `face` lies in one of the `squares`.
bool centredIn(const Detection& face, const std::vector<cv::Rect>& squares);

// How one level of the detector's answer lies over the picture: `columns` x
// `rows` cells of `cell` input pixels, the input's pixel (0, 0) at the
// picture's (x, y), and an input pixel xScale x yScale picture pixels.
struct FaceGrid {
  int x = 0, y = 0;
  float xScale = 1, yScale = 1;
  int cell = 0, columns = 0, rows = 0;
};

// The faces of one level of the detector's answer: `scores` holds `anchors`
// planes of rows x columns logits, `boxes` 16 planes per anchor (centre x,
// y, width, height, then six landmarks, in input pixels from the anchor's
// cell centre), in the picture's pixels. Faces scoring at most `floor` are
// left out.
std::vector<Detection> decodeFaceLevel(const float* scores, const float* boxes, const FaceGrid& grid, int anchors,
                                       float floor);
