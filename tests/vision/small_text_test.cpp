#include "vision/small_text.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>
#include <tuple>

#include "support/photos.h"
#include "vision/embedded_models.h"

namespace {

cv::Mat matOf(const Image& picture) {
  return cv::Mat(picture.height, picture.width, CV_8UC3, const_cast<uint8_t*>(picture.rgb.data())).clone();
}

// A menu's labels drawn at 13 pixels on a 1920 × 1080 screen, as decoded:
// 720 × 405, the labels 5 pixels tall at x 180 to about 215, y 75 to 135.
std::string shrunkMenuGraph(int x) {
  std::string graph = "color=c=0xf6f6f6:size=1920x1080";
  int row = 0;
  for (const char* label : {"New Window", "Open Recent", "Save", "Reload", "Detach Tab", "Close Window"})
    graph += ",drawtext=fontfile=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf:text='" + std::string(label) +
             "':fontsize=13:fontcolor=0x303030:x=" + std::to_string(x) + ":y=" + std::to_string(200 + 26 * row++);
  return "-f lavfi -i \"" + graph + "\"";
}

TEST(SmallTextTiles, FindsSmallWritingOnFlatGroundAndNothingInPhotographs) {
  const cv::Mat menu = matOf(loadPhoto("shrunk-menu", shrunkMenuGraph(480)));
  ASSERT_EQ(menu.size(), cv::Size(720, 405));
  const cv::Rect labels(180, 74, 36, 62);

  std::vector<cv::Rect> tiles = smallTextTiles(menu, {}, 192, 3);
  ASSERT_EQ(tiles.size(), 1u);
  EXPECT_EQ(tiles[0] & labels, labels) << "the square holds the labels whole";
  EXPECT_EQ(tiles[0].size(), cv::Size(192, 192));
  // Centred on them, not flush with their edge, where writing would be cut.
  EXPECT_GT(labels.x - tiles[0].x, 40);
  EXPECT_GT(tiles[0].y + 192 - labels.br().y, 40);

  // Writing the detector has already found needs no second look.
  const cv::RotatedRect found(cv::Point2f(198, 105), cv::Size2f(44, 70), 0);
  EXPECT_TRUE(smallTextTiles(menu, {found}, 192, 3).empty());
  // A square never reaches past the frame, even for writing at its edge.
  const cv::Mat atEdge = matOf(loadPhoto("shrunk-menu-edge", shrunkMenuGraph(8)));
  tiles = smallTextTiles(atEdge, {}, 192, 3);
  ASSERT_EQ(tiles.size(), 1u);
  EXPECT_EQ(tiles[0].x, 0);
  EXPECT_TRUE(smallTextTiles(menu, {}, 192, 0).empty());
  EXPECT_TRUE(smallTextTiles(menu(cv::Rect(0, 0, 191, 405)), {}, 192, 3).empty()) << "narrower than a square";

  // Photographs: fine texture everywhere, whole or inside the flat bars of
  // a letterbox, and a blank screen.
  const struct {
    const char* name;
    std::string input;
  } none[] = {
      {"astronaut720", "-i " + samplePhoto("astronaut.png") + " -vf scale=405:405"},
      {"coffee-letterbox", "-i " + samplePhoto("coffee.png") + " -vf \"scale=-2:300,pad=720:405:(ow-iw)/2:52:black\""},
      {"chelsea-bars", "-i " + samplePhoto("chelsea.png") + " -vf \"pad=720:405:0:(oh-ih)/2:0xf6f6f6\""},
      {"blank-screen", "-f lavfi -i color=c=0xf6f6f6:size=720x405"},
  };
  for (const auto& c : none) EXPECT_TRUE(smallTextTiles(matOf(loadPhoto(c.name, c.input)), {}, 192, 3).empty()) << c.name;
}

// A 48-row line crop on a light ground with words at the given columns,
// drawn in its middle rows as dark stems 3 columns wide and at most 3
// apart, the last one ending the word.
cv::Mat lineWithWords(int width, const std::vector<std::pair<int, int>>& words) {
  cv::Mat crop(48, width, CV_8UC3, cv::Scalar(240, 240, 240));
  auto stem = [&](int x) { cv::rectangle(crop, cv::Rect(x, 12, 3, 24), cv::Scalar(20, 20, 20), cv::FILLED); };
  for (const auto& [from, to] : words) {
    for (int x = from; x + 3 <= to; x += 6) stem(x);
    stem(to - 3);
  }
  return crop;
}

TEST(WordPieces, CutsInTheMiddleOfWordGapsIntoPiecesThatFit) {
  using Spans = std::vector<std::pair<int, int>>;
  using Pieces = std::vector<std::tuple<int, int, bool>>;  // from, to, goes on with a word
  const struct {
    const char* what;
    int width;
    Spans words;
    Pieces pieces;
  } cases[] = {
      {"three words, two fit together", 320, {{10, 60}, {75, 150}, {170, 300}}, {{0, 160, false}, {160, 320, false}}},
      {"no two fit together", 420, {{10, 150}, {180, 330}, {345, 410}},
       {{0, 165, false}, {165, 337, false}, {337, 420, false}}},
      {"a gap of 8 columns is inside a word", 190, {{10, 95}, {103, 185}}, {{0, 190, false}}},
      // Stems at 100 + 6k: the last column without ink before 282 is 279.
      {"a word wider than a piece is cut between letters", 420, {{10, 80}, {100, 300}},
       {{0, 90, false}, {90, 279, false}, {279, 420, true}}},
      {"and cut again where its rest is still too wide", 500, {{4, 490}},
       {{0, 189, false}, {189, 381, true}, {381, 500, true}}},
      {"a word after a cut one starts a piece of its own", 420, {{4, 250}, {270, 300}},
       {{0, 189, false}, {189, 260, true}, {260, 420, false}}},
      {"no ink", 300, {}, {}},
  };
  for (const auto& c : cases) {
    Pieces pieces;
    for (const Piece& piece : wordPieces(lineWithWords(c.width, c.words), 192))
      pieces.emplace_back(piece.columns.from, piece.columns.to, piece.inWord);
    EXPECT_EQ(pieces, c.pieces) << c.what;
  }
  // A highlight reaching into the crop's lower rows, where a line that is
  // not quite level takes in the row below, is not ink.
  cv::Mat highlighted = lineWithWords(320, {{10, 60}, {75, 150}, {170, 300}});
  cv::rectangle(highlighted, cv::Rect(140, 34, 180, 14), cv::Scalar(60, 110, 220), cv::FILLED);
  std::vector<Piece> pieces = wordPieces(highlighted, 192);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].columns.to, 160);
}

