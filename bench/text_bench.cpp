// Times text reading (line detection and recognition) on raw RGB frames:
//   stillpick_text_bench WIDTH HEIGHT REPEATS FILE.rgb...
// and prints, per frame, the mean wall-clock and process CPU milliseconds and
// the lines read.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>

#include "vision/text_model.h"

namespace {

double cpuMilliseconds() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double wallMilliseconds() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::printf("usage: %s WIDTH HEIGHT REPEATS FILE.rgb...\n", argv[0]);
    return 2;
  }
  int width = std::stoi(argv[1]), height = std::stoi(argv[2]), repeats = std::max(1, std::stoi(argv[3]));
  double wall = wallMilliseconds();
  TextModel model;
  std::printf("model load: %.0f ms\n", wallMilliseconds() - wall);
  for (int i = 4; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    Image picture{width, height, std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {})};
    model.textObservations(picture);  // warm-up
    double startWall = wallMilliseconds(), startCpu = cpuMilliseconds();
    std::vector<TextObservation> lines;
    for (int r = 0; r < repeats; ++r) lines = model.textObservations(picture);
    std::printf("%s: %.0f ms wall, %.0f ms cpu, %zu lines\n", argv[i], (wallMilliseconds() - startWall) / repeats,
                (cpuMilliseconds() - startCpu) / repeats, lines.size());
    for (const auto& line : lines)
      if (line.top) std::printf("  %.2f %s\n", line.top->confidence, line.top->string.c_str());
  }
}
