// Times the frame source over one clip: opens it as a run does and requests
// the candidate sample times in order.
//
//   frame_source_bench CLIP           prints the timings
//   frame_source_bench --times CLIP   prints only the sample times, one a line
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/fail.h"
#include "video/clip.h"
#include "base/frame_source.h"

namespace {

std::vector<double> sampleTimes(double duration) {
  int n = static_cast<int>(std::clamp(std::round(duration / 1.2), 8.0, 30.0));
  double margin = std::min(0.02 * duration, 0.35);
  double step = (duration - 2 * margin) / (n - 1);
  std::vector<double> times;
  for (int i = 0; i < n; ++i) times.push_back(margin + i * step);
  return times;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const bool timesOnly = argc == 3 && std::string(argv[1]) == "--times";
  if (argc != 2 && !timesOnly) {
    std::printf("usage: frame_source_bench [--times] CLIP\n");
    return 2;
  }
  const std::string path = argv[argc - 1];
  try {
    auto start = std::chrono::steady_clock::now();
    auto input = openClip(path);
    const std::vector<double> times = sampleTimes(input->info.duration);
    if (timesOnly) {
      for (double t : times) std::printf("%.6f\n", t);
      return 0;
    }
    auto source = openFrameSource(std::move(input));
    const double opening = secondsSince(start);
    auto framesStart = std::chrono::steady_clock::now();
    int delivered = 0;
    for (double t : times) {
      try {
        Picture picture = source->frameAt(t);
        delivered += picture ? 1 : 0;
      } catch (const Fail&) {
      }
    }
    const double frames = secondsSince(framesStart);
    std::printf("stillpick: %d/%zu frames, open %.3f s, frames %.3f s, total %.3f s\n", delivered, times.size(),
                opening, frames, opening + frames);
  } catch (const Fail& fail) {
    std::printf("failed: %s\n", fail.what());
    return 1;
  }
  return 0;
}
