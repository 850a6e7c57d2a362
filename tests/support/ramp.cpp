#include "support/ramp.h"

#include <cmath>

int rampFrameNumber(const Picture& picture) {
  const int cx = picture->width / 2, cy = picture->height / 2;
  double sum = 0;
  for (int y = cy - 3; y <= cy + 3; ++y)
    for (int x = cx - 3; x <= cx + 3; ++x) sum += picture->rgb[(size_t(y) * picture->width + x) * 3];
  const double luma = sum / 49 * 219 / 255 + 16;
  return static_cast<int>(std::lround((luma - 20) / 2));
}
