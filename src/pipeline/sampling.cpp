#include "pipeline/sampling.h"

#include <cmath>

#include "base/fail.h"
#include "imaging/laplacian_energy.h"
#include "imaging/pixels.h"
#include "base/frame_source.h"
#include "vision/vision.h"

std::vector<double> sampleTimes(double duration) {
  const double rounded = std::round(duration / 1.2);
  const long n = !(rounded >= 8) ? 8 : rounded > 30 ? 30 : static_cast<long>(rounded);
  const double margin = 0.02 * duration < 0.35 ? 0.02 * duration : 0.35;
  const double first = margin;
  const double last = duration - margin;
  const double step = (last - first) / static_cast<double>(n - 1);
  std::vector<double> times;
  times.reserve(static_cast<size_t>(n));
  // Each time from its index, so rounding errors do not pile up.
  for (long i = 0; i < n; ++i) times.push_back(first + step * static_cast<double>(i));
  return times;
}

double meanLuminance(const Image& picture) {
  const auto grey = pixels(picture, 64, 36);
  if (!grey) return 0.5;
  double sum = 0;
  for (uint8_t level : *grey) sum += level;
  return sum / 2304.0 / 255.0;
}

std::vector<FrameSample> sampleCandidates(FrameSource& source, Vision& vision, double duration) {
  std::vector<FrameSample> candidates;
  for (double time : sampleTimes(duration)) {
    // An undecodable time just gives no candidate.
    Picture image = orDefault([&] { return source.frameAt(time); }, Picture());
    if (!image) continue;
    FrameSample sample;
    sample.time = time;
    sample.image = image;
    sample.sharp = laplacianEnergy(*image);
    sample.lum = meanLuminance(*image);
    // Without a print the frame stays a candidate.
    sample.print = orDefault([&] { return std::optional(vision.featurePrint(*image)); }, std::optional<FeaturePrint>());
    candidates.push_back(std::move(sample));
  }
  if (candidates.empty()) throw Fail(kNothingDecodesMessage);
  return candidates;
}
