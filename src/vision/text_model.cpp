#include "vision/text_model.h"

#include <leptonica/allheaders.h>
#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/dnn.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <string_view>
#include <thread>

#include "base/fail.h"
#include "vision/embedded_models.h"
#include "vision/opencv_failure.h"
#include "vision/ctc_recogniser.h"
#include "vision/language_correction.h"
#include "vision/line_crop.h"
#include "vision/onnx_net.h"
#include "vision/reading_cleanup.h"
#include "vision/small_text.h"
#include "vision/text_lines.h"
#include "vision/word_reread.h"
#include "base/utf8.h"

namespace {

// Longest side the detector sees; our frames are at most 720 on each side,
// so in practice they are only rounded to the detector's 32-pixel grid.
constexpr int kDetectorLimit = 960;
// Writing under about 8 pixels tall (a large screen recording shrunk to the
// frame) gives the detector nothing at the frame's size; up to kMostTiles
// squares of kTileSide pixels where such writing may be are looked at again
// enlarged kTileZoom times. At this size each costs about half a frame.
constexpr int kTileSide = 192;
constexpr int kTileZoom = 2;
constexpr int kMostTiles = 3;
// Height of the line crops handed to the recogniser, padding included: the
// writing itself comes out about 40 pixels tall, the size Tesseract reads
// best; frames of UI text enter at 7 to 9 pixels.
constexpr int kLineHeight = 64;
// The recogniser's work grows with the length of the lines it reads, in
// line heights: lines are read in reading order until their crops add up to
// this many line heights across. A frame of UI labels is read whole; a page
// of dense text costs a few hundred milliseconds instead of seconds.
constexpr int kMostLineWidth = 333;
// From this many lines on, a frame's lines are shared between two
// recognisers, each on a core of its own.
constexpr size_t kLinesForTwoReaders = 6;
// The second readings' work per frame, in pixels of padded crop width at the
// CTC recogniser's height: kMostRereadWidth on a frame of a few lines, less
// kRereadWidthPerLine for every line height Tesseract read (a pixel of
// width costs the CTC recogniser about what a tenth of a line height costs
// Tesseract), so that a frame full of UI text stays within its time: a
// frame of 150 line heights (a GIMP window) has 825 pixels left.
constexpr int kMostRereadWidth = 2400;
constexpr double kRereadWidthPerLine = 10.5;
// Single doubtful words are read again with what the lines leave of that
// budget, but at least this many of them on any frame: a frame full of UI
// text, which leaves nothing, is where a garbled file name is most likely.
constexpr int kLeastWordRereads = 4;

std::string tessdataDirectory() {
  // Debian places the data under the Tesseract major version; older and
  // hand-built installs use the other places.
  for (const char* candidate : {"/usr/share/tesseract-ocr/5/tessdata", "/usr/share/tesseract-ocr/4.00/tessdata",
                                "/usr/share/tessdata", "/usr/local/share/tessdata",
                                "/usr/local/share/tesseract-ocr/5/tessdata"}) {
    std::error_code ignored;
    if (std::filesystem::exists(std::string(candidate) + "/eng.traineddata", ignored)) return candidate;
  }
  throw Fail("text recogniser: English Tesseract data (eng.traineddata) not found");
}

cv::dnn::Net loadDetector() { return onnxNet(textDetectorOnnx(), "text detector"); }

std::unique_ptr<tesseract::TessBaseAPI> loadRecogniser(const std::string& data) {
  auto api = std::make_unique<tesseract::TessBaseAPI>();
  // Every diagnostic goes to /dev/null; inversion is settled by lineCrop.
  std::vector<std::string> names = {"debug_file", "tessedit_do_invert"};
  std::vector<std::string> values = {"/dev/null", "0"};
  if (api->Init(data.c_str(), "eng", tesseract::OEM_LSTM_ONLY, nullptr, 0, &names, &values, false) != 0)
    throw Fail("text recogniser: Tesseract could not load its English data");
  api->SetPageSegMode(tesseract::PSM_SINGLE_LINE);
  return api;
}

// While alive, OpenMP parallel regions run on the calling thread alone.
// Tesseract splits each step of its recogniser over several OpenMP threads;
// for single text lines that costs more in start-up and spinning than it
// gains, and the detector already keeps both cores busy through OpenCV.
class SerialOpenMp {
 public:
  SerialOpenMp() : levels_(omp_get_max_active_levels()) { omp_set_max_active_levels(0); }
  ~SerialOpenMp() { omp_set_max_active_levels(levels_); }
  SerialOpenMp(const SerialOpenMp&) = delete;
  SerialOpenMp& operator=(const SerialOpenMp&) = delete;

