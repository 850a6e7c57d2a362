#pragma once
#include <array>
#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>
#include <string>
#include <vector>

#include "vision/detections.h"

// The face detector linked into the binary: BlazeFace's full-range model,
// which takes 256 x 256 pixels and answers on two levels of anchors (16 x 16
// cells of 2, 8 x 8 cells of 6). In a group photo shrunk to 720 pixels the
// faces are 10 to 20 pixels tall, too small for a detector that sees the
// whole picture at once; in a square of kFaceSquare pixels enlarged to its
// input they are the size it was trained for. Throws Fail.
class FaceModel {
 public:
  FaceModel();
  // The faces found in the `squares` of `rgb` (CV_8UC3, R, G, B), in the
  // picture's pixels, scores 0 to 1, those above kFaceFloor only; a face
  // where squares overlap is found in each.
  std::vector<Detection> faces(const cv::Mat& rgb, const std::vector<cv::Rect>& squares);

 private:
  // The detector, built when first needed; `which` is 0 or 1.
  cv::dnn::Net& net(size_t which);
  // The faces `net` finds in one square.
  std::vector<Detection> facesIn(cv::dnn::Net& net, const cv::Mat& rgb, const cv::Rect& square) const;
  // Two of them, one for each half of a picture's squares; the second is
  // built for the first picture of two squares or more.
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

// The faces of one level of the detector's answer for `square`: `scores`
// holds `anchors` planes of cells x cells logits, `boxes` 16 planes per
// anchor (centre x, y, width, height, then six landmarks, in input pixels
// from the anchor's cell centre). Faces scoring at most `floor` are left out.
std::vector<Detection> decodeFaceLevel(const float* scores, const float* boxes, int cells, int anchors, float floor,
                                       const cv::Rect& square);
