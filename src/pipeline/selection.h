#pragma once
#include <cstdint>
#include <vector>

#include "pipeline/frame_sample.h"

class Vision;

// The frames a run keeps, as positions in the pool.
struct Selection {
  std::vector<FrameSample> pool;  // candidates with 0.06 < lum < 0.97, or all when none is
  std::vector<int64_t> kept;      // ascending pool positions: min(pool size, count) of them, none when count <= 0
};

// How different sample b looks from sample a, 0.0 ... 1.0: half the distance
// from a's print to b's, at most 1.0 (1.0 when the distance is not a
// number); 0.5 when either print is absent or the distance fails.
double visualChange(Vision& vision, const FrameSample& a, const FrameSample& b);

// Keeps up to `count` well-exposed, sharp and mutually distinct frames from
// the candidates (in time order): the pool is cut into scenes where the
// change between neighbours reaches mean + 1.4 standard deviations (at least
// 0.12), the sharpest frame of each scene is kept in scene order, then the
// frames least like those kept so far are added. Never fails.
Selection selectFrames(std::vector<FrameSample> candidates, int64_t count, Vision& vision);

// Scene boundaries of a pool whose neighbouring entries differ by `changes`
// (one value fewer than the pool has entries): ascending positions from 0 to
// the pool size, with i + 1 wherever changes[i] reaches the threshold.
std::vector<int64_t> sceneBoundaries(const std::vector<double>& changes);