TEST(JoinedInWord, MakesSmallAFirstCapitalShapedLikeItsSmallLetterAfterASmallLetter) {
  const struct {
    const char* before;
    const char* piece;
    const char* joined;
  } cases[] = {
      {"/usr/share/common-license", "S/GPL-3", "/usr/share/common-licenses/GPL-3"},
      {"www.exam", "ple.Com", "www.example.Com"},  // only the first letter
      {"disc", "Over", "discover"},
      {"GNU", "Software", "GNUSoftware"},  // after a capital it stays
      {"Open", "Recent", "OpenRecent"},     // R has a small letter of its own shape
      {"draft-", "Copy", "draft-Copy"},     // not after a small letter
      {"", "Sun", "Sun"},
      {"abc", "", "abc"},
  };
  for (const auto& c : cases) EXPECT_EQ(joinedInWord(c.before, c.piece), c.joined) << c.before << " + " << c.piece;
}

TEST(KeptSmallReading, SureOnesAndLessSureOnesMadeOfEnglishWordsOnceMended) {
  const Lexicon english(englishWords());
  const struct {
    const char* read;
    float confidence;
    const char* kept;  // nullptr: dropped
  } cases[] = {
      {"Detach lab", 0.75f, "Detach lab"},  // sure enough, whatever it says
      {"Save 8...", 0.81f, "Save 8..."},
      {"Reload", 0.66f, "Reload"},  // English
      {"Save As...", 0.5f, "Save As..."},
      {"Reload", 0.49f, nullptr},
      {"Qult", 0.63f, "Quit"},  // English once its look-alike is mended
      {"Piaces", 0.74f, "Places"},
      {"Ciose Window", 0.94f, "Close Window"},  // mended when sure as well
      {"Musik", 0.74f, "Music"},  // and once a small look-alike is
      {"Mosik", 0.74f, nullptr},
      {"Cref...", 0.69f, nullptr},  // "Print..." garbled
      {"SNR+cbi#5", 0.74f, nullptr},
      {"Ctrl+S", 0.6f, nullptr},  // a shortcut is not a word: at this size it is mostly garbled
  };
  for (const auto& c : cases) {
    const std::optional<RecognizedText> kept = keptSmallReading(RecognizedText{c.read, c.confidence}, english);
    EXPECT_EQ(kept ? std::optional<std::string>(kept->string) : std::nullopt,
              c.kept ? std::optional<std::string>(c.kept) : std::nullopt)
        << c.read << " " << c.confidence;
    if (kept) {
      EXPECT_EQ(kept->confidence, c.confidence) << c.read;
    }
  }
}

}  // namespace
