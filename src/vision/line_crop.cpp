#include "vision/line_crop.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
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

// Columns from .. to (inclusive) of a crop that some pixels lie in.
struct Span {
  int from = 0, to = -1;
  int width() const { return to - from + 1; }
};

// The columns of the middle band [fromRow, toRow) holding colour `bin`.
Span middleSpan(const cv::Mat& colour, int bin, int fromRow, int toRow) {
  Span span{colour.cols, -1};
  for (int y = fromRow; y < toRow; ++y) {
    const auto* row = colour.ptr<cv::Vec3b>(y);
    for (int x = 0; x < colour.cols; ++x)
      if (colourBin(row[x]) == bin) span.from = std::min(span.from, x), span.to = std::max(span.to, x);
  }
  return span;
}

// The writing's colour is looked for among the kInkCandidates colours that
// score highest. An icon is at most kIconWidth of the crop's height wide; the
// writing beside it scores at least kIconInkShare of the icon's colour, spans
// at least twice its width and lies apart from it.
constexpr size_t kInkCandidates = 4;
constexpr float kIconWidth = 0.5f, kIconInkShare = 0.5f;

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
// stroke colour wins over the blend at the stroke edges; but not an icon's
// colour, when writing of another colour lies beside the icon.
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
  std::vector<std::pair<float, int>> ranked;
  for (int bin = 0; bin < kColourBins; ++bin) {
    if (middle[bin] == 0) continue;
    float excess = middle[bin] / middleCount - margins[bin] / std::max(marginCount, 1.0f);
    ranked.emplace_back(excess * float(cv::norm(middleSums[bin] / middle[bin] - ground)), bin);
  }
  if (ranked.empty()) return {cv::Vec3f(0, 0, 0), ground};
  const size_t considered = std::min<size_t>(kInkCandidates, ranked.size());
  std::partial_sort(ranked.begin(), ranked.begin() + considered, ranked.end(), std::greater<>());
  int inkBin = ranked[0].second;
  // A compact blob of the leading colour with writing of another colour
  // beside it is an icon (a folder before "2017"); its colour taken for the
  // ink would leave the writing as ground.
  const Span leading = middleSpan(colour, inkBin, middleFrom, middleTo);
  if (float(leading.width()) <= kIconWidth * float(rows)) {
    for (size_t k = 1; k < considered && ranked[k].first >= kIconInkShare * ranked[0].first; ++k) {
      const Span beside = middleSpan(colour, ranked[k].second, middleFrom, middleTo);
      if (beside.width() >= 2 * leading.width() && (beside.from > leading.to || beside.to < leading.from)) {
        inkBin = ranked[k].second;
        break;
      }
    }
  }
  return {middleSums[inkBin] / middle[inkBin], ground};
}

}  // namespace

int medianGrey(const cv::Mat& grey) {
  std::array<int, 256> histogram{};
  for (int y = 0; y < grey.rows; ++y)
    for (const uint8_t* p = grey.ptr<uint8_t>(y); p != grey.ptr<uint8_t>(y) + grey.cols; ++p) ++histogram[*p];
  int median = 0;
  for (int seen = 0; median < 255 && (seen += histogram[size_t(median)]) * 2 < int(grey.total());) ++median;
  return median;
}

