#include "vision/small_text.h"

#include <algorithm>
#include <opencv2/imgproc.hpp>
#include <string_view>

#include "vision/line_crop.h"

namespace {

// A pixel is a stroke when it is darker or lighter by kStrokeContrast than
// the pixels two to either side of it along its row (a stem of small
// writing, at most three pixels wide), and flat when its 3 × 3
// neighbourhood spans at most kFlatRange (a screen's fills; photographs
// have next to none). Straight edges make no strokes; rules and borders
// drawn down the screen do, and are left out by their length: strokes
// that run on down kLongestStem rows or more.
constexpr int kStrokeContrast = 30;
constexpr int kFlatRange = 1;
constexpr int kLongestStem = 12;
// A stroke counts only with flat ground both above and below it in its
// column, within kAround rows: writing on a screen has it
// between its lines, while in photographs (textures, the edge of a picture
// beside a flat border or a letterbox bar) next to no stroke has.
constexpr int kAround = 6;
// A square is worth a look when at least this share of it is flat and it
// holds at least this many counted strokes that no found line covers: a
// few words of 5-pixel writing; a lone icon has fewer.
constexpr double kLeastFlatShare = 0.5;
constexpr int kLeastDetail = 24;
// Squares are tried at this step, in pixels.
constexpr int kStep = 8;
// Found boxes are grown by this many pixels on each side before they count
// as covering, so the detail along their edges counts as theirs.
constexpr float kCoverMargin = 3;

int sumIn(const cv::Mat& integral, const cv::Rect& r) {
  return integral.at<int>(r.y + r.height, r.x + r.width) - integral.at<int>(r.y, r.x + r.width) -
         integral.at<int>(r.y + r.height, r.x) + integral.at<int>(r.y, r.x);
}

// Pixels (255) that stand out from both their neighbours two along the row
// by kStrokeContrast, the same way.
cv::Mat strokes(const cv::Mat& gray) {
  cv::Mat out = cv::Mat::zeros(gray.size(), CV_8U);
  for (int y = 0; y < gray.rows; ++y) {
    const uint8_t* g = gray.ptr<uint8_t>(y);
    uint8_t* o = out.ptr<uint8_t>(y);
    for (int x = 2; x + 2 < gray.cols; ++x) {
      const int left = g[x - 2], here = g[x], right = g[x + 2];
      if ((here + kStrokeContrast <= left && here + kStrokeContrast <= right) ||
          (here >= left + kStrokeContrast && here >= right + kStrokeContrast))
        o[x] = 255;
    }
  }
  cv::Mat stems;
  cv::morphologyEx(out, stems, cv::MORPH_OPEN, cv::Mat::ones(kLongestStem, 1, CV_8U));
  return out - stems;
}

// Square positions along one side: every kStep pixels, and flush with the far end.
std::vector<int> starts(int length, int side) {
  std::vector<int> at;
  for (int p = 0; p + side <= length; p += kStep) at.push_back(p);
  if (at.back() + side < length) at.push_back(length - side);
  return at;
}

// A column holds ink when a pixel of its middle band differs this much
// from the line's ground, the crop's median brightness.
constexpr int kInkContrast = 48;

// How many pixels of ink each column of `colour` holds in its middle third,
// where small letters have their bodies; the crop's other rows take in the
// neighbouring lines and highlights where the line is not quite level.
std::vector<int> inkInColumns(const cv::Mat& colour) {
  cv::Mat gray;
  cv::cvtColor(colour, gray, cv::COLOR_RGB2GRAY);
  const int ground = medianGrey(gray);
  std::vector<int> ink(colour.cols);
  for (int y = colour.rows / 3; y < colour.rows - colour.rows / 3; ++y)
    for (int x = 0; x < colour.cols; ++x)
      if (std::abs(gray.at<uint8_t>(y, x) - ground) >= kInkContrast) ++ink[x];
  return ink;
}

// Columns [from, to) of a word wider than `widest`, as pieces each at most
// that wide, every one after the first going on with the word. Each cut is
// at the column of least ink in the second half of its piece (the furthest
// on of those), between two letters where there is such a column.
void cutWord(int from, int to, int widest, const std::vector<int>& ink, std::vector<Piece>& pieces) {
  for (bool inWord = false; to - from > widest; inWord = true) {
    int cut = from + widest;
    for (int x = cut - 1; x > from + widest / 2; --x)
      if (ink[x] < ink[cut]) cut = x;
    pieces.push_back({{from, cut}, inWord});
    from = cut;
  }
  pieces.push_back({{from, to}, true});
}

}  // namespace

