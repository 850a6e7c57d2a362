#include "vision/object_model.h"

#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <map>
#include <string_view>

#include "base/fail.h"
#include "vision/count_people.h"
#include "vision/embedded_models.h"
#include "vision/opencv_failure.h"
#include "vision/tfjs_graph.h"

namespace {

// The detector sees the picture scaled to 512 on its longest side, aspect
// kept, in the top-left corner of a black canvas whose sides are rounded up
// to a multiple of 32 (the backbone's coarsest stride). Its heat maps have one
// cell per 4 pixels.
constexpr int kDetectorSide = 512;
constexpr int kDetectorAlign = 32;
constexpr int kDetectorStride = 4;
constexpr int kDetectionLimit = 100;
// Peaks whose calibrated confidence falls below this are not reported at all.
constexpr float kReportFloor = 0.01f;
constexpr float kPersonOverlap = 0.5f;
// Squares overlap, so a face near an edge is found twice.
constexpr float kFaceOverlap = 0.3f;

// The fingerprint sees the picture scaled to 256 on its longest side, aspect
// kept, no padding (the backbone is fully convolutional).
constexpr int kPrintSide = 256;
// Backbone tensors pooled into the print: stride 32 (480 channels), stride 16
// (88) and stride 8 (32). Each level is averaged over the picture and
// normalised on its own, so the fine levels weigh as much as the coarse one.
const std::vector<std::string> kPrintLevels = {"tower_0/extern1/hard_swish/mul_1",
                                              "tower_0/MobilenetV3/expanded_conv_11/add",
                                              "tower_0/MobilenetV3/expanded_conv_5/add"};
// Scales the Euclidean distance so that near-duplicate frames (a small shift,
// recompression, a brightness change) stay well below the selection's visual
// change floor and different scenes well above it.
constexpr double kDistanceScale = 0.8;

cv::Mat view(const Image& picture) {
  if (picture.width <= 0 || picture.height <= 0) throw Fail("the picture is empty");
  if (picture.rgb.size() != size_t(picture.width) * size_t(picture.height) * 3)
    throw Fail("the picture's pixels do not match its size");
  return cv::Mat(picture.height, picture.width, CV_8UC3, const_cast<uint8_t*>(picture.rgb.data()));
}

cv::Mat scaled(const cv::Mat& pixels, double factor) {
  cv::Size size(std::max(1, int(std::lround(pixels.cols * factor))), std::max(1, int(std::lround(pixels.rows * factor))));
  cv::Mat out;
  cv::resize(pixels, out, size, 0, 0, factor < 1 ? cv::INTER_AREA : cv::INTER_LINEAR);
  return out;
}

// Scales the vector to unit length (a zero vector stays as it is).
void normalise(std::vector<float>& values) {
  double norm = 0;
  for (float v : values) norm += double(v) * v;
  norm = std::sqrt(norm);
  if (norm > 0)
    for (float& v : values) v = float(v / norm);
}

// One forward pass of the net on the picture; OpenCV's errors become Fail.
std::vector<cv::Mat> forward(cv::dnn::Net& net, const cv::Mat& input, const std::vector<std::string>& outputs,
                             const char* what) {
  std::vector<cv::Mat> results;
  try {
    net.setInput(cv::dnn::blobFromImage(input, 1.0, cv::Size(), cv::Scalar(), false, false, CV_32F));
    net.forward(results, std::vector<cv::String>(outputs.begin(), outputs.end()));
  } catch (const cv::Exception& e) {
    rethrowOpenCvError(e, what);
  }
  return results;
}

std::vector<float> pooled(const cv::Mat& blob) {
  const int channels = blob.size[1], cells = blob.size[2] * blob.size[3];
  std::vector<float> means(size_t(channels), 0.0f);
  const float* data = blob.ptr<float>();
  for (int c = 0; c < channels; ++c) {
    double sum = 0;
    for (int i = 0; i < cells; ++i) sum += data[size_t(c) * cells + i];
    means[size_t(c)] = float(sum / cells);
  }
  normalise(means);
  return means;
}

}  // namespace

ObjectModel::ObjectModel() {
  cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
  TfjsGraph graph = readTfjsGraph(centernetGraph(), centernetWeights());
  ImportedNet detector = buildNet(graph, {"tower_0/keypoints", "tower_0/wh"});
  ImportedNet printer = buildNet(graph, kPrintLevels);
  detector_ = detector.net;
  detectorOutputs_ = detector.outputLayers;
  printer_ = printer.net;
  printerOutputs_ = printer.outputLayers;
}

