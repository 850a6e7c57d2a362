#include "motion/describe_motion.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The upper middle of the values sorted ascending; 0 for no values.
double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

int sign(long value) { return (value > 0) - (value < 0); }

// How many samples move the same way as the median; none when it is 0.
long agreeing(const std::vector<MotionSample>& samples, long median, long MotionSample::*axis) {
  if (median == 0) return 0;
  return std::count_if(samples.begin(), samples.end(),
                       [&](const MotionSample& s) { return sign(s.*axis) == sign(median); });
}

}  // namespace

std::string describeMotion(const std::vector<MotionSample>& samples) {
  std::vector<double> energies, dxs, dys;
  for (const MotionSample& s : samples) {
    energies.push_back(s.energy);
    dxs.push_back(static_cast<double>(s.dx));
    dys.push_back(static_cast<double>(s.dy));
  }
  const double energy = median(energies);
  const long dx = static_cast<long>(median(dxs));
  const long dy = static_cast<long>(median(dys));
  const double needed = 0.6 * static_cast<double>(samples.size());

  if (energy < 0.012 && std::labs(dx) <= 1 && std::labs(dy) <= 1) return "locked off, no camera movement";
  // The camera turns against the content: content sliding right means a
  // camera turning left, content sliding down a camera tilting up.
  if (std::labs(dx) >= 1 && static_cast<double>(agreeing(samples, dx, &MotionSample::dx)) >= needed &&
      std::labs(dx) >= std::labs(dy))
    return std::string("camera moving ") + (dx > 0 ? "left" : "right") + " across the frame";
  if (std::labs(dy) >= 1 && static_cast<double>(agreeing(samples, dy, &MotionSample::dy)) >= needed)
    return std::string("camera moving ") + (dy > 0 ? "up" : "down");
  if (energy > 0.08) return "a lot of movement in frame, unsteady or fast-moving subject";
  if (energy > 0.02) return "slight movement, drifting or handheld";
  return "almost still";
}