 private:
  int levels_;
};

// Detector input: the picture scaled by `scale` and rounded to multiples of
// 32 per side, channels in the detector's B, G, R order, normalised
// with the ImageNet mean and deviation.
cv::Mat detectorInput(const cv::Mat& rgb, double scale) {
  auto grid = [](double side) { return std::max(32, int(std::lround(side / 32)) * 32); };
  cv::Size size(grid(rgb.cols * scale), grid(rgb.rows * scale));
  cv::Mat resized;
  cv::resize(rgb, resized, size, 0, 0, cv::INTER_LINEAR);
  cv::Mat bgr;
  cv::cvtColor(resized, bgr, cv::COLOR_RGB2BGR);
  cv::Mat scaled;
  bgr.convertTo(scaled, CV_32FC3, 1.0 / 255);
  scaled -= cv::Scalar(0.485, 0.456, 0.406);
  cv::divide(scaled, cv::Scalar(0.229, 0.224, 0.225), scaled);
  return cv::dnn::blobFromImage(scaled);
}

// The words of the line just recognised, in order, with their confidences.
std::vector<ReadWord> wordsRead(tesseract::TessBaseAPI& api) {
  std::vector<ReadWord> words;
  std::unique_ptr<tesseract::ResultIterator> word(api.GetIterator());
  if (!word) return words;
  do {
    std::unique_ptr<char[]> text(word->GetUTF8Text(tesseract::RIL_WORD));
    int left = 0, top = 0, right = 0, bottom = 0;
    if (!word->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom)) left = right = 0;
    if (text) words.push_back({validUtf8(text.get()), word->Confidence(tesseract::RIL_WORD), float(left), float(right)});
  } while (word->Next(tesseract::RIL_WORD));
  return words;
}

// A reading's words, each with the reading's confidence (0 to 100).
std::vector<ReadWord> wordsOf(const RecognizedText& reading) {
  std::vector<ReadWord> words;
  for (std::string_view rest = reading.string; !rest.empty();) {
    size_t space = rest.find(' ');
    if (space != 0) words.push_back({std::string(rest.substr(0, space)), 100 * reading.confidence});
    rest.remove_prefix(space == std::string_view::npos ? rest.size() : space + 1);
  }
  return words;
}

// Tesseract's reading of one line crop, if it read anything, and the words
// it read in it.
TextObservation readCrop(tesseract::TessBaseAPI& api, const cv::Mat& crop, std::vector<ReadWord>& words) {
  api.SetImage(crop.data, crop.cols, crop.rows, 1, int(crop.step));
  api.SetSourceResolution(300);
  TextObservation observation;
  if (api.Recognize(nullptr) == 0) {
    words = wordsRead(api);
    std::string reading = cleanedReading(words);
    if (!reading.empty()) observation.top = RecognizedText{reading, readingConfidence(float(api.MeanTextConf()), reading)};
  }
  return observation;
}

// Whether `box` (frame coordinates) reaches an edge of `tile` that is not
// the frame's own: writing that goes on outside the tile, cut short there.
bool cutByTile(const cv::Rect2f& box, const cv::Rect& tile, cv::Size frame) {
  constexpr float kNear = 2;
  return (tile.x > 0 && box.x < tile.x + kNear) || (tile.y > 0 && box.y < tile.y + kNear) ||
         (tile.br().x < frame.width && box.br().x > tile.br().x - kNear) ||
         (tile.br().y < frame.height && box.br().y > tile.br().y - kNear);
}

