#pragma once
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <vector>

#include "vision/language_correction.h"
#include "vision/vision.h"
#include "vision/word_reread.h"

// Where a frame may hold writing too small for the text detector to see at
// the frame's own size, as screen text is once a large recording is shrunk
// to the frame: squares of `side` pixels inside the frame, at most `most`,
// the likeliest first, each centred over a cluster of thin strokes with flat
// ground above and below them, as between the lines of a menu, that none of
// the `found` boxes (frame coordinates) covers. None when the frame is
// smaller than a square.
std::vector<cv::Rect> smallTextTiles(const cv::Mat& rgb, const std::vector<cv::RotatedRect>& found, int side,
                                     int most);

// A reading of a line of such small writing (by the CTC recogniser) as it
// is kept: mended (languageCorrected, then smallWritingCorrected), and only
// when the recogniser is at least kSureSmallReading sure of it, or at least
// kLeastSmallReading sure and, mended, it is made of English words alone
// ("Qult" is "Quit", "Musik" is "Music"). Below
// that, its readings are mostly shortcuts and icons garbled into strings
// like "SNR+cbi#5".
constexpr float kSureSmallReading = 0.75f;
constexpr float kLeastSmallReading = 0.5f;
std::optional<RecognizedText> keptSmallReading(const RecognizedText& reading, const Lexicon& english);

// A piece of a line's colour crop, read on its own: its columns, and
// whether it goes on with the word the piece before it ends in (a word too
// wide to be read at once, as a path or a web address is, cut between two
// of its letters), when its reading joins that one's without a space.
struct Piece {
  Columns columns;
  bool inWord = false;
};

// A colour crop of a line (as lineColourCrop cuts it) too wide to be read
// at once, as pieces each at most `widest` columns: whole words, cut in the
// middle of gaps at least kWordGap of the crop's height wide, with no ink in
// the middle third of rows. A word wider than `widest` is a piece, or
// several, of its own, cut at the column with the least ink in the second
// half of each. None when the line has no ink.
constexpr float kWordGap = 0.2f;
std::vector<Piece> wordPieces(const cv::Mat& colour, int widest);

// The reading of a piece that goes on with a word, joined to the reading
// `before` it: with its first letter made small when that is one whose
// capital has the shape of its small letter (C, O, S, V, W, X, Z) and the
// reading before ends in a small letter, as the recogniser takes the start
// of a crop for the start of a word ("common-license" and "S/GPL-3").
std::string joinedInWord(const std::string& before, const std::string& piece);
