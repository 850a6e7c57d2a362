// Times the object model on 720 × 405 frames, the size the frame source
// delivers for a 16:9 clip: model construction once, then the feature print
// (run on every candidate) and the detection pass (run on each kept frame).
// Usage: vision_bench [prints] [detections]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "vision/object_model.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A busy synthetic frame: smooth colour ramps with a moving pattern, so
// every frame differs and no cached result is reused.
Image frame(int index) {
  Image image{720, 405, std::vector<uint8_t>(720 * 405 * 3)};
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      uint8_t* p = &image.rgb[(size_t(y) * image.width + x) * 3];
      p[0] = uint8_t(x * 255 / 719);
      p[1] = uint8_t(y * 255 / 404);
      p[2] = uint8_t(127 + 120 * std::sin((x + 7 * index) * 0.05) * std::cos(y * 0.03));
    }
  return image;
}

void report(const char* what, std::vector<double> times) {
  std::sort(times.begin(), times.end());
  double sum = 0;
  for (double t : times) sum += t;
  std::printf("%-12s n=%zu  median %.1f ms  mean %.1f ms  min %.1f ms  max %.1f ms\n", what, times.size(),
              times[times.size() / 2], sum / double(times.size()), times.front(), times.back());
}

}  // namespace

int main(int argc, char** argv) {
  int prints = argc > 1 ? std::atoi(argv[1]) : 30;
  int detections = argc > 2 ? std::atoi(argv[2]) : 6;
  Clock::time_point start = Clock::now();
  ObjectModel model;
  std::printf("%-12s %.1f ms\n", "construction", millisSince(start));

  std::vector<Image> frames;
  for (int i = 0; i < std::max(prints, detections) + 1; ++i) frames.push_back(frame(i));
  model.featurePrint(frames.back());  // first passes allocate; not counted
  model.humans(frames.back());

  std::vector<double> printTimes, detectionTimes;
  for (int i = 0; i < prints; ++i) {
    start = Clock::now();
    model.featurePrint(frames[size_t(i)]);
    printTimes.push_back(millisSince(start));
  }
  for (int i = 0; i < detections; ++i) {
    start = Clock::now();
    model.classifications(frames[size_t(i)]);
    model.humans(frames[size_t(i)]);
    detectionTimes.push_back(millisSince(start));
  }
  if (!printTimes.empty()) report("print", printTimes);
  if (!detectionTimes.empty()) report("detection", detectionTimes);
}
