#include "pipeline/selection.h"

#include <algorithm>
#include <cmath>

#include "base/fail.h"
#include "vision/vision.h"

namespace {
constexpr double kLowestLum = 0.06;
constexpr double kHighestLum = 0.97;
constexpr double kSpread = 1.4;
constexpr double kThresholdFloor = 0.12;

bool contains(const std::vector<int64_t>& list, int64_t value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}
}  // namespace

double visualChange(Vision& vision, const FrameSample& a, const FrameSample& b) {
  if (!a.print || !b.print) return 0.5;
  const std::optional<double> distance =
      orDefault([&] { return std::optional(vision.distance(*a.print, *b.print)); }, std::optional<double>());
  if (!distance) return 0.5;
  if (std::isnan(*distance)) return 1.0;
  return std::min(*distance * 0.5, 1.0);
}

std::vector<int64_t> sceneBoundaries(const std::vector<double>& changes) {
  const size_t m = changes.size();
  std::vector<int64_t> boundaries{0};
  if (m > 0) {
    double sum = 0;
    for (double c : changes) sum += c;
    const double mean = sum / static_cast<double>(m);
    double squares = 0;
    for (double c : changes) squares += (c - mean) * (c - mean);
    const double deviation = std::sqrt(squares / static_cast<double>(m));
    const double threshold = std::max(mean + kSpread * deviation, kThresholdFloor);
    for (size_t i = 0; i < m; ++i)
      if (changes[i] >= threshold) boundaries.push_back(static_cast<int64_t>(i) + 1);
  }
  boundaries.push_back(static_cast<int64_t>(m) + 1);
  return boundaries;
}

Selection selectFrames(std::vector<FrameSample> candidates, int64_t count, Vision& vision) {
  Selection selection;
  for (const FrameSample& sample : candidates)
    if (sample.lum > kLowestLum && sample.lum < kHighestLum) selection.pool.push_back(sample);
  if (selection.pool.empty()) selection.pool = std::move(candidates);
  const std::vector<FrameSample>& pool = selection.pool;
  const int64_t n = static_cast<int64_t>(pool.size());
  std::vector<int64_t>& kept = selection.kept;

  // The sharpest frame of each scene, scenes in time order.
  if (n >= 2) {
    std::vector<double> changes;
    for (int64_t i = 0; i + 1 < n; ++i) changes.push_back(visualChange(vision, pool[i], pool[i + 1]));
    const std::vector<int64_t> boundaries = sceneBoundaries(changes);
    for (size_t j = 0; j + 1 < boundaries.size(); ++j) {
      if (static_cast<int64_t>(kept.size()) >= count) break;
      int64_t best = boundaries[j];
      for (int64_t p = best + 1; p < boundaries[j + 1]; ++p)
        if (pool[p].sharp > pool[best].sharp) best = p;
      kept.push_back(best);
    }
  }

  // Then the frames least like any kept one, one per pass.
  const int64_t wanted = std::min(n, count);
  while (wanted > 0 && static_cast<int64_t>(kept.size()) < wanted) {
    int64_t best = -1;
    double bestNovelty = -1.0;
    for (int64_t p = 0; p < n; ++p) {
      if (contains(kept, p)) continue;
      double novelty = 1.0;
      for (size_t q = 0; q < kept.size(); ++q) {
        const double change = visualChange(vision, pool[kept[q]], pool[p]);
        if (q == 0 || change < novelty) novelty = change;
      }
      if (bestNovelty < novelty) {
        best = p;
        bestNovelty = novelty;
      }
    }
    if (best < 0) break;
    kept.push_back(best);
  }

  std::stable_sort(kept.begin(), kept.end(),
                   [&](int64_t a, int64_t b) { return pool[a].time < pool[b].time; });
  return selection;
}
