#include "platform/detections.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Two classes on a 4 × 5 grid; extents of 1, 2, 3, 4 pixels everywhere.
struct Maps {
  static constexpr int classes = 2, height = 4, width = 5;
  std::vector<float> heat = std::vector<float>(classes * height * width, 0.0f);
  std::vector<float> extents;
  Maps() {
    for (float e : {1.0f, 2.0f, 3.0f, 4.0f}) extents.insert(extents.end(), height * width, e);
  }
  float& at(int c, int y, int x) { return heat[size_t((c * height + y) * width + x)]; }
  std::vector<Detection> decode(int limit) {
    return decodeDetections(heat.data(), extents.data(), classes, height, width, 4, limit);
  }
};

TEST(DecodeDetections, FindsLocalPeaksBestFirstWithBoxesAroundTheCell) {
  Maps m;
  m.at(0, 1, 1) = 0.9f;
  m.at(0, 1, 2) = 0.5f;  // next to a higher cell: not a peak
  m.at(0, 3, 4) = 0.6f;  // corner peak
  m.at(1, 1, 2) = 0.7f;  // same place, other class: a peak of its own
  std::vector<Detection> found = m.decode(3);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].label, 0);
  EXPECT_FLOAT_EQ(found[0].score, 0.9f);
  EXPECT_FLOAT_EQ(found[0].left, 4 - 1);
  EXPECT_FLOAT_EQ(found[0].top, 4 - 2);
  EXPECT_FLOAT_EQ(found[0].right, 4 + 3);
  EXPECT_FLOAT_EQ(found[0].bottom, 4 + 4);
  EXPECT_EQ(found[1].label, 1);
  EXPECT_FLOAT_EQ(found[1].left, 8 - 1);
  EXPECT_FLOAT_EQ(found[2].score, 0.6f);
  EXPECT_FLOAT_EQ(found[2].left, 16 - 1);
  EXPECT_FLOAT_EQ(found[2].bottom, 12 + 4);
}

TEST(DecodeDetections, EqualNeighboursAreBothPeaksAndTiesGoByPosition) {
  Maps m;
  m.at(1, 0, 0) = 0.4f;
  m.at(0, 0, 1) = 0.4f;
  m.at(0, 0, 2) = 0.4f;
  std::vector<Detection> found = m.decode(2);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].label, 1);  // row 0, column 0
  EXPECT_FLOAT_EQ(found[1].left, 4 - 1);
}

TEST(DecodeDetections, LimitAndEmptyMaps) {
  Maps m;
  // All zero: every cell is a peak of score 0.
  EXPECT_EQ(m.decode(100).size(), size_t(Maps::classes * Maps::height * Maps::width));
  EXPECT_TRUE(m.decode(0).empty());
  m.at(0, 0, 0) = std::nanf("");
  EXPECT_EQ(m.decode(100).size(), size_t(Maps::classes * Maps::height * Maps::width - 1));
}

TEST(SuppressOverlaps, DropsLowerBoxesOverlappingAKeptOne) {
  std::vector<Detection> boxes = {
      {0, 0.5f, 0, 0, 10, 10},    // overlaps the best by 81/119 > 0.5: dropped
      {0, 0.9f, 1, 1, 11, 11},    // best
      {0, 0.7f, 20, 20, 30, 30},  // apart: kept
      {0, 0.6f, 6, 1, 16, 11},    // overlaps the best by 50/150: kept
  };
  std::vector<Detection> kept = suppressOverlaps(boxes, 0.5f);
  ASSERT_EQ(kept.size(), 3u);
  EXPECT_FLOAT_EQ(kept[0].score, 0.9f);
  EXPECT_FLOAT_EQ(kept[1].score, 0.7f);
  EXPECT_FLOAT_EQ(kept[2].score, 0.6f);
  EXPECT_TRUE(suppressOverlaps({}, 0.5f).empty());
}

TEST(CalibratedConfidence, FixedPointsAndOrder) {
  EXPECT_NEAR(calibratedConfidence(0.4f), 0.5f, 1e-6);
  EXPECT_NEAR(calibratedConfidence(0.25f), 0.12f, 1e-6);
  EXPECT_EQ(calibratedConfidence(0.0f), 0.0f);
  EXPECT_EQ(calibratedConfidence(1.0f), 1.0f);
  EXPECT_EQ(calibratedConfidence(-0.5f), 0.0f);
  EXPECT_TRUE(std::isnan(calibratedConfidence(std::nanf(""))));
  float previous = 0;
  for (int i = 1; i < 100; ++i) {
    float c = calibratedConfidence(float(i) / 100);
    EXPECT_GT(c, previous) << i;
    previous = c;
  }
}

TEST(CocoName, NamesAllEightyClasses) {
  EXPECT_EQ(cocoName(0), "person");
  EXPECT_EQ(cocoName(9), "traffic light");
  EXPECT_EQ(cocoName(15), "cat");
  EXPECT_EQ(cocoName(79), "toothbrush");
  EXPECT_EQ(cocoName(80), "");
  EXPECT_EQ(cocoName(-1), "");
}

}  // namespace
