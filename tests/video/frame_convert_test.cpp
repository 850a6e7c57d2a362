#include "video/frame_convert.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/fail.h"

namespace {

TEST(FitWithin, ScalesTheLongerSideTo720AndNeverEnlarges) {
  struct Case {
    double width, height;
    int fittedWidth, fittedHeight;
  };
  for (const Case& c : std::vector<Case>{{1920, 1080, 720, 405}, {1080, 1920, 405, 720}, {720, 720, 720, 720},
                                         {640, 480, 640, 480}, {721, 1, 720, 1}, {10000, 1, 720, 1}, {1, 1, 1, 1},
                                         {1000, 999, 720, 719}}) {  // the last rounds 719.3 down
    PictureSize size = fitWithin(c.width, c.height, 720);
    EXPECT_EQ(std::vector<int>({size.width, size.height}), std::vector<int>({c.fittedWidth, c.fittedHeight}))
        << c.width << " x " << c.height;
  }
}

TEST(FrameConverter, RefusesAbsurdSizes) {
  FrameConverter converter(DisplayGeometry{});
  FramePtr frame(av_frame_alloc());
  frame->format = AV_PIX_FMT_YUV420P;
  for (auto [width, height] : {std::pair{0, 10}, {10, 0}, {16385, 10}, {10, 16385}, {-5, 10}}) {
    frame->width = width;
    frame->height = height;
    EXPECT_THROW(converter.convert(*frame), Fail) << width << " x " << height;
  }
}

}  // namespace
