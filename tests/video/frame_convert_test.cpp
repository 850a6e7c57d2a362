#include "video/frame_convert.h"

#include <gtest/gtest.h>

#include "base/fail.h"

namespace {

// Common sizes, turned pictures and the 16384 limit are pinned through the
// frame source; these are the rounding edges.
TEST(FitWithin, ScalesTheLongerSideTo720AndNeverEnlarges) {
  for (auto [width, height, fitted] : std::vector<std::tuple<double, double, std::pair<int, int>>>{
           {720, 720, {720, 720}}, {721, 1, {720, 1}}, {10000, 1, {720, 1}}, {1000, 999, {720, 719}}}) {
    PictureSize size = fitWithin(width, height, 720);
    EXPECT_EQ(std::pair(size.width, size.height), fitted) << width << " x " << height;  // 719.3 rounds down
  }
}

// Sizes no file can declare, should a decoder hand them over.
TEST(FrameConverter, RefusesAbsurdSizes) {
  FrameConverter converter(DisplayGeometry{});
  FramePtr frame(av_frame_alloc());
  frame->format = AV_PIX_FMT_YUV420P;
  for (auto [width, height] : {std::pair{0, 10}, {16385, 10}, {-5, 10}}) {
    frame->width = width;
    frame->height = height;
    EXPECT_THROW(converter.convert(*frame), Fail) << width << " x " << height;
  }
}

}  // namespace