// A line's colour crop as the CTC recogniser reads it: whole, or in pieces
// of whole words (or of a word) where it is too wide.
std::vector<Piece> linePieces(const cv::Mat& colour) {
  if (colour.cols <= CtcRecogniser::kWidth) return {Piece{{0, colour.cols}}};
  return wordPieces(colour, CtcRecogniser::kWidth);
}

// Calls `work` with every index below `count`, spread over OpenCV's threads
// (both cores): cutting out and measuring lines costs a UI frame tens of
// milliseconds, a line at a time.
template <typename Work>
void inParallel(size_t count, const Work& work) {
  cv::parallel_for_(cv::Range(0, int(count)), [&](const cv::Range& range) {
    for (int i = range.start; i < range.end; ++i) work(size_t(i));
  });
}

// The lines, each split where two lines are stacked in it and where a
// widget's edge crosses it, in order.
std::vector<cv::RotatedRect> lineParts(const cv::Mat& rgb, const std::vector<cv::RotatedRect>& lines) {
  std::vector<std::vector<cv::RotatedRect>> parts(lines.size());
  inParallel(lines.size(), [&](size_t i) {
    for (const cv::RotatedRect& row : stackedLines(rgb, lines[i]))
      for (const cv::RotatedRect& part : widgetParts(rgb, row)) parts[i].push_back(part);
  });
  std::vector<cv::RotatedRect> flat;
  for (const auto& line : parts) flat.insert(flat.end(), line.begin(), line.end());
  return flat;
}

bool insideAny(const cv::Point2f& point, const std::vector<cv::RotatedRect>& boxes) {
  for (const cv::RotatedRect& box : boxes)
    if (box.boundingRect2f().contains(point)) return true;
  return false;
}

bool overlapsAny(const cv::RotatedRect& box, const std::vector<cv::RotatedRect>& others) {
  const cv::Rect2f bounds = box.boundingRect2f();
  for (const cv::RotatedRect& other : others)
    if ((bounds & other.boundingRect2f()).area() > 0) return true;
  return false;
}

}  // namespace

TextModel::TextModel() {
  // OpenCV and Leptonica report to stderr through process-wide settings of
  // their own; stillpick never writes there.
  cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
  setMsgSeverity(L_SEVERITY_NONE);
  detector_ = loadDetector();
  // Missing data fails here, as before any reading; loading it (a hundred
  // milliseconds or more) waits for the first line found, which many clips
  // never have.
  tessdata_ = tessdataDirectory();
}

tesseract::TessBaseAPI& TextModel::recogniser(size_t which) {
  if (!recognisers_[which]) recognisers_[which] = loadRecogniser(tessdata_);
  return *recognisers_[which];
}

std::vector<TextObservation> TextModel::textObservations(const Image& picture) {
  try {
    return readLines(picture);
  } catch (const cv::Exception& error) {
    rethrowOpenCvError(error, "text reading");
  }
}

