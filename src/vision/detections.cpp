#include "vision/detections.h"

#include <algorithm>
#include <array>
#include <cmath>

std::vector<Detection> decodeDetections(const float* heatmap, const float* extents, int classes, int height,
                                        int width, int stride, int limit) {
  struct Peak {
    float score;
    int row, column, label;
  };
  std::vector<Peak> peaks;
  for (int c = 0; c < classes; ++c) {
    const float* plane = heatmap + size_t(c) * height * width;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        float score = plane[size_t(y) * width + x];
        bool peak = !std::isnan(score);
        for (int dy = -1; dy <= 1 && peak; ++dy)
          for (int dx = -1; dx <= 1 && peak; ++dx) {
            int ny = y + dy, nx = x + dx;
            if (ny >= 0 && ny < height && nx >= 0 && nx < width && plane[size_t(ny) * width + nx] > score) peak = false;
          }
        if (peak) peaks.push_back({score, y, x, c});
      }
  }
  auto better = [](const Peak& a, const Peak& b) {
    if (a.score != b.score) return a.score > b.score;
    if (a.row != b.row) return a.row < b.row;
    if (a.column != b.column) return a.column < b.column;
    return a.label < b.label;
  };
  size_t kept = std::min(peaks.size(), size_t(std::max(limit, 0)));
  std::partial_sort(peaks.begin(), peaks.begin() + kept, peaks.end(), better);
  std::vector<Detection> detections;
  const size_t planeSize = size_t(height) * width;
  for (size_t i = 0; i < kept; ++i) {
    const Peak& p = peaks[i];
    size_t cell = size_t(p.row) * width + p.column;
    float cx = float(p.column * stride), cy = float(p.row * stride);
    detections.push_back({p.label, p.score, cx - extents[cell], cy - extents[planeSize + cell],
                          cx + extents[2 * planeSize + cell], cy + extents[3 * planeSize + cell]});
  }
  return detections;
}

namespace {

float overlap(const Detection& a, const Detection& b) {
  float w = std::min(a.right, b.right) - std::max(a.left, b.left);
  float h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
  if (w <= 0 || h <= 0) return 0;
  float shared = w * h;
  float areaA = std::max(0.0f, a.right - a.left) * std::max(0.0f, a.bottom - a.top);
  float areaB = std::max(0.0f, b.right - b.left) * std::max(0.0f, b.bottom - b.top);
  return shared / (areaA + areaB - shared);
}

}  // namespace

std::vector<Detection> suppressOverlaps(std::vector<Detection> detections, float maxOverlap) {
  std::vector<size_t> order(detections.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return detections[a].score > detections[b].score; });
  std::vector<bool> dropped(detections.size(), false);
  for (size_t i = 0; i < order.size(); ++i) {
    if (dropped[order[i]]) continue;
    for (size_t j = i + 1; j < order.size(); ++j)
      if (!dropped[order[j]] && overlap(detections[order[i]], detections[order[j]]) > maxOverlap)
        dropped[order[j]] = true;
  }
  std::vector<Detection> kept;
  for (size_t i = 0; i < detections.size(); ++i)
    if (!dropped[i]) kept.push_back(detections[i]);
  return kept;
}

bool plausible(const Detection& detection) {
  constexpr int kFrisbee = 29, kSportsBall = 32;
  if (detection.label != kFrisbee && detection.label != kSportsBall) return true;
  float shorter = std::min(detection.right - detection.left, detection.bottom - detection.top);
  return shorter >= kSmallThingSide;
}

namespace {

// The raw score that the usual map takes to 0.5.
constexpr double kPivot = 0.4;

// logit(c) = steepness × (logit(score) − logit(pivot)); the steepness puts
// the score 0.25 at 0.12 around kPivot.
float logisticAround(float score, double pivot) {
  const double steepness = std::log(0.12 / 0.88) / (std::log(0.25 / 0.75) - std::log(kPivot / (1 - kPivot)));
  if (std::isnan(score)) return score;
  if (score <= 0) return 0;
  if (score >= 1) return 1;
  double logit = std::log(score / (1.0 - score)) - std::log(pivot / (1 - pivot));
  return float(1 / (1 + std::exp(-steepness * logit)));
}

}  // namespace

float calibratedConfidence(float score) { return logisticAround(score, kPivot); }

float personConfidence(const Detection& person) {
  const float width = person.right - person.left, height = person.bottom - person.top;
  const bool standing = width > 0 && height >= kFigureHeight && height >= kStandingFigure * width;
  return standing ? logisticAround(person.score, kFigurePivot) : calibratedConfidence(person.score);
}

std::string cocoName(int label) {
  static constexpr std::array<const char*, 80> names = {
      "person",        "bicycle",      "car",           "motorcycle",    "airplane",     "bus",
      "train",         "truck",        "boat",          "traffic light", "fire hydrant", "stop sign",
      "parking meter", "bench",        "bird",          "cat",           "dog",          "horse",
      "sheep",         "cow",          "elephant",      "bear",          "zebra",        "giraffe",
      "backpack",      "umbrella",     "handbag",       "tie",           "suitcase",     "frisbee",
      "skis",          "snowboard",    "sports ball",   "kite",          "baseball bat", "baseball glove",
      "skateboard",    "surfboard",    "tennis racket", "bottle",        "wine glass",   "cup",
      "fork",          "knife",        "spoon",         "bowl",          "banana",       "apple",
      "sandwich",      "orange",       "broccoli",      "carrot",        "hot dog",      "pizza",
      "donut",         "cake",         "chair",         "couch",         "potted plant", "bed",
      "dining table",  "toilet",       "tv",            "laptop",        "mouse",        "remote",
      "keyboard",      "cell phone",   "microwave",     "oven",          "toaster",      "sink",
      "refrigerator",  "book",         "clock",         "vase",          "scissors",     "teddy bear",
      "hair drier",    "toothbrush"};
  if (label < 0 || label >= int(names.size())) return {};
  return names[size_t(label)];
}
