#pragma once
#include <cstdint>
#include <memory>
#include <opencv2/dnn.hpp>
#include <string>
#include <vector>

#include "base/image.h"
#include "vision/detections.h"
#include "vision/face_model.h"
#include "vision/vision.h"

// The object detector linked into the binary — a CenterNet head on a
// MobileNetV3 backbone, trained on the 80 COCO classes — and a visual
// fingerprint taken from the same backbone. Both networks are built once, in
// the constructor; every method may throw Fail.
class ObjectModel {
 public:
  ObjectModel();

  // Classes present in the picture, each once with its best calibrated
  // confidence, most confident first.
  std::vector<Classification> classifications(const Image& picture);
  // One observation per person after overlap suppression, most confident
  // first. In a group, where kGroupPeople or more are counted and the
  // detector sees kFaintPerCounted times as many faintly (people half
  // behind others, kneeling, sitting, scored as low as clutter), the faces
  // are counted too, and when there are more faces than people counted, one
  // observation per face is given instead. Walkers in street footage are
  // seen surely more often than faintly.
  std::vector<HumanObservation> humans(const Image& picture);
  // An L2-normalised vector of pooled backbone features.
  FeaturePrint featurePrint(const Image& picture);
  // 0.8 × the Euclidean distance of two prints (0 … 1.6); throws Fail when
  // they do not have the same, non-zero length.
  static double distance(const FeaturePrint& from, const FeaturePrint& to);

  // The detector's raw findings for a picture (scores uncalibrated, boxes in
  // the pixels of the network input, the picture scaled to 512 on its
  // longest side). The last picture's result is kept, so
  // classifications and humans of one picture share one pass.
  const std::vector<Detection>& detections(const Image& picture);

 private:
  cv::dnn::Net detector_;
  std::vector<std::string> detectorOutputs_;
  cv::dnn::Net printer_;
  std::vector<std::string> printerOutputs_;
  struct Key {
    int width = -1, height = -1;
    size_t hash = 0;
    bool operator==(const Key&) const = default;
  };
  Key lastKey_;
  std::vector<Detection> last_;
  std::unique_ptr<FaceModel> faces_;  // loaded for the first group
};

constexpr size_t kGroupPeople = 3;
constexpr size_t kFaintPerCounted = 2;
// Person boxes from this confidence on are seen faintly, and mark where
// faces are looked for.
constexpr float kFaceAreaConfidence = 0.1f;
// Faces are looked for only where at most this many squares cover the
// people seen (a 720 x 405 frame is 15), which bounds the search's cost.
constexpr size_t kMostFaceSquares = 15;