std::vector<TextObservation> TextModel::readLines(const Image& picture) {
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.rgb.size() != size_t(picture.width) * size_t(picture.height) * 3)
    return {};
  cv::Mat rgb(picture.height, picture.width, CV_8UC3, const_cast<uint8_t*>(picture.rgb.data()));

  const double scale = std::min(1.0, double(kDetectorLimit) / std::max(rgb.cols, rgb.rows));
  std::vector<cv::RotatedRect> boxes = detectedBoxes(detector_, detectorInputSize_, rgb, scale);
  std::vector<cv::RotatedRect> smallBoxes;
  for (const cv::Rect& tile : smallTextTiles(rgb, boxes, kTileSide, kMostTiles))
    for (cv::RotatedRect box : detectedBoxes(tileDetector_, tileInputSize_, rgb(tile), kTileZoom)) {
      box.center += cv::Point2f(tile.tl());
      if (!cutByTile(box.boundingRect2f(), tile, rgb.size()) && !overlapsAny(box, boxes)) smallBoxes.push_back(box);
    }
  boxes.insert(boxes.end(), smallBoxes.begin(), smallBoxes.end());
  std::vector<cv::RotatedRect> lines =
      withoutNeighbourRows(lineParts(rgb, joinedWords(inReadingOrder(std::move(boxes)))));

  // Which lines were found only in the enlarged squares: not Tesseract's to read.
  std::vector<bool> small(lines.size());
  for (size_t i = 0; i < lines.size(); ++i) small[i] = insideAny(lines[i].center, smallBoxes);

  // The lines read, in reading order, until their crops are too wide.
  double widthRead = 0;
  size_t read = 0;
  for (; read < lines.size(); ++read) {
    if (small[read]) continue;
    const double width = double(lineCropWidth(lines[read], kLineHeight)) / kLineHeight;
    if (widthRead + width > kMostLineWidth) break;
    widthRead += width;
  }
  if (read == 0) return {};
  lines.resize(read);
  small.resize(read);
  std::vector<cv::Mat> crops(read);
  inParallel(read, [&](size_t i) {
    if (!small[i]) crops[i] = lineCrop(rgb, lines[i], kLineHeight);
  });

  std::vector<TextObservation> observations(crops.size());
  std::vector<std::vector<ReadWord>> words(crops.size());
  auto readShare = [&](tesseract::TessBaseAPI& api, size_t from, size_t to) {
    SerialOpenMp serial;  // a setting of the calling thread
    for (size_t i = from; i < to; ++i)
      if (!crops[i].empty()) observations[i] = readCrop(api, crops[i], words[i]);
    api.Clear();
  };
  if (crops.size() < kLinesForTwoReaders) {
    readShare(recogniser(0), 0, crops.size());
  } else {
    // The second recogniser reads the lines from the one where half the
    // width is reached; it is loaded in its own thread, while the first one
    // reads.
    size_t half = 0;
    for (double width = 0; half < crops.size() && 2 * width < widthRead; ++half)
      width += double(crops[half].cols) / kLineHeight;
    std::exception_ptr failure;
    {
      std::jthread helper([&] {
        try {
          readShare(recogniser(1), half, crops.size());
        } catch (...) {
          failure = std::current_exception();
        }
      });
      readShare(recogniser(0), 0, half);
    }
    if (failure) std::rethrow_exception(failure);
  }
  // The small lines' readings come out of the second readings' budget, first.
  int widthLeft = int(kMostRereadWidth - kRereadWidthPerLine * widthRead);
  const std::vector<CtcLine> smallLines = smallLinesToRead(rgb, lines, small, widthLeft / CtcRecogniser::kWidth);
  const std::vector<std::optional<RecognizedText>> smallReadings = readInPieces(smallLines);
  for (size_t k = 0; k < smallLines.size(); ++k) {
    widthLeft -= int(smallLines[k].pieces.size()) * CtcRecogniser::kWidth;
    observations[smallLines[k].index] = smallLineObservation(smallReadings[k]);
  }
  widthLeft = rereadUnsure(rgb, lines, words, observations, widthLeft);
  rereadDoubtfulWords(rgb, lines, words, observations, std::max(widthLeft, kLeastWordRereads * CtcRecogniser::kWidth));
  for (size_t i = 0; i < observations.size(); ++i) {
    TextObservation& observation = observations[i];
    if (!observation.top) continue;
    // The small lines' readings were mended as they were judged.
    if (!small[i]) observation.top->string = languageCorrected(observation.top->string, english());
    if (readsAsNoise(observation.top->string, observation.top->confidence, english())) observation.top.reset();
  }
  return observations;
}

