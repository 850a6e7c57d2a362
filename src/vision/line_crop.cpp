#include "vision/line_crop.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace {

// Corners of the box as top-left, top-right, bottom-right, bottom-left.
std::array<cv::Point2f, 4> orderedCorners(const cv::RotatedRect& box) {
  std::array<cv::Point2f, 4> p;
  box.points(p.data());
  std::sort(p.begin(), p.end(), [](const auto& a, const auto& b) { return a.x < b.x; });
  auto [topLeft, bottomLeft] = p[0].y <= p[1].y ? std::pair{p[0], p[1]} : std::pair{p[1], p[0]};
  auto [topRight, bottomRight] = p[2].y <= p[3].y ? std::pair{p[2], p[3]} : std::pair{p[3], p[2]};
  return {topLeft, topRight, bottomRight, bottomLeft};
}

float distance(cv::Point2f a, cv::Point2f b) { return std::hypot(a.x - b.x, a.y - b.y); }

// Colours binned to 4 bits per channel.
constexpr int kColourBins = 4096;
int colourBin(const cv::Vec3b& pixel) { return (pixel[0] >> 4) << 8 | (pixel[1] >> 4) << 4 | (pixel[2] >> 4); }

struct Colours {
  cv::Vec3f ink, ground;
};

// The colours of the writing and of its ground. The ground is the commonest
// (coarsely binned) colour of the top or of the bottom margin, which the
// padded box leaves mostly free of strokes; of the two, the one more common
// between the letters, in the middle band of the line. A tight box (a title
// bar, a table header, a highlighted row) has other bands in its margins:
// when neither margin colour is at least half as common in the middle band
// as that band's own commonest colour, the latter is the ground. The writing
// is the colour over-represented in the middle band compared with the
// margins, weighted by its difference from the ground so that the pure
// stroke colour wins over the blend at the stroke edges.
Colours lineColours(const cv::Mat& colour) {
  std::vector<float> middle(kColourBins), top(kColourBins), bottom(kColourBins);
  std::vector<cv::Vec3f> middleSums(kColourBins), marginSums(kColourBins);
  int rows = colour.rows;
  int marginRows = std::max(1, rows * 15 / 100);
  int middleFrom = rows * 30 / 100, middleTo = std::max(middleFrom + 1, rows * 70 / 100);
  float middleCount = 0, marginCount = 0;
  for (int y = 0; y < rows; ++y) {
    std::vector<float>* margin = y < marginRows ? &top : y >= rows - marginRows ? &bottom : nullptr;
    bool inMiddle = y >= middleFrom && y < middleTo;
    if (!margin && !inMiddle) continue;
    const auto* row = colour.ptr<cv::Vec3b>(y);
    for (int x = 0; x < colour.cols; ++x) {
      int bin = colourBin(row[x]);
      if (margin) {
        (*margin)[bin] += 1, marginCount += 1;
        marginSums[bin] += cv::Vec3f(row[x]);
      } else {
        middle[bin] += 1, middleCount += 1;
        middleSums[bin] += cv::Vec3f(row[x]);
      }
    }
  }
  auto commonest = [](const std::vector<float>& counts) {
    return int(std::max_element(counts.begin(), counts.end()) - counts.begin());
  };
  int topBin = commonest(top), bottomBin = commonest(bottom), middleBin = commonest(middle);
  int marginBin = middle[topBin] >= middle[bottomBin] ? topBin : bottomBin;
  cv::Vec3f ground = 2 * middle[marginBin] >= middle[middleBin]
                         ? marginSums[marginBin] / std::max(top[marginBin] + bottom[marginBin], 1.0f)
                         : middleSums[middleBin] / std::max(middle[middleBin], 1.0f);
  std::vector<float> margins(kColourBins);
  for (int bin = 0; bin < kColourBins; ++bin) margins[bin] = top[bin] + bottom[bin];
  int inkBin = -1;
  float best = 0;
  for (int bin = 0; bin < kColourBins; ++bin) {
    if (middle[bin] == 0) continue;
    float excess = middle[bin] / middleCount - margins[bin] / std::max(marginCount, 1.0f);
    float score = excess * float(cv::norm(middleSums[bin] / middle[bin] - ground));
    if (inkBin < 0 || score > best) best = score, inkBin = bin;
  }
  cv::Vec3f ink = inkBin < 0 ? cv::Vec3f(0, 0, 0) : middleSums[inkBin] / middle[inkBin];
  return {ink, ground};
}

