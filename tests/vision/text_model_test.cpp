#include "vision/text_model.h"

#include <gtest/gtest.h>

#include "support/photos.h"

namespace {

// One picture of a case: captions in one colour and size drawn on a 720 × 405
// ground (a colour or a lavfi source), then `after` applied.
struct Case {
  const char* name;
  std::string ground, ink;
  int size;
  std::vector<std::pair<std::string, std::string>> captions;  // text, position: read back exactly, in this order
  std::string face = "DejaVuSans", after = "";
};

Image render(const Case& c) {
  std::string graph = c.ground.find('=') == std::string::npos ? "color=c=" + c.ground + ":size=720x405" : c.ground;
  for (const auto& [text, where] : c.captions)
    graph += ",drawtext=fontfile=/usr/share/fonts/truetype/dejavu/" + c.face + ".ttf:text='" + text +
             "':fontsize=" + std::to_string(c.size) + ":fontcolor=" + c.ink + ":" + where;
  return loadPhoto(c.name, "-f lavfi -i \"" + graph + c.after + "\"");
}

TEST(TextModel, ReadsRenderedCaptionsExactlyInReadingOrder) {
  const std::string centred = "x=(w-tw)/2:y=(h-th)/2";
  const Case cases[] = {
      {"two-lines", "0x202020", "white", 36,
       {{"Welcome to the harbour", "x=(w-tw)/2:y=150"}, {"Boats leave every hour", "x=(w-tw)/2:y=210"}}},
      {"small-dark", "0xe0e0d0", "black", 20, {{"Platform 4 departures", "x=40:y=40"}}},
      {"rows", "white", "black", 36, {{"LEFT", "x=40:y=100"}, {"RIGHT", "x=520:y=104"}, {"BELOW", "x=300:y=250"}}},
      {"slanted", "0x305020", "white", 44, {{"OPEN DAILY", centred}}, "DejaVuSans",
       ",rotate=8*PI/180:fillcolor=0x305020"},
      // Monospaced writing leaves word gaps wide enough for the detector to split.
      {"mono", "black", "0x00ff00", 28, {{"ERROR 404 page not found", "x=50:y=300"}}, "DejaVuSansMono"},
      {"low-contrast", "0x4060a0", "0x5070b0", 32, {{"low contrast text here", "x=50:y=200"}}},
      {"no-text", "mandelbrot=size=720x405:rate=1", "white", 10, {}},
  };
  TextModel model;
  for (const Case& c : cases) {
    std::vector<std::string> lines, expected;
    for (const auto& caption : c.captions) expected.push_back(caption.first);
    for (const TextObservation& o : model.textObservations(render(c))) {
      ASSERT_TRUE(o.top) << c.name;
      EXPECT_GT(o.top->confidence, 0.8f) << c.name << ": " << o.top->string;
      EXPECT_LE(o.top->confidence, 1.0f) << c.name;
      lines.push_back(o.top->string);
    }
    EXPECT_EQ(lines, expected) << c.name;
  }
  // A page of 24 full-width lines is read only as far as the width budget
  // goes: the first lines, in order.
  Case page{"dense-page", "white", "black", 15, {}};
  for (int row = 0; row < 24; ++row)
    page.captions.push_back({"Line " + std::to_string(row) + " of a page of dense text running right across the frame",
                             "x=8:y=" + std::to_string(4 + 16 * row)});
  const std::vector<TextObservation> read = model.textObservations(render(page));
  EXPECT_GE(read.size(), 6u);
  EXPECT_LT(read.size(), 20u);
  ASSERT_TRUE(!read.empty() && read[0].top);
  EXPECT_EQ(read[0].top->string.rfind("Line 0 ", 0), 0u) << read[0].top->string;
  EXPECT_TRUE(model.textObservations(Image{}).empty());
  EXPECT_TRUE(model.textObservations(Image{10, 10, std::vector<uint8_t>(5)}).empty());
  EXPECT_TRUE(model.textObservations(Image{1, 1, {255, 255, 255}}).empty());
}

// A photograph of a printed page (scikit-image's page.png, enlarged to 720
// wide), read before and after a picture of another size: the same lines both
// times, the clean ones exactly.
TEST(TextModel, ReadsAPhotographedPageAlikeAfterAPictureOfAnotherSize) {
  Image page = loadPhoto("page720", "-i " + samplePhoto("page.png") + " -vf scale=720:-2");
  TextModel model;
  auto strings = [&model](const Image& picture) {
    std::vector<std::string> lines;
    for (const auto& o : model.textObservations(picture)) lines.push_back(o.top ? o.top->string : "");
    return lines;
  };
  std::vector<std::string> first = strings(page);
  EXPECT_EQ(first.at(0), "Region-based segmentation");
  EXPECT_NE(std::find(first.begin(), first.end(), "histogram of grey values:"), first.end());
  EXPECT_TRUE(strings(loadPhoto("chelsea", "-i " + samplePhoto("chelsea.png"))).empty());  // a cat, 451 × 300
  EXPECT_EQ(strings(page), first);
}

// Keyboard shortcuts in small grey type, as a menu shows them once a
// screen recording is scaled down to 720: Tesseract garbles several of these
// ("CtrleN", "CirleW"), and the second reading puts them right.
TEST(TextModel, ReadsSmallGreyShortcutsThatTesseractGarbles) {
  Case menu{"menu-shortcuts", "0xf2f2f2", "0x808080", 9, {}};
  const std::vector<std::string> shortcuts = {"Ctrl+N", "Ctrl+O", "Ctrl+S", "Shift+Ctrl+S", "Ctrl+P", "Ctrl+W"};
  for (size_t row = 0; row < shortcuts.size(); ++row)
    menu.captions.push_back({shortcuts[row], "x=300:y=" + std::to_string(40 + 30 * row)});
  TextModel model;
  std::vector<std::string> read;
  for (const TextObservation& o : model.textObservations(render(menu)))
    if (o.top) read.push_back(o.top->string);
  // Letter case is where the second reading still slips ("Ctrl+o").
  int right = 0;
  for (const std::string& line : read)
    right += std::find_if(shortcuts.begin(), shortcuts.end(), [&](const std::string& s) {
               return std::equal(s.begin(), s.end(), line.begin(), line.end(),
                                 [](char a, char b) { return std::tolower(a) == std::tolower(b); });
             }) != shortcuts.end();
  EXPECT_GE(right, 3) << ::testing::PrintToString(read);
  EXPECT_NE(std::find(read.begin(), read.end(), "Ctrl+N"), read.end()) << ::testing::PrintToString(read);
}

// A screen recorded at 1920 × 1080 comes in at 720 × 405, and a menu's
// labels with it at 5 pixels tall: too small for the detector at the
// frame's size, found when it looks again at an enlarged square, and read
// by the CTC recogniser.
TEST(TextModel, ReadsMenuLabelsShrunkBelowWhatTheDetectorSees) {
  const std::vector<std::string> labels = {"New Window", "Open Recent", "Save", "Reload", "Detach Tab", "Close Window"};
  std::string graph = "color=c=0xf6f6f6:size=1920x1080";
  for (size_t row = 0; row < labels.size(); ++row)
    graph += ",drawtext=fontfile=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf:text='" + labels[row] +
             "':fontsize=13:fontcolor=0x303030:x=480:y=" + std::to_string(200 + 26 * row);
  TextModel model;
  std::vector<std::string> read;
  for (const TextObservation& o : model.textObservations(loadPhoto("shrunk-menu", "-f lavfi -i \"" + graph + "\"")))
    if (o.top) read.push_back(o.top->string);
  int exact = 0;
  for (const std::string& line : read) exact += std::find(labels.begin(), labels.end(), line) != labels.end();
  EXPECT_GE(exact, 3) << ::testing::PrintToString(read);
}

}  // namespace
