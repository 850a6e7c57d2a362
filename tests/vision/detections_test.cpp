#include "vision/detections.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>

namespace {

using Rows = std::vector<std::array<float, 6>>;  // label, score, left, top, right, bottom

// Decodes 2 classes on a 4 × 5 grid with stride 4, extents 1, 2, 3, 4 everywhere.
Rows decode(const std::map<std::array<int, 3>, float>& peaks, int limit) {
  std::vector<float> heat(2 * 4 * 5, 0.0f), extents;
  for (auto [at, score] : peaks) heat[size_t((at[0] * 4 + at[1]) * 5 + at[2])] = score;
  for (float e : {1.0f, 2.0f, 3.0f, 4.0f}) extents.insert(extents.end(), 20, e);
  Rows rows;
  for (const Detection& d : decodeDetections(heat.data(), extents.data(), 2, 4, 5, 4, limit))
    rows.push_back({float(d.label), d.score, d.left, d.top, d.right, d.bottom});
  return rows;
}

TEST(DecodeDetections, LocalPeaksBestFirstWithBoxesAroundTheCell) {
  // {class, row, column}: (0, 1, 2) is next to a higher cell, so no peak; the
  // same place in class 1 is a peak of its own.
  EXPECT_EQ(decode({{{0, 1, 1}, 0.9f}, {{0, 1, 2}, 0.5f}, {{0, 3, 4}, 0.6f}, {{1, 1, 2}, 0.7f}}, 3),
            (Rows{{0, 0.9f, 3, 2, 7, 8}, {1, 0.7f, 7, 2, 11, 8}, {0, 0.6f, 15, 10, 19, 16}}));
  // Equal neighbours are both peaks; ties go by row, column, then class.
  EXPECT_EQ(decode({{{1, 0, 0}, 0.4f}, {{0, 0, 1}, 0.4f}, {{0, 0, 2}, 0.4f}}, 2),
            (Rows{{1, 0.4f, -1, -2, 3, 4}, {0, 0.4f, 3, -2, 7, 4}}));
  EXPECT_EQ(decode({}, 100).size(), 40u);  // all zero: every cell is a peak of score 0
  EXPECT_EQ(decode({{{0, 0, 0}, std::nanf("")}}, 100).size(), 39u);
  EXPECT_TRUE(decode({}, 0).empty());
}

TEST(SuppressOverlaps, DropsLowerBoxesOverlappingAKeptOne) {
  std::vector<Detection> boxes = {
      {0, 0.5f, 0, 0, 10, 10},    // overlaps the best by 81/119: dropped
      {0, 0.9f, 1, 1, 11, 11},    // best
      {0, 0.7f, 20, 20, 30, 30},  // apart
      {0, 0.6f, 6, 1, 16, 11},    // overlaps the best by 50/150
  };
  std::vector<float> kept;
  for (const Detection& d : suppressOverlaps(boxes, 0.5f)) kept.push_back(d.score);
  EXPECT_EQ(kept, (std::vector<float>{0.9f, 0.7f, 0.6f}));
  EXPECT_TRUE(suppressOverlaps({}, 0.5f).empty());
}

TEST(CalibratedConfidence, MeetsTheAnalysisFloorsAndIsMonotone) {
  EXPECT_NEAR(calibratedConfidence(0.4f), 0.5f, 1e-6);    // the people floor
  EXPECT_NEAR(calibratedConfidence(0.25f), 0.12f, 1e-6);  // the label floor
  EXPECT_EQ(calibratedConfidence(0.0f), 0.0f);
  EXPECT_EQ(calibratedConfidence(1.0f), 1.0f);
  EXPECT_EQ(calibratedConfidence(-0.5f), 0.0f);
  EXPECT_TRUE(std::isnan(calibratedConfidence(std::nanf(""))));
  for (int i = 1; i < 100; ++i)
    EXPECT_GT(calibratedConfidence(i / 100.0f), calibratedConfidence((i - 1) / 100.0f)) << i;
}

}  // namespace
