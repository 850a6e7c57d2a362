#pragma once
#include <optional>

#include "base/image.h"
#include "vision/vision.h"

// One sampled candidate frame, made once and never changed.
struct FrameSample {
  double time = 0;                    // the requested sample time, in seconds
  Picture image;                      // the decoded frame, display-oriented, at most 720 x 720
  std::optional<FeaturePrint> print;  // absent when fingerprinting failed
  double sharp = 0;                   // laplacianEnergy of image
  double lum = 0.5;                   // mean linear brightness 0 ... 1; 0.5 when unmeasurable
};