const std::vector<Detection>& ObjectModel::detections(const Image& picture) {
  cv::Mat pixels = view(picture);
  Key key{picture.width, picture.height,
          std::hash<std::string_view>{}({reinterpret_cast<const char*>(picture.rgb.data()), picture.rgb.size()})};
  if (key == lastKey_) return last_;

  cv::Mat fitted = scaled(pixels, double(kDetectorSide) / std::max(pixels.cols, pixels.rows));
  auto aligned = [](int side) { return (side + kDetectorAlign - 1) / kDetectorAlign * kDetectorAlign; };
  cv::Mat canvas(aligned(fitted.rows), aligned(fitted.cols), CV_8UC3, cv::Scalar(0, 0, 0));
  fitted.copyTo(canvas(cv::Rect(0, 0, fitted.cols, fitted.rows)));
  std::vector<cv::Mat> outputs = forward(detector_, canvas, detectorOutputs_, "object detection");
  const cv::Mat& heatmap = outputs[0];
  const cv::Mat& extents = outputs[1];
  std::vector<Detection> found =
      decodeDetections(heatmap.ptr<float>(), extents.ptr<float>(), heatmap.size[1], heatmap.size[2],
                       heatmap.size[3], kDetectorStride, kDetectionLimit);
  std::erase_if(found, [](const Detection& d) { return !(calibratedConfidence(d.score) >= kReportFloor) || !plausible(d); });
  last_ = std::move(found);
  lastKey_ = key;
  return last_;
}

std::vector<Classification> ObjectModel::classifications(const Image& picture) {
  // A person is as sure as the surest figure humans() would count, so that
  // the label and the people counted agree.
  std::map<int, float> best;
  for (const Detection& d : detections(picture)) {
    const float confidence = d.label == 0 ? personConfidence(d) : calibratedConfidence(d.score);
    best[d.label] = std::max(best[d.label], confidence);
  }
  std::vector<Classification> result;
  for (auto [label, confidence] : best) result.push_back({cocoName(label), confidence});
  std::stable_sort(result.begin(), result.end(),
                   [](const Classification& a, const Classification& b) { return a.confidence > b.confidence; });
  return result;
}

std::vector<HumanObservation> ObjectModel::humans(const Image& picture) {
  std::vector<Detection> people;
  for (const Detection& d : detections(picture))
    if (d.label == 0) people.push_back(d);
  people = suppressOverlaps(std::move(people), kPersonOverlap);
  std::vector<HumanObservation> result;
  for (const Detection& d : people) result.push_back({personConfidence(d)});
  // Counted as countPeople counts them; faint below that.
  const auto counted = size_t(std::count_if(result.begin(), result.end(), [](auto& h) {
    return h.confidence > kPeopleConfidenceFloor;
  }));
  const auto faint = size_t(std::count_if(result.begin(), result.end(), [](auto& h) {
    return h.confidence >= kFaceAreaConfidence && h.confidence <= kPeopleConfidenceFloor;
  }));
  if (counted < kGroupPeople || faint < kFaintPerCounted * counted) return result;

  // Faces where the detector saw people, even faintly, in picture pixels.
  cv::Mat pixels = view(picture);
  const double toPicture = double(std::max(pixels.cols, pixels.rows)) / kDetectorSide;
  std::vector<cv::Rect> areas;
  for (size_t i = 0; i < people.size(); ++i)
    if (const Detection& d = people[i]; result[i].confidence >= kFaceAreaConfidence)
      areas.push_back(cv::Rect(cv::Point(int(d.left * toPicture), int(d.top * toPicture)),
                               cv::Point(int(std::ceil(d.right * toPicture)), int(std::ceil(d.bottom * toPicture)))));
  const std::vector<cv::Rect> squares = faceSquares(pixels.size(), areas);
  if (squares.size() > kMostFaceSquares) return result;
  if (!faces_) faces_ = std::make_unique<FaceModel>();
  std::vector<Detection> faces = faces_->faces(pixels, squares);
  std::sort(faces.begin(), faces.end(), [](const Detection& a, const Detection& b) { return a.score > b.score; });
  faces = suppressOverlaps(std::move(faces), kFaceOverlap);
  if (faces.size() <= counted) return result;
  std::vector<HumanObservation> byFace;
  for (const Detection& face : faces) byFace.push_back({face.score});
  return byFace;
}

FeaturePrint ObjectModel::featurePrint(const Image& picture) {
  cv::Mat pixels = view(picture);
  cv::Mat fitted = scaled(pixels, double(kPrintSide) / std::max(pixels.cols, pixels.rows));
  std::vector<cv::Mat> levels = forward(printer_, fitted, printerOutputs_, "feature print");
  FeaturePrint print;
  for (const cv::Mat& level : levels) {
    std::vector<float> part = pooled(level);
    print.values.insert(print.values.end(), part.begin(), part.end());
  }
  normalise(print.values);
  return print;
}

double ObjectModel::distance(const FeaturePrint& from, const FeaturePrint& to) {
  if (from.values.empty() || from.values.size() != to.values.size())
    throw Fail("feature prints of different kinds cannot be compared");
  double sum = 0;
  for (size_t i = 0; i < from.values.size(); ++i) {
    double d = double(from.values[i]) - to.values[i];
    sum += d * d;
  }
  return kDistanceScale * std::sqrt(sum);
}