// Paints the ground colour (255) over every stroke that touches the edge of
// `grey` (dark writing on a light ground). The padded box leaves free ground
// around the line, so what reaches its edge is not part of the line: the
// border of a sign or a button, a ruling line, a caret, the descenders of the
// line above. Left in, Tesseract reads them as "|", "[" or an extra letter
// ("(NOTICE)" for a sign's border). A border that lies wholly inside the
// crop goes too.
void clearBorders(cv::Mat& grey) {
  // Writing is what is darker than half the ground's level, the ground being
  // the median grey (lighter than pure white where the contrast is low).
  std::array<int, 256> histogram{};
  for (int y = 0; y < grey.rows; ++y)
    for (const uint8_t* p = grey.ptr<uint8_t>(y); p != grey.ptr<uint8_t>(y) + grey.cols; ++p) ++histogram[*p];
  int median = 0;
  for (int seen = 0; median < 255 && (seen += histogram[size_t(median)]) * 2 < int(grey.total());) ++median;
  cv::Mat labels, stats, centroids;
  int count = cv::connectedComponentsWithStats(grey < median / 2, labels, stats, centroids, 8, CV_32S);
  std::vector<uint8_t> border(size_t(count), 0);
  auto box = [&](int i) {
    return cv::Rect(stats.at<int>(i, cv::CC_STAT_LEFT), stats.at<int>(i, cv::CC_STAT_TOP),
                    stats.at<int>(i, cv::CC_STAT_WIDTH), stats.at<int>(i, cv::CC_STAT_HEIGHT));
  };
  for (int i = 1; i < count; ++i) {
    cv::Rect b = box(i);
    border[size_t(i)] = b.x == 0 || b.y == 0 || b.x + b.width == grey.cols || b.y + b.height == grey.rows;
  }
  // A frame round the writing (a sign's border, a button's outline) does not
  // reach the edge: it is a stroke across at least half the crop whose box
  // holds two or more strokes a third of its height or taller, the letters.
  for (int i = 1; i < count; ++i) {
    cv::Rect frame = box(i);
    if (border[size_t(i)] || 2 * frame.width < grey.cols) continue;
    int held = 0;
    for (int j = 1; j < count && held < 2; ++j) {
      cv::Rect inner = box(j);
      if (j != i && 3 * inner.height >= frame.height && (inner & frame) == inner) ++held;
    }
    border[size_t(i)] = held >= 2;
  }
  cv::Mat cleared(grey.size(), CV_8U);
  for (int y = 0; y < grey.rows; ++y) {
    const int* label = labels.ptr<int>(y);
    uint8_t* out = cleared.ptr<uint8_t>(y);
    for (int x = 0; x < grey.cols; ++x) out[x] = border[size_t(label[x])] ? 255 : 0;
  }
  // One pixel more takes the stroke's soft rim with it.
  cv::dilate(cleared, cleared, cv::Mat());
  grey.setTo(255, cleared);
}

}  // namespace

cv::Mat lineColourCrop(const cv::Mat& rgb, const cv::RotatedRect& box, int lineHeight) {
  auto c = orderedCorners(box);
  float width = std::max(distance(c[0], c[1]), distance(c[3], c[2]));
  float height = std::max(distance(c[0], c[3]), distance(c[1], c[2]));
  // A box much taller than wide holds text running downwards (as on book
  // spines): its right edge becomes the top of the line.
  if (height >= 1.5f * width) {
    c = {c[1], c[2], c[3], c[0]};
    std::swap(width, height);
  }
  // Some ground around the box: the detector's boxes hug the writing, while
  // the writing-colour estimate and Tesseract both want free rows above and
  // below it.
  cv::Point2f along = (c[1] - c[0]) / std::max(width, 1.0f);
  cv::Point2f across = (c[3] - c[0]) / std::max(height, 1.0f);
  float padAcross = 0.25f * height, padAlong = 0.25f * height;
  c[0] -= along * padAlong + across * padAcross;
  c[1] += along * padAlong - across * padAcross;
  c[2] += along * padAlong + across * padAcross;
  c[3] += -along * padAlong + across * padAcross;
  width += 2 * padAlong;
  height += 2 * padAcross;

  float scale = lineHeight / std::max(height, 1.0f);
  cv::Size size(std::max(1, cvRound(width * scale)), lineHeight);
  cv::Point2f target[4] = {{0, 0}, {float(size.width), 0}, {float(size.width), float(size.height)}, {0, float(size.height)}};
  cv::Mat warp = cv::getPerspectiveTransform(c.data(), target);
  cv::Mat colour;
  cv::warpPerspective(rgb, colour, warp, size, cv::INTER_CUBIC, cv::BORDER_REPLICATE);
  return colour;
}

cv::Mat lineCrop(const cv::Mat& rgb, const cv::RotatedRect& box, int lineHeight) {
  cv::Mat colour = lineColourCrop(rgb, box, lineHeight);

  // Grey by closeness to the writing colour rather than by brightness: white
  // writing over yellow or cyan keeps its contrast, and the writing always
  // comes out dark on a light ground, whatever its own brightness.
  auto [ink, ground] = lineColours(colour);
  cv::Mat offset;
  colour.convertTo(offset, CV_32FC3);
  offset -= cv::Scalar(ink[0], ink[1], ink[2]);
  cv::Mat squared;
  cv::multiply(offset, offset, squared);
  cv::Mat summed = squared.reshape(1, int(squared.total()));
  cv::reduce(summed, summed, 1, cv::REDUCE_SUM);
  cv::Mat closeness;
  cv::sqrt(summed.reshape(1, colour.rows), closeness);
  // Pixels at least 60% of the way from the writing to the ground colour count
  // as plain ground.
  double contrast = std::max(40.0, 0.6 * cv::norm(ink - ground));
  cv::Mat grey;
  closeness.convertTo(grey, CV_8U, 255.0 / contrast);

  clearBorders(grey);

  int margin = lineHeight / 8;
  cv::Mat framed;
  cv::copyMakeBorder(grey, framed, margin, margin, margin, margin, cv::BORDER_CONSTANT, cv::Scalar(255));
  return framed;
}
