#include "vision/classify.h"

namespace {

constexpr float kConfidenceFloor = 0.12f;  // exclusive
constexpr size_t kLabelLimit = 8;

}  // namespace

std::vector<LabelScore> classify(Vision& vision, const Image& picture) {
  std::vector<LabelScore> labels;
  for (const Classification& observation : vision.classifications(picture)) {
    if (labels.size() == kLabelLimit) break;
    // A NaN confidence fails this comparison and is dropped with the rest.
    if (observation.confidence > kConfidenceFloor) labels.push_back({observation.identifier, observation.confidence});
  }
  return labels;
}
