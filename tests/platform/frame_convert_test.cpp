#include "platform/frame_convert.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/fail.h"

namespace {

TEST(FitWithin, ScalesTheLongerSideTo720AndNeverEnlarges) {
  struct Case {
    double width, height;
    int fittedWidth, fittedHeight;
  };
  const std::vector<Case> cases = {
      {1920, 1080, 720, 405}, {1080, 1920, 405, 720}, {3840, 2160, 720, 405}, {720, 720, 720, 720},
      {1280, 720, 720, 405},  {640, 480, 640, 480},   {853, 480, 720, 405},   {721, 1, 720, 1},
      {10000, 1, 720, 1},     {1, 1, 1, 1},           {1440, 1080, 720, 540}, {1000, 999, 720, 719},
  };
  for (const Case& c : cases) {
    PictureSize size = fitWithin(c.width, c.height, 720);
    EXPECT_EQ(size.width, c.fittedWidth) << c.width << " x " << c.height;
    EXPECT_EQ(size.height, c.fittedHeight) << c.width << " x " << c.height;
  }
}

TEST(OrientationOf, RoundsTheMatrixToTheNearestQuarterTurnOrMirroring) {
  struct Case {
    double a, b, c, d;
    Orientation expected;
  };
  const std::vector<Case> cases = {
      {1, 0, 0, 1, {1, 0, 0, 1}},        {0, 1, -1, 0, {0, 1, -1, 0}},   {-1, 0, 0, -1, {-1, 0, 0, -1}},
      {0, -1, 1, 0, {0, -1, 1, 0}},      {-1, 0, 0, 1, {-1, 0, 0, 1}},   {1, 0, 0, -1, {1, 0, 0, -1}},
      {0, 1, 1, 0, {0, 1, 1, 0}},        {2, 0, 0, 2, {1, 0, 0, 1}},      // scaled: only the turn counts
      {0.9, 0.1, -0.1, 0.9, {1, 0, 0, 1}},                                // nearly upright
  };
  for (const Case& c : cases) {
    Orientation o = orientationOf(c.a, c.b, c.c, c.d);
    EXPECT_EQ(std::vector<int>({o.a, o.b, o.c, o.d}),
              std::vector<int>({c.expected.a, c.expected.b, c.expected.c, c.expected.d}));
  }
}

// A 3 x 2 picture whose pixels carry their own number 1 ... 6 in red, row by row.
Image numbered() {
  Image image{3, 2, {}};
  for (uint8_t n = 1; n <= 6; ++n) image.rgb.insert(image.rgb.end(), {n, 0, 0});
  return image;
}

std::vector<int> reds(const Image& image) {
  std::vector<int> values;
  for (size_t i = 0; i < image.rgb.size(); i += 3) values.push_back(image.rgb[i]);
  return values;
}

TEST(Oriented, TurnsAndMirrorsPixelsExactly) {
  // 1 2 3
  // 4 5 6
  struct Case {
    Orientation orientation;
    int width, height;
    std::vector<int> pixels;
  };
  const std::vector<Case> cases = {
      {{1, 0, 0, 1}, 3, 2, {1, 2, 3, 4, 5, 6}},
      {{0, 1, -1, 0}, 2, 3, {4, 1, 5, 2, 6, 3}},   // clockwise
      {{0, -1, 1, 0}, 2, 3, {3, 6, 2, 5, 1, 4}},   // counterclockwise
      {{-1, 0, 0, -1}, 3, 2, {6, 5, 4, 3, 2, 1}},  // half turn
      {{-1, 0, 0, 1}, 3, 2, {3, 2, 1, 6, 5, 4}},   // mirrored left to right
      {{1, 0, 0, -1}, 3, 2, {4, 5, 6, 1, 2, 3}},   // upside down
      {{0, 1, 1, 0}, 2, 3, {1, 4, 2, 5, 3, 6}},    // transposed
      {{0, -1, -1, 0}, 2, 3, {6, 3, 5, 2, 4, 1}},  // anti-transposed
  };
  for (const Case& c : cases) {
    Image turned = oriented(numbered(), c.orientation);
    EXPECT_EQ(turned.width, c.width);
    EXPECT_EQ(turned.height, c.height);
    EXPECT_EQ(reds(turned), c.pixels);
  }
}

// One grey frame of the given size and format, every plane filled with `value`.
FramePtr greyFrame(int width, int height, AVPixelFormat format, int value) {
  FramePtr frame(av_frame_alloc());
  frame->width = width;
  frame->height = height;
  frame->format = format;
  EXPECT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
  for (int plane = 0; plane < 3; ++plane)
    for (int y = 0; y < (plane ? (height + 1) / 2 : height); ++y)
      std::fill_n(frame->data[plane] + static_cast<ptrdiff_t>(y) * frame->linesize[plane], frame->linesize[plane],
                  static_cast<uint8_t>(plane ? 128 : value));
  return frame;
}

TEST(FrameConverter, SizesFollowTheDisplayGeometry) {
  struct Case {
    DisplayGeometry geometry;
    int width, height;  // stored picture
    int shownWidth, shownHeight;
  };
  const std::vector<Case> cases = {
      {{1, 1, 0, 0, 1, 720}, 1920, 1080, 720, 405},
      {{1, 0, 1, -1, 0, 720}, 1920, 1080, 405, 720},
      {{32.0 / 27, 1, 0, 0, 1, 720}, 720, 480, 720, 405},
      {{1, 1, 0, 0, 1, 720}, 320, 240, 320, 240},
      {{1, 0, 0, 0, 0, 720}, 320, 240, 320, 240},  // a degenerate matrix keeps the stored shape
  };
  for (const Case& c : cases) {
    FrameConverter converter(c.geometry);
    Picture picture = converter.convert(*greyFrame(c.width, c.height, AV_PIX_FMT_YUV420P, 126));
    EXPECT_EQ(picture->width, c.shownWidth);
    EXPECT_EQ(picture->height, c.shownHeight);
    // Limited-range luma 126 is (126 - 16) · 255 / 219 = 128 in full range.
    EXPECT_NEAR(picture->rgb[picture->rgb.size() / 2], 128, 1);
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
