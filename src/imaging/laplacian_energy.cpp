#include "imaging/laplacian_energy.h"

#include <cmath>

#include "imaging/pixels.h"

namespace {
constexpr int kWidth = kGreyWidth;
constexpr int kHeight = kGreyHeight;
}  // namespace

double laplacianEnergyOfGrey(const std::vector<uint8_t>& grey) {
  if (grey.size() != static_cast<size_t>(kWidth) * kHeight) return 0.0;
  // Squares of whole numbers up to 1020 over 13,904 pixels stay far below
  // 2^53, so the integer sum is exactly the sum in double precision.
  int64_t sum = 0;
  int64_t count = 0;
  for (int y = 1; y < kHeight - 1; ++y) {
    const uint8_t* above = grey.data() + (y - 1) * kWidth;
    const uint8_t* here = above + kWidth;
    const uint8_t* below = here + kWidth;
    for (int x = 1; x < kWidth - 1; ++x) {
      const int laplacian = 4 * here[x] - here[x - 1] - here[x + 1] - above[x] - below[x];
      sum += laplacian * laplacian;
    }
    count += kWidth - 2;
  }
  return count > 0 ? std::sqrt(static_cast<double>(sum) / static_cast<double>(count)) : 0.0;
}

double laplacianEnergy(const Image& picture) {
  const auto grey = pixels(picture, kWidth, kHeight);
  return grey ? laplacianEnergyOfGrey(*grey) : 0.0;
}