std::vector<TextModel::CtcLine> TextModel::smallLinesToRead(const cv::Mat& rgb,
                                                              const std::vector<cv::RotatedRect>& lines,
                                                              const std::vector<bool>& small, int most) {
  // Lines found only in the enlarged squares are read by the CTC recogniser,
  // in pieces of whole words where they are too long for it: at 5 to 8
  // pixels tall Tesseract makes nothing of them, while that one, trained on
  // small and blurred writing, reads most. Each piece costs that recogniser
  // a full input, so only `most` are read: lines of one piece before longer
  // ones, and of those, the ones that start furthest left, as in a menu or
  // a list the labels come before the shortcuts and sizes beside them.
  // The rest are not read at all, as Tesseract's readings of them would be
  // mostly junk.
  std::vector<CtcLine> found;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!small[i]) continue;
    CtcLine line{i, lineColourCrop(rgb, lines[i], CtcRecogniser::kHeight), {}};
    line.pieces = linePieces(line.colour);
    if (!line.pieces.empty()) found.push_back(std::move(line));
  }
  auto left = [&](const CtcLine& line) { return lines[line.index].boundingRect2f().x; };
  std::stable_sort(found.begin(), found.end(), [&](const CtcLine& a, const CtcLine& b) {
    if (a.pieces.size() != b.pieces.size()) return a.pieces.size() < b.pieces.size();
    return left(a) < left(b);
  });
  for (CtcLine& line : found) {
    if (int(line.pieces.size()) > most) line.pieces.clear();
    most -= int(line.pieces.size());
  }
  return found;
}

std::vector<std::optional<RecognizedText>> TextModel::readInPieces(const std::vector<CtcLine>& toRead) {
  // Every piece of every line is read in one list, so that both recognisers
  // have work however the pieces fall between the lines.
  std::vector<cv::Mat> crops;
  for (const CtcLine& line : toRead)
    for (const Piece& piece : line.pieces) crops.push_back(line.colour.colRange(piece.columns.from, piece.columns.to).clone());
  const std::vector<std::optional<RecognizedText>> pieceReadings = ctcReaders_.read(crops);

  // Each line's pieces' readings joined, sure as they are on average, letter
  // by letter; a piece that goes on with a word joins the one before it whole.
  std::vector<std::optional<RecognizedText>> readings(toRead.size());
  size_t next = 0;
  for (size_t k = 0; k < toRead.size(); ++k) {
    std::string joined;
    double sureness = 0;
    size_t characters = 0;
    bool lastRead = false;
    for (const Piece& piece : toRead[k].pieces) {
      const bool goesOn = piece.inWord && lastRead;
      lastRead = false;
      const std::optional<RecognizedText>& reading = pieceReadings[next++];
      if (!reading) continue;
      std::string cleaned = cleanedReading(wordsOf(*reading));
      if (cleaned.empty()) continue;
      lastRead = true;
      const size_t count = counted(cleaned).characters;
      joined = goesOn ? joinedInWord(joined, cleaned) : joined + (joined.empty() ? "" : " ") + cleaned;
      sureness += double(reading->confidence) * count;
      characters += count;
    }
    if (characters > 0) readings[k] = RecognizedText{joined, float(sureness / characters)};
  }
  return readings;
}

TextObservation TextModel::smallLineObservation(const std::optional<RecognizedText>& reading) {
  TextObservation observation;
  if (!reading) return observation;
  observation.top = keptSmallReading({reading->string, readingConfidence(100 * reading->confidence, reading->string)},
                                     english());
  return observation;
}

std::vector<cv::RotatedRect> TextModel::detectedBoxes(cv::dnn::Net& net, cv::Size& inputSize, const cv::Mat& rgb,
                                                      double scale) {
  cv::Mat input = detectorInput(rgb, scale);
  // Once run, a network gives no text lines at all for an input of another
  // size; a picture of a new size gets a freshly loaded network.
  cv::Size size(input.size[3], input.size[2]);
  if (size != inputSize) {
    if (inputSize != cv::Size() || net.empty()) net = loadDetector();
    inputSize = size;
  }
  net.setInput(input);
  cv::Mat output = net.forward();  // 1 × 1 × H × W
  cv::Mat probability(output.size[2], output.size[3], CV_32F, output.ptr<float>());
  return textLines(probability, float(rgb.cols) / probability.cols, float(rgb.rows) / probability.rows);
}

