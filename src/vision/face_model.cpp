#include "vision/face_model.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

#include "base/fail.h"
#include "vision/embedded_models.h"
#include "vision/opencv_failure.h"
#include "vision/tfjs_graph.h"
#include "vision/two_halves.h"

namespace {

constexpr int kInputSide = 256;
// The two levels' last convolutions: logits and boxes, 16 x 16 cells of 2
// anchors, then 8 x 8 cells of 6.
const std::vector<std::string> kOutputs = {"StatefulPartitionedCall/functional_1/conv2d_33/BiasAdd",
                                           "StatefulPartitionedCall/functional_1/conv2d_35/BiasAdd",
                                           "StatefulPartitionedCall/functional_1/conv2d_34/BiasAdd",
                                           "StatefulPartitionedCall/functional_1/conv2d_36/BiasAdd"};
struct Level {
  int cells, anchors;
};
constexpr Level kLevels[] = {{16, 2}, {8, 6}};
constexpr int kBoxValues = 16;

int squareStart(int index, int step, int extent) {
  return std::max(0, std::min(index * step, extent - kFaceSquare));
}

}  // namespace

cv::dnn::Net& FaceModel::net(size_t which) {
  if (nets_[which].empty()) {
    ImportedNet imported = buildNet(readTfjsGraph(faceDetectorGraph(), faceDetectorWeights()), kOutputs);
    nets_[which] = imported.net;
    outputs_ = imported.outputLayers;
  }
  return nets_[which];
}

FaceModel::FaceModel() { net(0); }

std::vector<Detection> FaceModel::faces(const cv::Mat& rgb, const std::vector<cv::Rect>& squares) {
  // One square at a time (OpenCV runs a batch of them more slowly), on
  // both cores.
  std::vector<std::vector<Detection>> perSquare(squares.size());
  if (squares.size() == 1) {
    perSquare[0] = facesIn(net(0), rgb, squares[0]);
  } else if (squares.size() > 1) {
    // Loaded here, so that a failure to load is thrown on this thread.
    std::array<cv::dnn::Net*, 2> nets = {&net(0), &net(1)};
    inTwoHalves(squares.size(), [&](size_t which, size_t i) { perSquare[i] = facesIn(*nets[which], rgb, squares[i]); });
  }
  std::vector<Detection> found;
  for (const std::vector<Detection>& part : perSquare) found.insert(found.end(), part.begin(), part.end());
  return found;
}

std::vector<Detection> FaceModel::facesIn(cv::dnn::Net& net, const cv::Mat& rgb, const cv::Rect& square) const {
  // Outside the picture (a picture smaller than a square) stays black.
  cv::Mat patch(kFaceSquare, kFaceSquare, CV_8UC3, cv::Scalar(0, 0, 0));
  const cv::Rect inside = square & cv::Rect(0, 0, rgb.cols, rgb.rows);
  rgb(inside).copyTo(patch(inside - square.tl()));
  cv::Mat input;
  cv::resize(patch, input, {kInputSide, kInputSide}, 0, 0, cv::INTER_LINEAR);
  input.convertTo(input, CV_32F, 1 / 127.5, -1);  // -1 to 1, as the detector was trained
  std::vector<cv::Mat> answer;
  try {
    net.setInput(cv::dnn::blobFromImage(input));
    net.forward(answer, std::vector<cv::String>(outputs_.begin(), outputs_.end()));
  } catch (const cv::Exception& e) {
    rethrowOpenCvError(e, "face detection");
  }
  std::vector<Detection> found;
  for (size_t level = 0; level < std::size(kLevels); ++level) {
    const cv::Mat& scores = answer[2 * level];
    const cv::Mat& boxes = answer[2 * level + 1];
    const auto [cells, anchors] = kLevels[level];
    if (scores.total() != size_t(cells * cells * anchors) || boxes.total() != scores.total() * kBoxValues)
      throw Fail("face detection: the detector's answer is not of the expected size");
    std::vector<Detection> part = decodeFaceLevel(scores.ptr<float>(), boxes.ptr<float>(), cells, anchors, kFaceFloor, square);
    found.insert(found.end(), part.begin(), part.end());
  }
  return found;
}

std::vector<cv::Rect> faceSquares(cv::Size size, const std::vector<cv::Rect>& areas) {
  const int step = kFaceSquare * 3 / 4;
  auto count = [&](int extent) { return extent <= kFaceSquare ? 1 : (extent - kFaceSquare + step - 1) / step + 1; };
  std::vector<cv::Rect> squares;
  for (int row = 0; row < count(size.height); ++row)
    for (int column = 0; column < count(size.width); ++column) {
      const cv::Rect square(squareStart(column, step, size.width), squareStart(row, step, size.height), kFaceSquare,
                            kFaceSquare);
      if (std::any_of(areas.begin(), areas.end(), [&](const cv::Rect& area) { return (area & square).area() > 0; }))
        squares.push_back(square);
    }
  return squares;
}

std::vector<Detection> decodeFaceLevel(const float* scores, const float* boxes, int cells, int anchors, float floor,
                                       const cv::Rect& square) {
  std::vector<Detection> found;
  const int plane = cells * cells;
  const float toPicture = float(square.width) / kInputSide;
  for (int anchor = 0; anchor < anchors; ++anchor)
    for (int cell = 0; cell < plane; ++cell) {
      const float score = 1 / (1 + std::exp(-scores[anchor * plane + cell]));
      if (!(score > floor)) continue;
      auto value = [&](int k) { return boxes[(anchor * kBoxValues + k) * plane + cell]; };
      const float stride = float(kInputSide) / cells;
      const float x = (float(cell % cells) + 0.5f) * stride + value(0), y = (float(cell / cells) + 0.5f) * stride + value(1);
      const float halfWidth = value(2) / 2, halfHeight = value(3) / 2;
      if (!(halfWidth > 0 && halfHeight > 0)) continue;
      found.push_back({0, score, square.x + (x - halfWidth) * toPicture, square.y + (y - halfHeight) * toPicture,
                       square.x + (x + halfWidth) * toPicture, square.y + (y + halfHeight) * toPicture});
    }
  return found;
}
