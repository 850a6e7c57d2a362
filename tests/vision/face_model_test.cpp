#include "vision/face_model.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "support/photos.h"
#include "vision/count_people.h"
#include "vision/vision.h"

namespace {

TEST(FaceSquares, GridOverThePictureAgainstItsEdgesWhereTheAreasAre) {
  const cv::Rect all(0, 0, 720, 720);
  auto xs = [](const std::vector<cv::Rect>& squares) {
    std::vector<std::pair<int, int>> corners;
    for (const cv::Rect& s : squares) {
      EXPECT_EQ(s.size(), cv::Size(kFaceSquare, kFaceSquare));
      corners.push_back({s.x, s.y});
    }
    return corners;
  };
  using Corners = std::vector<std::pair<int, int>>;
  // A wide group photo: one row, the last square against the right edge.
  EXPECT_EQ(xs(faceSquares({720, 187}, {all})), (Corners{{0, 0}, {144, 0}, {288, 0}, {432, 0}, {528, 0}}));
  // Exactly one square wide and tall; a picture smaller than a square is one
  // square from its corner.
  EXPECT_EQ(xs(faceSquares({192, 192}, {all})), (Corners{{0, 0}}));
  EXPECT_EQ(xs(faceSquares({100, 60}, {all})), (Corners{{0, 0}}));
  EXPECT_EQ(faceSquares({720, 405}, {all}).size(), 15u);
  // Only the squares that meet an area; an area touching a square's edge
  // from outside does not meet it.
  EXPECT_EQ(xs(faceSquares({720, 187}, {cv::Rect(630, 100, 20, 20)})), (Corners{{528, 0}}));
  EXPECT_EQ(xs(faceSquares({720, 187}, {cv::Rect(192, 0, 10, 10)})), (Corners{{144, 0}}));
  EXPECT_EQ(xs(faceSquares({720, 187}, {cv::Rect(100, 0, 50, 10)})), (Corners{{0, 0}, {144, 0}}));
  EXPECT_TRUE(faceSquares({720, 187}, {}).empty());
}

TEST(DecodeFaceLevel, AnchorCentreAndOffsetsInInputPixelsScaledToThePicture) {
  // Three columns and two rows of cells of 128 input pixels, two anchors.
  const FaceGrid grid{100, 50, 0.75f, 0.5f, 128, 3, 2};
  std::vector<float> scores(2 * 6, -10.0f), boxes(2 * 16 * 6, 0.0f);
  auto box = [&](int anchor, int k, int cell) -> float& { return boxes[size_t((anchor * 16 + k) * 6 + cell)]; };
  scores[1 * 6 + 5] = 2.0f;  // anchor 1, column 2 of row 1
  box(1, 0, 5) = 4, box(1, 1, 5) = -2, box(1, 2, 5) = 32, box(1, 3, 5) = 40;
  scores[0 * 6 + 1] = 0.0f;  // 0.5: not above the floor
  scores[0 * 6 + 2] = 3.0f;  // a box of no width is no face
  box(0, 2, 2) = 0, box(0, 3, 2) = 20;
  const std::vector<Detection> faces = decodeFaceLevel(scores.data(), boxes.data(), grid, 2, 0.5f);
  ASSERT_EQ(faces.size(), 1u);
  const Detection& f = faces[0];
  EXPECT_NEAR(f.score, 1 / (1 + std::exp(-2.0f)), 1e-6);
  // Centre (320 + 4, 192 - 2) of the input, 32 x 40, at 0.75 x 0.5 picture
  // pixels each.
  EXPECT_FLOAT_EQ(f.left, 100 + 308 * 0.75f);
  EXPECT_FLOAT_EQ(f.top, 50 + 170 * 0.5f);
  EXPECT_FLOAT_EQ(f.right, 100 + 340 * 0.75f);
  EXPECT_FLOAT_EQ(f.bottom, 50 + 210 * 0.5f);
}

TEST(FaceParts, EachSideLongerThanASquareCutInTwoOverlappingPartsThatMeetASquare) {
  using Rects = std::vector<cv::Rect>;
  const Rects everywhere = {{0, 0, 720, 720}};
  EXPECT_EQ(faceParts({720, 406}, everywhere),
            (Rects{{0, 0, 384, 227}, {0, 179, 384, 227}, {336, 0, 384, 227}, {336, 179, 384, 227}}));
  EXPECT_EQ(faceParts({720, 187}, everywhere), (Rects{{0, 0, 384, 187}, {336, 0, 384, 187}}));
  EXPECT_EQ(faceParts({150, 720}, everywhere), (Rects{{0, 0, 150, 384}, {0, 336, 150, 384}}));
  EXPECT_EQ(faceParts({193, 100}, everywhere), (Rects{{0, 0, 121, 100}, {72, 0, 121, 100}}));
  EXPECT_EQ(faceParts({192, 192}, everywhere), (Rects{{0, 0, 192, 192}}));
  EXPECT_EQ(faceParts({100, 60}, everywhere), (Rects{{0, 0, 100, 60}}));
  // A square in one part, one in the overlap of all four, one touching the
  // cut from outside.
  EXPECT_EQ(faceParts({720, 406}, {{528, 230, 192, 176}}), (Rects{{336, 179, 384, 227}}));
  EXPECT_EQ(faceParts({720, 406}, {{340, 190, 10, 10}}),
            (Rects{{0, 0, 384, 227}, {0, 179, 384, 227}, {336, 0, 384, 227}, {336, 179, 384, 227}}));
  EXPECT_EQ(faceParts({720, 406}, {{144, 0, 192, 179}}), (Rects{{0, 0, 384, 227}}));
  EXPECT_TRUE(faceParts({720, 406}, {}).empty());
}

TEST(CentredIn, TheCentreOfTheFaceNotItsBox) {
  const std::vector<cv::Rect> squares = {{0, 0, 192, 192}, {300, 0, 192, 192}};
  auto face = [](float left, float top, float right, float bottom) { return Detection{0, 0.9f, left, top, right, bottom}; };
  EXPECT_TRUE(centredIn(face(180, 10, 200, 30), squares));    // centre 190: in, box half out
  EXPECT_FALSE(centredIn(face(184, 10, 200, 30), squares));   // centre 192: on the far edge
  EXPECT_FALSE(centredIn(face(200, 10, 280, 30), squares));   // between the squares
  EXPECT_TRUE(centredIn(face(290, 10, 310, 30), squares));    // centre 300: on the near edge
  EXPECT_FALSE(centredIn(face(10, 180, 30, 210), squares));   // below
  EXPECT_FALSE(centredIn(face(10, 10, 30, 30), {}));
}

Vision& vision() {
  static std::unique_ptr<Vision> shared = makeVision();
  return *shared;
}

TEST(FaceModel, FindsTheFaceOfAPortraitShrunkToASquare) {
  const Image portrait = loadPhoto("astronaut", "-i " + samplePhoto("astronaut.png"));
  cv::Mat rgb(portrait.height, portrait.width, CV_8UC3, const_cast<uint8_t*>(portrait.rgb.data()));
  FaceModel model;
  // Shrunk to 150 pixels, her face about 30 across, as in a group photo;
  // the square reaches past the picture's edges, and the search of the same
  // picture moved 24 pixels down and right (32 at the detector's input, a
  // whole cell of both its levels) finds the face moved as much, and nothing where
  // the square does not hold it.
  cv::Mat small;
  cv::resize(rgb, small, {150, 150}, 0, 0, cv::INTER_AREA);
  std::vector<Detection> faces = suppressOverlaps(model.faces(small, {{0, 0, 192, 192}}), 0.3f);
  ASSERT_EQ(faces.size(), 1u);
  const Detection face = faces[0];
  // Her face, brow to chin, is about columns 53 to 79 and rows 20 to 53.
  EXPECT_GT(face.score, 0.9f);
  EXPECT_NEAR(face.left, 53, 6);
  EXPECT_NEAR(face.right, 79, 6);
  EXPECT_NEAR(face.top, 22, 6);
  EXPECT_NEAR(face.bottom, 52, 6);
  cv::Mat moved(174, 174, CV_8UC3, cv::Scalar(0, 0, 0));
  small.copyTo(moved(cv::Rect(24, 24, 150, 150)));
  std::vector<Detection> again = suppressOverlaps(model.faces(moved, {{0, 0, 192, 192}}), 0.3f);
  ASSERT_EQ(again.size(), 1u);
  EXPECT_NEAR(again[0].left, face.left + 24, 0.5);
  EXPECT_NEAR(again[0].bottom, face.bottom + 24, 0.5);
  EXPECT_TRUE(model.faces(moved, {{0, 0, 70, 174}}).empty());
}

// A real group photograph: 39 people standing, kneeling and sitting in three
// rows. The detector, seeing it at 512 x 133, counts 4 of them; their faces
// are counted instead.
TEST(FaceModel, AGroupPhotoCountsItsPeopleByTheirFaces) {
  const Image group = loadPhoto("group", "-i " + groupPhoto());
  ASSERT_EQ(std::pair(group.width, group.height), std::pair(720, 187));
  const int64_t counted = countPeople(vision(), group);
  EXPECT_GE(counted, 32);  // within a fifth of 39
  EXPECT_LE(counted, 46);
}

}  // namespace