int TextModel::rereadUnsure(const cv::Mat& rgb, const std::vector<cv::RotatedRect>& lines,
                            std::vector<std::vector<ReadWord>>& words, std::vector<TextObservation>& observations,
                            int widthLeft) {
  // The least sure first, as the budget may not reach them all. Lines
  // Tesseract read nothing in are left alone: they are mostly icons or
  // texture, not worth loading the recogniser for.
  std::vector<size_t> unsure;
  for (size_t i = 0; i < lines.size(); ++i)
    if (observations[i].top && worthReadingAgain(*observations[i].top)) unsure.push_back(i);
  std::stable_sort(unsure.begin(), unsure.end(),
                   [&](size_t a, size_t b) { return observations[a].top->confidence < observations[b].top->confidence; });
  // Which lines the budget reaches is known before any is read.
  std::vector<CtcLine> toRead;
  for (size_t i : unsure) {
    if (widthLeft < CtcRecogniser::kWidth) break;
    cv::Mat colour = lineColourCrop(rgb, lines[i], CtcRecogniser::kHeight);
    if (colour.cols > CtcRecogniser::kWidth && !worthReadingInPieces(*observations[i].top)) continue;
    std::vector<Piece> pieces = linePieces(colour);
    const int width = int(pieces.size()) * CtcRecogniser::kWidth;
    if (pieces.empty() || width > widthLeft) continue;
    widthLeft -= width;
    toRead.push_back({i, std::move(colour), std::move(pieces)});
  }
  const std::vector<std::optional<RecognizedText>> seconds = readInPieces(toRead);
  for (size_t k = 0; k < toRead.size(); ++k) {
    const size_t i = toRead[k].index;
    std::optional<RecognizedText>& reading = observations[i].top;
    const std::optional<RecognizedText>& second = seconds[k];
    if (!second) continue;
    std::string cleaned = withoutGlyphBefore(second->string, reading->string);
    if (cleaned.empty()) continue;
    const float confidence = readingConfidence(100 * second->confidence, cleaned);
    if (confidence >= kSureReading && confidence > reading->confidence) {
      reading = RecognizedText{cleaned, confidence};
      words[i].clear();  // the reading is no longer made of them
    }
  }
  return widthLeft;
}

const Lexicon& TextModel::english() {
  if (!english_) english_.emplace(englishWords());
  return *english_;
}

void TextModel::rereadDoubtfulWords(const cv::Mat& rgb, const std::vector<cv::RotatedRect>& lines,
                                    std::vector<std::vector<ReadWord>>& words,
                                    std::vector<TextObservation>& observations, int widthLeft) {
  // The words the budget reaches, in reading order, are chosen first and
  // then read together.
  struct Doubt {
    size_t line, word;
  };
  std::vector<Doubt> doubts;
  std::vector<cv::Mat> crops;
  for (size_t i = 0; i < lines.size() && widthLeft >= CtcRecogniser::kWidth; ++i) {
    if (!observations[i].top) continue;
    cv::Mat colour;
    for (size_t j = 0; j < words[i].size(); ++j) {
      if (widthLeft < CtcRecogniser::kWidth) break;
      const ReadWord& word = words[i][j];
      if (!worthRereading(word, english())) continue;
      if (colour.empty()) colour = lineColourCrop(rgb, lines[i], CtcRecogniser::kHeight);
      std::optional<Columns> columns =
          wordColumns(word, kLineHeight + 2 * lineCropMargin(kLineHeight), lineCropMargin(kLineHeight), colour.rows, colour.cols);
      if (!columns || columns->to - columns->from > CtcRecogniser::kWidth) continue;
      widthLeft -= CtcRecogniser::kWidth;
      doubts.push_back({i, j});
      crops.push_back(colour.colRange(columns->from, columns->to).clone());
    }
  }
  const std::vector<std::optional<RecognizedText>> seconds = ctcReaders_.read(crops);
  std::vector<bool> mended(lines.size());
  for (size_t k = 0; k < doubts.size(); ++k) {
    ReadWord& word = words[doubts[k].line][doubts[k].word];
    const std::optional<RecognizedText>& second = seconds[k];
    if (!second || !takesReread(word, *second)) continue;
    word = ReadWord{second->string, 100 * second->confidence, word.left, word.right};
    mended[doubts[k].line] = true;
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!mended[i]) continue;
    std::string reading = cleanedReading(words[i]);
    if (!reading.empty()) observations[i].top->string = reading;
  }
}
