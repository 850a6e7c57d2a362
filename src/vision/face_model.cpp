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
// The two levels' last convolutions: logits and boxes, cells of 16 input
// pixels with 2 anchors, then cells of 32 with 6.
const std::vector<std::string> kOutputs = {"StatefulPartitionedCall/functional_1/conv2d_33/BiasAdd",
                                           "StatefulPartitionedCall/functional_1/conv2d_35/BiasAdd",
                                           "StatefulPartitionedCall/functional_1/conv2d_34/BiasAdd",
                                           "StatefulPartitionedCall/functional_1/conv2d_36/BiasAdd"};
struct Level {
  int cell, anchors;
};
constexpr Level kLevels[] = {{16, 2}, {32, 6}};
constexpr int kCoarsestCell = kLevels[std::size(kLevels) - 1].cell;
constexpr int kBoxValues = 16;

// Whether `rect` shares a pixel with one of `others`.
bool meetsAny(const cv::Rect& rect, const std::vector<cv::Rect>& others) {
  return std::any_of(others.begin(), others.end(), [&](const cv::Rect& other) { return (rect & other).area() > 0; });
}

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
  const std::vector<cv::Rect> parts = faceParts(rgb.size(), squares);
  std::vector<std::vector<Detection>> perPart(parts.size());
  if (parts.size() == 1) {
    perPart[0] = facesIn(net(0), rgb, parts[0]);
  } else if (parts.size() >= 2) {
    // Loaded here, so that a failure to load is thrown on this thread.
    std::array<cv::dnn::Net*, 2> nets = {&net(0), &net(1)};
    inTwoHalves(parts.size(), [&](size_t which, size_t i) { perPart[i] = facesIn(*nets[which], rgb, parts[i]); });
  }
  std::vector<Detection> found;
  for (const std::vector<Detection>& part : perPart)
    for (const Detection& face : part)
      if (centredIn(face, squares)) found.push_back(face);
  return found;
}

std::vector<Detection> FaceModel::facesIn(cv::dnn::Net& net, const cv::Mat& rgb, const cv::Rect& region) const {
  // Enlarged as a square of kFaceSquare is to the detector's input, then
  // padded with black to whole cells of its coarsest level.
  const cv::Size enlarged(int(std::lround(double(region.width) * kInputSide / kFaceSquare)),
                          int(std::lround(double(region.height) * kInputSide / kFaceSquare)));
  auto whole = [](int side) { return (side + kCoarsestCell - 1) / kCoarsestCell * kCoarsestCell; };
  cv::Mat input(whole(enlarged.height), whole(enlarged.width), CV_32FC3, cv::Scalar(-1, -1, -1));
  cv::Mat resized;
  cv::resize(rgb(region), resized, enlarged, 0, 0, cv::INTER_LINEAR);
  resized.convertTo(input(cv::Rect({0, 0}, enlarged)), CV_32F, 1 / 127.5, -1);  // -1 to 1, as the detector was trained
  std::vector<cv::Mat> answer;
  try {
    net.setInput(cv::dnn::blobFromImage(input));
    net.forward(answer, std::vector<cv::String>(outputs_.begin(), outputs_.end()));
  } catch (const cv::Exception& e) {
    rethrowOpenCvError(e, "face detection");
  }
  FaceGrid grid{region.x, region.y, float(region.width) / float(enlarged.width),
                float(region.height) / float(enlarged.height)};
  std::vector<Detection> found;
  for (size_t level = 0; level < std::size(kLevels); ++level) {
    const cv::Mat& scores = answer[2 * level];
    const cv::Mat& boxes = answer[2 * level + 1];
    const auto [cell, anchors] = kLevels[level];
    grid.cell = cell, grid.columns = input.cols / cell, grid.rows = input.rows / cell;
    if (scores.total() != size_t(grid.columns * grid.rows * anchors) || boxes.total() != scores.total() * kBoxValues)
      throw Fail("face detection: the detector's answer is not of the expected size");
    std::vector<Detection> part = decodeFaceLevel(scores.ptr<float>(), boxes.ptr<float>(), grid, anchors, kFaceFloor);
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
      if (meetsAny(square, areas))
        squares.push_back(square);
    }
  return squares;
}

std::vector<cv::Rect> faceParts(cv::Size size, const std::vector<cv::Rect>& squares) {
  // Each side longer than a square is cut in two, the two overlapping by a
  // quarter square, so that a face on the cut is whole in one of them.
  const int overlap = kFaceSquare / 4;
  auto cut = [&](int extent) -> std::vector<std::pair<int, int>> {
    if (extent <= kFaceSquare) return {{0, extent}};
    const int half = (extent + overlap + 1) / 2;
    return {{0, half}, {extent - half, half}};
  };
  std::vector<cv::Rect> parts;
  for (auto [x, w] : cut(size.width))
    for (auto [y, h] : cut(size.height)) parts.push_back({x, y, w, h});
  std::erase_if(parts, [&](const cv::Rect& part) { return !meetsAny(part, squares); });
  return parts;
}

bool centredIn(const Detection& face, const std::vector<cv::Rect>& squares) {
  const cv::Point2f centre((face.left + face.right) / 2, (face.top + face.bottom) / 2);
  return std::any_of(squares.begin(), squares.end(),
                     [&](const cv::Rect& square) { return cv::Rect2f(square).contains(centre); });
}

std::vector<Detection> decodeFaceLevel(const float* scores, const float* boxes, const FaceGrid& grid, int anchors,
                                       float floor) {
  std::vector<Detection> found;
  const int plane = grid.columns * grid.rows;
  for (int anchor = 0; anchor < anchors; ++anchor)
    for (int cell = 0; cell < plane; ++cell) {
      const float score = 1 / (1 + std::exp(-scores[anchor * plane + cell]));
      if (!(score > floor)) continue;
      auto value = [&](int k) { return boxes[(anchor * kBoxValues + k) * plane + cell]; };
      const float x = (float(cell % grid.columns) + 0.5f) * float(grid.cell) + value(0),
                  y = (float(cell / grid.columns) + 0.5f) * float(grid.cell) + value(1);
      const float halfWidth = value(2) / 2, halfHeight = value(3) / 2;
      if (!(halfWidth > 0 && halfHeight > 0)) continue;
      found.push_back({0, score, float(grid.x) + (x - halfWidth) * grid.xScale, float(grid.y) + (y - halfHeight) * grid.yScale,
                       float(grid.x) + (x + halfWidth) * grid.xScale, float(grid.y) + (y + halfHeight) * grid.yScale});
    }
  return found;
}
