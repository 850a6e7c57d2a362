#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/image.h"

// What the image-analysis service answers; the analyses in analysis/ apply
// stillpick's own filters to these raw observations.
struct Classification {
  std::string identifier;
  float confidence = 0;
};

struct RecognizedText {
  std::string string;
  float confidence = 0;
};

struct TextObservation {
  std::optional<RecognizedText> top;  // the best candidate, when there is one
};

struct HumanObservation {
  float confidence = 0;
};

// A visual fingerprint; compared only through Vision::distance.
struct FeaturePrint {
  std::vector<float> values;
};

class Vision {
 public:
  virtual ~Vision() = default;
  // Object and scene classes present in the picture, in the service's order.
  virtual std::vector<Classification> classifications(const Image& picture) = 0;
  // Pieces of text, each with its best reading.
  virtual std::vector<TextObservation> textObservations(const Image& picture) = 0;
  // One observation per detected person.
  virtual std::vector<HumanObservation> humans(const Image& picture) = 0;
  virtual FeaturePrint featurePrint(const Image& picture) = 0;
  // 0 for identical prints, growing with visual difference.
  virtual double distance(const FeaturePrint& from, const FeaturePrint& to) = 0;
};

// The service backed by the embedded models; models load on first use.
std::unique_ptr<Vision> makeVision();
