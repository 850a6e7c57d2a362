#include "motion/measure_motion.h"

#include <cstdlib>
#include <limits>
#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#endif

#include "base/fail.h"
#include "imaging/pixels.h"
#include "motion/describe_motion.h"
#include "base/frame_source.h"

namespace {
constexpr int kWidth = kGreyWidth;
constexpr int kHeight = kGreyHeight;
constexpr int kReach = 6;  // the largest shift tried on each axis
constexpr int kWindowPixels = (kHeight - 2 * kReach) * (kWidth - 2 * kReach);
constexpr size_t kMostTimes = 4;

// Sum of |a(x, y) - b(x + dx, y + dy)| over the window. Each window row is
// 148 bytes: nine blocks of 16, summed with the processor's byte-difference
// instruction where there is one, and 4 more.
int64_t shiftedDifference(const uint8_t* a, const uint8_t* b, int dx, int dy) {
  constexpr int kRowLength = kWidth - 2 * kReach;
  int64_t sum = 0;
  for (int y = kReach; y < kHeight - kReach; ++y) {
    const uint8_t* rowA = a + y * kWidth + kReach;
    const uint8_t* rowB = b + (y + dy) * kWidth + kReach + dx;
    int x = 0;
#if defined(__SSE2__) && defined(__x86_64__)
    __m128i blocks = _mm_setzero_si128();
    for (; x + 16 <= kRowLength; x += 16) {
      const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rowA + x));
      const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rowB + x));
      blocks = _mm_add_epi64(blocks, _mm_sad_epu8(p, q));
    }
    sum += _mm_cvtsi128_si64(blocks) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(blocks, blocks));
#endif
    for (; x < kRowLength; ++x) sum += rowA[x] > rowB[x] ? rowA[x] - rowB[x] : rowB[x] - rowA[x];
  }
  return sum;
}

std::optional<Picture> decodedAt(FrameSource& source, double seconds) {
  Picture picture = orDefault([&] { return source.frameAt(seconds); }, Picture());
  if (picture) return picture;
  return std::nullopt;
}
}  // namespace

MotionSample bestShift(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  const size_t size = static_cast<size_t>(kWidth) * kHeight;
  if (a.size() != size || b.size() != size) return {};
  // Every cost is a sum over the same window divided by the same pixel
  // count, so sums compare exactly as the mean differences do.
  int64_t best = std::numeric_limits<int64_t>::max();
  int bestDx = 0, bestDy = 0;
  int64_t zero = 0;
  for (int dy = -kReach; dy <= kReach; ++dy) {
    for (int dx = -kReach; dx <= kReach; ++dx) {
      const int64_t cost = shiftedDifference(a.data(), b.data(), dx, dy);
      if (dx == 0 && dy == 0) zero = cost;
      if (cost < best || (cost == best && std::abs(dx) + std::abs(dy) < std::abs(bestDx) + std::abs(bestDy))) {
        best = cost;
        bestDx = dx;
        bestDy = dy;
      }
    }
  }
  const double bestCost = static_cast<double>(best) / kWindowPixels;
  const double zeroCost = static_cast<double>(zero) / kWindowPixels;
  MotionSample sample;
  if (bestCost <= 0.9 * zeroCost) {
    sample.dx = bestDx;
    sample.dy = bestDy;
  }
  sample.energy = zeroCost / 255.0;
  return sample;
}

std::vector<MotionSample> motionSamples(FrameSource& source, double duration, const std::vector<double>& at) {
  std::vector<MotionSample> samples;
  for (size_t i = 0; i < at.size() && i < kMostTimes; ++i) {
    const double t = at[i];
    if (!(t + kPairInterval < duration)) continue;
    auto first = decodedAt(source, t);
    if (!first) continue;
    auto second = decodedAt(source, t + kPairInterval);
    if (!second) continue;
    const auto a = pixels(**first, kWidth, kHeight);
    if (!a) continue;
    const auto b = pixels(**second, kWidth, kHeight);
    if (!b) continue;
    samples.push_back(bestShift(*a, *b));
  }
  return samples;
}

std::optional<std::string> measureMotion(FrameSource& source, double duration, const std::vector<double>& at) {
  const std::vector<MotionSample> samples = motionSamples(source, duration, at);
  if (samples.empty()) return std::nullopt;
  return describeMotion(samples);
}
