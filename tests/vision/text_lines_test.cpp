#include "vision/text_lines.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

cv::RotatedRect level(float x, float y, float width, float height) {
  return {{x + width / 2, y + height / 2}, {width, height}, 0};
}

struct Span {
  float top, bottom;
};

Span rowsOf(const cv::RotatedRect& box) {
  const cv::Rect2f bounds = box.boundingRect2f();
  return {bounds.y, bounds.br().y};
}

TEST(WithoutNeighbourRows, CutsCloseSetLinesHalfwayBetweenCentres) {
  // Terminal lines as the detector boxed them, 9 to 10 pixels apart, each
  // box overlapping the next: the last two are of like height and are cut
  // between them; the first, 12 tall against 18, is not like the second.
  const std::vector<cv::RotatedRect> terminal = {level(171, 67, 192, 12), level(255, 72, 125, 18),
                                                 level(269, 83, 110, 15)};
  const std::vector<cv::RotatedRect> cut = withoutNeighbourRows(terminal);
  ASSERT_EQ(cut.size(), 3u);
  const Span expected[] = {{67, 79}, {72, 85.75f}, {85.75f, 98}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(rowsOf(cut[i]).top, expected[i].top, 1e-3) << i;
    EXPECT_NEAR(rowsOf(cut[i]).bottom, expected[i].bottom, 1e-3) << i;
    EXPECT_NEAR(cut[i].boundingRect2f().x, terminal[i].boundingRect2f().x, 1e-3) << i;
    EXPECT_NEAR(cut[i].boundingRect2f().width, terminal[i].boundingRect2f().width, 1e-3) << i;
  }
}

TEST(WithoutNeighbourRows, LeavesBoxesThatAreNotCloseSetLines) {
  const cv::RotatedRect box = level(100, 100, 200, 16);
  struct Case {
    const char* name;
    std::vector<cv::RotatedRect> others;
  } cases[] = {
      {"on the same row", {level(320, 104, 80, 16)}},
      {"overlapping rows, other columns", {level(310, 110, 100, 16)}},
      {"rows apart", {level(100, 117, 200, 16)}},
      {"a much taller title above", {level(100, 80, 200, 24)}},
      {"tilted by 10 degrees", {cv::RotatedRect({200, 118}, {200, 16}, 10)}},
      // Taller than wide: writing that runs downwards, however upright.
      {"running downwards", {level(150, 110, 12, 20)}},
      // Halfway to either neighbour's centre lies 3 rows from the box's
      // centre: 6 of its 16 rows would be left, under 0.4 of them.
      {"so close it would leave too little", {level(100, 96, 200, 12), level(100, 108, 200, 12)}},
  };
  for (const Case& c : cases) {
    std::vector<cv::RotatedRect> lines = {box};
    lines.insert(lines.end(), c.others.begin(), c.others.end());
    const std::vector<cv::RotatedRect> cut = withoutNeighbourRows(lines);
    ASSERT_EQ(cut.size(), lines.size()) << c.name;
    EXPECT_EQ(rowsOf(cut[0]).top, 100) << c.name;
    EXPECT_EQ(rowsOf(cut[0]).bottom, 116) << c.name;
  }
  // Cut from both sides, and kept when half of it is left.
  const std::vector<cv::RotatedRect> cut =
      withoutNeighbourRows({box, level(100, 92, 200, 16), level(100, 108, 200, 16)});
  EXPECT_EQ(rowsOf(cut[0]).top, 104);
  EXPECT_EQ(rowsOf(cut[0]).bottom, 112);
}

}  // namespace