namespace {

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
  const int median = medianGrey(grey);
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

namespace {

// A line box as the writing runs: corners top-left, top-right, bottom-right,
// bottom-left of the writing, its length along and its height across.
struct LineFrame {
  std::array<cv::Point2f, 4> c;
  float width, height;
  cv::Point2f along() const { return (c[1] - c[0]) / std::max(width, 1.0f); }
  cv::Point2f across() const { return (c[3] - c[0]) / std::max(height, 1.0f); }
};

LineFrame lineFrame(const cv::RotatedRect& box) {
  auto c = orderedCorners(box);
  float width = std::max(distance(c[0], c[1]), distance(c[3], c[2]));
  float height = std::max(distance(c[0], c[3]), distance(c[1], c[2]));
  // A box much taller than wide holds text running downwards (as on book
  // spines): its right edge becomes the top of the line.
  if (height >= 1.5f * width) {
    c = {c[1], c[2], c[3], c[0]};
    std::swap(width, height);
  }
  return {c, width, height};
}

// A colour line crop in grey, dark writing on a light ground, with what
// reaches its edges cleared away.
cv::Mat writingInGrey(const cv::Mat& colour) {
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
  return grey;
}

// Some ground around the box, on every side, in line heights: the detector's
// boxes hug the writing, while the writing-colour estimate and Tesseract both
// want free rows above and below it.
constexpr float kPad = 0.25f;

// Whether the line runs across rather than downwards: a part of a line that
// runs downwards would be taken for a line of its own direction.
bool runsAcross(const LineFrame& frame) { return std::abs(frame.along().y) <= 0.5f && frame.height >= 1; }

// Rows of a padded line crop `rows` tall per pixel of the box's height.
float cropScale(const LineFrame& frame, int rows) { return rows / (frame.height * (1 + 2 * kPad)); }

// The part of the line box covering [alongFrom, alongTo) of its length and
// [acrossFrom, acrossTo) of its height, as a box of its own.
cv::RotatedRect partOfFrame(const LineFrame& frame, float alongFrom, float alongTo, float acrossFrom, float acrossTo) {
  const cv::Point2f along = frame.along();
  const cv::Point2f centre =
      frame.c[0] + along * ((alongFrom + alongTo) / 2) + frame.across() * ((acrossFrom + acrossTo) / 2);
  const float angle = float(std::atan2(along.y, along.x) * 180 / M_PI);
  return {centre, cv::Size2f(alongTo - alongFrom, acrossTo - acrossFrom), angle};
}

// The size of the padded crop of the line in `frame` at `lineHeight` rows.
cv::Size colourCropSize(const LineFrame& frame, int lineHeight) {
  const float pad = kPad * frame.height;
  const float width = frame.width + 2 * pad, height = frame.height + 2 * pad;
  const float scale = lineHeight / std::max(height, 1.0f);
  return {std::max(1, cvRound(width * scale)), lineHeight};
}

}  // namespace

cv::Mat lineColourCrop(const cv::Mat& rgb, const cv::RotatedRect& box, int lineHeight) {
  const LineFrame frame = lineFrame(box);
  const cv::Point2f along = frame.along(), across = frame.across();
  const float pad = kPad * frame.height;
  std::array<cv::Point2f, 4> c = frame.c;
  c[0] -= along * pad + across * pad;
  c[1] += along * pad - across * pad;
  c[2] += along * pad + across * pad;
  c[3] += -along * pad + across * pad;
  const cv::Size size = colourCropSize(frame, lineHeight);
  cv::Point2f target[4] = {{0, 0}, {float(size.width), 0}, {float(size.width), float(size.height)}, {0, float(size.height)}};
  cv::Mat warp = cv::getPerspectiveTransform(c.data(), target);
  cv::Mat colour;
  cv::warpPerspective(rgb, colour, warp, size, cv::INTER_CUBIC, cv::BORDER_REPLICATE);
  return colour;
}

namespace {

// Rows of the crops in which widget edges are looked for.
constexpr int kEdgeRows = 48;

// 1 where the colour of `colour` changes by at least `edge` (summed over the
// channels) between the pixels two to the left and two to the right, else 0.
cv::Mat colourChanges(const cv::Mat& colour, int edge) {
  cv::Mat changes = cv::Mat::zeros(colour.size(), CV_8U);
  for (int y = 0; y < colour.rows; ++y) {
    const auto* row = colour.ptr<cv::Vec3b>(y);
    uint8_t* out = changes.ptr<uint8_t>(y);
    for (int x = 2; x + 2 < colour.cols; ++x) {
      int change = 0;
      for (int k = 0; k < 3; ++k) change += std::abs(int(row[x + 2][k]) - int(row[x - 2][k]));
      out[x] = change >= edge;
    }
  }
  return changes;
}

// Per column of `colour`, the rows in which the colour changes by at least
// 36 (summed over the channels) between the pixels two to either side.
std::vector<int> edgeRowsPerColumn(const cv::Mat& colour) {
  cv::Mat perColumn;
  cv::reduce(colourChanges(colour, 36), perColumn, 0, cv::REDUCE_SUM, CV_32S);
  return perColumn;
}

// Whether column x of `colour` is flat ground, as beside a widget's edge and
// unlike a photograph: in the rows of the writing (where a field or a button
// shorter than the crop still lies), at least 80% of its pixels lie within
// kFlat (summed over the channels) of its median colour there.
bool flatColumn(const cv::Mat& colour, int x) {
  constexpr int kFlat = 24;
  const int first = colour.rows / 5, end = colour.rows - colour.rows / 5, rows = end - first;
  if (x < 0 || x >= colour.cols || rows <= 0) return false;
  std::array<std::vector<int>, 3> channels;
  for (int y = first; y < end; ++y)
    for (size_t k = 0; k < 3; ++k) channels[k].push_back(colour.at<cv::Vec3b>(y, x)[int(k)]);
  std::array<int, 3> median{};
  for (size_t k = 0; k < 3; ++k) {
    std::nth_element(channels[k].begin(), channels[k].begin() + rows / 2, channels[k].end());
    median[k] = channels[k][size_t(rows / 2)];
  }
  int near = 0;
  for (int y = first; y < end; ++y) {
    int off = 0;
    for (size_t k = 0; k < 3; ++k) off += std::abs(int(colour.at<cv::Vec3b>(y, x)[int(k)]) - median[k]);
    near += off <= kFlat;
  }
  return 10 * near >= 8 * rows;
}

// The column ranges of `colour` (with its edge rows per column) where a
// widget's edge crosses the line: an edge in at least 80% of the rows (the
// writing, even a "|", spans at most the middle two thirds), with flat ground
// on either side. Writing may come up to the edge (a figure right-aligned in
// its field), so one of the four columns outwards being flat will do.
std::vector<cv::Range> widgetEdges(const cv::Mat& colour, const std::vector<int>& edgeRows) {
  const int cols = colour.cols;
  auto crossed = [&](int x) { return 5 * edgeRows[size_t(x)] >= 4 * colour.rows; };
  auto flatBeside = [&](int x, int step) {
    for (int k = 0; k < 4; ++k, x += step)
      if (flatColumn(colour, x)) return true;
    return false;
  };
  std::vector<cv::Range> edges;
  for (int x = 0; x < cols;) {
    if (!crossed(x)) {
      ++x;
      continue;
    }
    // A thin line gives an edge on either side of it, taken together.
    int last = x;
    for (int next = x + 1; next < cols && next <= last + 4; ++next)
      if (crossed(next)) last = next;
    if (flatBeside(x - 2, -1) && flatBeside(last + 2, 1)) edges.emplace_back(x, last + 1);
    x = last + 1;
  }
  return edges;
}

}  // namespace

std::vector<cv::RotatedRect> widgetParts(const cv::Mat& rgb, const cv::RotatedRect& box) {
  const LineFrame frame = lineFrame(box);
  if (!runsAcross(frame)) return {box};
  const cv::Mat colour = lineColourCrop(rgb, box, kEdgeRows);
  const std::vector<int> edgeRows = edgeRowsPerColumn(colour);
  const std::vector<cv::Range> edges = widgetEdges(colour, edgeRows);
  if (edges.empty()) return {box};
  // Writing shows as changes of colour in a few rows at least; the ground
  // between a border and the end of the crop has none.
  auto holdsWriting = [&](const cv::Range& columns) {
    return std::any_of(edgeRows.begin() + columns.start, edgeRows.begin() + columns.end,
                       [&](int rows) { return 8 * rows >= colour.rows; });
  };
  // Each stretch between edges that holds writing becomes a line of its own,
  // its box drawn so that its padded crop stays clear of the edges around
  // it, unless it is too narrow to hold more than a glyph.
  const float scale = cropScale(frame, kEdgeRows);
  const float pad = kPad * frame.height;
  std::vector<cv::RotatedRect> parts;
  for (size_t i = 0; i <= edges.size(); ++i) {
    const cv::Range columns(i == 0 ? 0 : edges[i - 1].end, i == edges.size() ? colour.cols : edges[i].start);
    if (columns.empty() || !holdsWriting(columns)) continue;
    const float from = i == 0 ? 0 : columns.start / scale;
    const float to = i == edges.size() ? frame.width : columns.end / scale - 2 * pad;
    if (to - from < 0.7f * frame.height) continue;
    parts.push_back(partOfFrame(frame, from, to, 0, frame.height));
  }
  return parts;
}

namespace {

// Rows of the crops in which stacked lines are looked for: enough to keep a
// one-pixel gap between two lines of a small sign.
constexpr int kStackRows = 96;

// Per row of `colour`, the columns among `columns` in which the colour
// changes between the pixels two to either side by at least a third of the
// crop's contrast (its 5th to 95th percentile of brightness, the channels
// summed): the writing's strokes, not the grain of a photographed sign.
std::vector<int> changesPerRow(const cv::Mat& colour, cv::Range columns) {
  std::vector<int> sums;
  sums.reserve(colour.total());
  for (int y = 0; y < colour.rows; ++y)
    for (const cv::Vec3b& p : cv::Mat_<cv::Vec3b>(colour.row(y))) sums.push_back(p[0] + p[1] + p[2]);
  auto percentile = [&](size_t k) {
    std::nth_element(sums.begin(), sums.begin() + long(k), sums.end());
    return sums[k];
  };
  const int edge = std::max(36, (percentile(sums.size() * 95 / 100) - percentile(sums.size() * 5 / 100)) / 3);
  cv::Mat perRow;
  cv::reduce(colourChanges(colour, edge).colRange(columns), perRow, 1, cv::REDUCE_SUM, CV_32S);
  return perRow;
}

}  // namespace

std::vector<cv::RotatedRect> stackedLines(const cv::Mat& rgb, const cv::RotatedRect& box) {
  const LineFrame frame = lineFrame(box);
  // Only short boxes: a long line is one line.
  if (!runsAcross(frame) || frame.width > 6 * frame.height) return {box};
  const cv::Mat colour = lineColourCrop(rgb, box, kStackRows);
  // Crop rows and columns per box pixel; the crop pads the box on every side.
  const float scale = cropScale(frame, kStackRows);
  auto crop = [&](float boxPixels) { return cvRound((boxPixels + kPad * frame.height) * scale); };
  // The middle of the box's width: a sign's or a field's border beside the
  // writing, or the picture around it, crosses every row.
  const cv::Range columns(crop(0.15f * frame.width), crop(0.85f * frame.width));
  const std::vector<int> changes = changesPerRow(colour, columns);
  // Writing leaves no row of its own line free of changes; a row with next to
  // none, away from the box's top and bottom fifth, lies between two lines.
  auto blank = [&](int y) { return 50 * changes[size_t(y)] <= columns.size(); };
  auto writing = [&](int y) { return 10 * changes[size_t(y)] >= columns.size(); };
  cv::Range gap(0, 0);
  for (int y = crop(0.2f * frame.height); y < crop(0.8f * frame.height); ++y) {
    if (!blank(y)) continue;
    int end = y;
    while (end < colour.rows && blank(end)) ++end;
    if (end - y > gap.size()) gap = cv::Range(y, end);
    y = end;
  }
  auto rowsOfWriting = [&](int from, int to) {
    int rows = 0;
    for (int y = std::max(from, 0); y < std::min(to, colour.rows); ++y) rows += writing(y);
    return rows;
  };
  // Each line needs a few rows of writing: a dot or an underline is no line.
  const int fewest = kStackRows / 16;
  if (gap.empty() || rowsOfWriting(crop(0), gap.start) < fewest ||
      rowsOfWriting(gap.end, crop(frame.height)) < fewest)
    return {box};
  const float split = (gap.start + gap.end) / 2.0f / scale - kPad * frame.height;
  // Either line at least as tall as the smallest writing read: a box of a
  // few pixels split is a glyph cut in two.
  constexpr float kLeastLine = 7;
  if (split < kLeastLine || frame.height - split < kLeastLine) return {box};
  return {partOfFrame(frame, 0, frame.width, 0, split), partOfFrame(frame, 0, frame.width, split, frame.height)};
}

int lineCropWidth(const cv::RotatedRect& box, int lineHeight) {
  return colourCropSize(lineFrame(box), lineHeight).width + 2 * lineCropMargin(lineHeight);
}

cv::Mat lineCrop(const cv::Mat& rgb, const cv::RotatedRect& box, int lineHeight) {
  cv::Mat grey = writingInGrey(lineColourCrop(rgb, box, lineHeight));

  const int margin = lineCropMargin(lineHeight);
  cv::Mat framed;
  cv::copyMakeBorder(grey, framed, margin, margin, margin, margin, cv::BORDER_CONSTANT, cv::Scalar(255));
  return framed;
}