std::vector<cv::Rect> smallTextTiles(const cv::Mat& rgb, const std::vector<cv::RotatedRect>& found, int side,
                                     int most) {
  if (rgb.empty() || side <= 0 || rgb.cols < side || rgb.rows < side) return {};
  cv::Mat gray, high, low;
  cv::cvtColor(rgb, gray, cv::COLOR_RGB2GRAY);
  cv::dilate(gray, high, cv::Mat());
  cv::erode(gray, low, cv::Mat());
  cv::Mat flat = (high - low) <= kFlatRange;
  cv::Mat above = cv::Mat::ones(kAround + 1, 1, CV_8U), below = above.clone();
  above.row(kAround).setTo(0);
  below.row(0).setTo(0);
  cv::Mat flatAbove, flatBelow;
  cv::dilate(flat, flatAbove, above, cv::Point(0, kAround));
  cv::dilate(flat, flatBelow, below, cv::Point(0, 0));
  cv::Mat detail = strokes(gray) & flatAbove & flatBelow;
  for (const cv::RotatedRect& box : found) {
    cv::RotatedRect grown(box.center, box.size + cv::Size2f(2 * kCoverMargin, 2 * kCoverMargin), box.angle);
    cv::Point2f corners[4];
    grown.points(corners);
    std::vector<cv::Point> polygon;
    for (const cv::Point2f& corner : corners) polygon.emplace_back(cvRound(corner.x), cvRound(corner.y));
    cv::fillConvexPoly(detail, polygon, cv::Scalar(0));
  }
  cv::Mat flatSums;
  cv::integral(flat / 255, flatSums, CV_32S);
  const int leastFlat = int(kLeastFlatShare * side * side);
  const std::vector<int> xs = starts(rgb.cols, side), ys = starts(rgb.rows, side);

  std::vector<cv::Rect> tiles;
  while (int(tiles.size()) < most) {
    cv::Mat detailSums;
    cv::integral(detail / 255, detailSums, CV_32S);
    cv::Rect best;
    int bestDetail = kLeastDetail - 1;
    for (int y : ys)
      for (int x : xs) {
        cv::Rect square(x, y, side, side);
        const int count = sumIn(detailSums, square);
        if (count > bestDetail && sumIn(flatSums, square) >= leastFlat) bestDetail = count, best = square;
      }
    if (best.empty()) break;
    // Centred on the detail it holds, so that writing which starts or ends
    // near its edges is not cut off.
    const cv::Rect held = cv::boundingRect(detail(best)) + best.tl();
    const cv::Point centre = (held.tl() + held.br()) / 2;
    best.x = std::clamp(centre.x - side / 2, 0, rgb.cols - side);
    best.y = std::clamp(centre.y - side / 2, 0, rgb.rows - side);
    tiles.push_back(best);
    detail(best).setTo(0);
  }
  return tiles;
}

std::optional<RecognizedText> keptSmallReading(const RecognizedText& reading, const Lexicon& english) {
  RecognizedText mended{smallWritingCorrected(languageCorrected(reading.string, english), english), reading.confidence};
  if (mended.confidence >= kSureSmallReading ||
      (mended.confidence >= kLeastSmallReading && allEnglishWords(mended.string, english)))
    return mended;
  return std::nullopt;
}

std::vector<Piece> wordPieces(const cv::Mat& colour, int widest) {
  const std::vector<int> ink = inkInColumns(colour);
  // Words: runs of columns with ink, joined across gaps narrower than a word gap.
  const int wordGap = std::max(1, int(kWordGap * colour.rows));
  std::vector<Columns> words;
  for (int x = 0; x < colour.cols;) {
    if (ink[x] == 0) { ++x; continue; }
    int end = x;
    while (end < colour.cols && ink[end] > 0) ++end;
    if (!words.empty() && x - words.back().to < wordGap) words.back().to = end;
    else words.push_back({x, end});
    x = end;
  }
  // Whole words packed into pieces, each cut in the middle of the gaps
  // around it (or at the crop's ends).
  auto cutBefore = [&](size_t i) { return i == 0 ? 0 : (words[i - 1].to + words[i].from) / 2; };
  auto cutAfter = [&](size_t i) { return i + 1 == words.size() ? colour.cols : (words[i].to + words[i + 1].from) / 2; };
  std::vector<Piece> pieces;
  for (size_t first = 0; first < words.size();) {
    size_t last = first;
    if (cutAfter(first) - cutBefore(first) > widest) {
      cutWord(cutBefore(first), cutAfter(first), widest, ink, pieces);
      ++first;
      continue;
    }
    while (last + 1 < words.size() && cutAfter(last + 1) - cutBefore(first) <= widest) ++last;
    pieces.push_back({{cutBefore(first), cutAfter(last)}});
    first = last + 1;
  }
  return pieces;
}

std::string joinedInWord(const std::string& before, const std::string& piece) {
  std::string joined = before + piece;
  const bool smallBefore = !before.empty() && before.back() >= 'a' && before.back() <= 'z';
  if (smallBefore && !piece.empty() && std::string_view("COSVWXZ").find(piece.front()) != std::string_view::npos)
    joined[before.size()] = char(piece.front() - 'A' + 'a');
  return joined;
}
