#include "platform/text_model.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "support/clips.h"

namespace {

const std::string fonts = "/usr/share/fonts/truetype/dejavu/";

// One 720 × 405 picture made by the lavfi `graph`, read back as raw RGB.
Image render(const std::string& name, const std::string& graph) {
  std::string path = makeClip(name + ".rgb", "-f lavfi -i \"" + graph + "\" -frames:v 1 -f rawvideo -pix_fmt rgb24");
  std::ifstream file(path, std::ios::binary);
  Image image{720, 405, std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {})};
  if (image.rgb.size() != 720u * 405 * 3) throw std::runtime_error("unexpected picture size: " + path);
  return image;
}

std::string caption(const std::string& text, int size, const std::string& colour, const std::string& where,
                    const std::string& face = "DejaVuSans.ttf") {
  return "drawtext=fontfile=" + fonts + face + ":text='" + text + "':fontsize=" + std::to_string(size) +
         ":fontcolor=" + colour + ":" + where;
}

std::string plain(const std::string& colour) { return "color=c=" + colour + ":size=720x405,format=rgb24"; }

std::vector<std::string> confidentReadings(const std::vector<TextObservation>& observations) {
  std::vector<std::string> texts;
  for (const auto& observation : observations)
    if (observation.top && observation.top->confidence > 0.4f) texts.push_back(observation.top->string);
  return texts;
}

class TextModelTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { model = std::make_unique<TextModel>(); }
  static void TearDownTestSuite() { model.reset(); }
  static std::unique_ptr<TextModel> model;
};
std::unique_ptr<TextModel> TextModelTest::model;

TEST_F(TextModelTest, ReadsACentredCaption) {
  auto observations = model->textObservations(
      render("harbour", plain("0x203050") + "," + caption("HARBOUR VIEW", 48, "white", "x=(w-tw)/2:y=(h-th)/2")));
  ASSERT_EQ(observations.size(), 1u);
  ASSERT_TRUE(observations[0].top);
  EXPECT_EQ(observations[0].top->string, "HARBOUR VIEW");
  EXPECT_GT(observations[0].top->confidence, 0.8f);
  EXPECT_LE(observations[0].top->confidence, 1.0f);
}

TEST_F(TextModelTest, ReadsTwoLinesTopToBottom) {
  auto observations = model->textObservations(
      render("two-lines", plain("0x202020") + "," +
                              caption("Welcome to the harbour", 36, "white", "x=(w-tw)/2:y=150") + "," +
                              caption("Boats leave every hour", 36, "white", "x=(w-tw)/2:y=210")));
  EXPECT_EQ(confidentReadings(observations), (std::vector<std::string>{"Welcome to the harbour", "Boats leave every hour"}));
  EXPECT_EQ(observations.size(), 2u);
}

TEST_F(TextModelTest, ReadsWhiteTextAcrossColourBars) {
  // testsrc2 also shows its own time code in the top left corner.
  auto observations = model->textObservations(render(
      "busy", "testsrc2=size=720x405:rate=1,format=rgb24," + caption("HARBOUR VIEW", 40, "white", "x=60:y=300")));
  auto texts = confidentReadings(observations);
  EXPECT_NE(std::find(texts.begin(), texts.end(), "HARBOUR VIEW"), texts.end()) << testing::PrintToString(texts);
}

TEST_F(TextModelTest, ReadsSmallDarkTextOnLightGround) {
  auto observations = model->textObservations(
      render("small", plain("0xe0e0d0") + "," + caption("Platform 4 departures", 20, "black", "x=40:y=40")));
  EXPECT_EQ(confidentReadings(observations), std::vector<std::string>{"Platform 4 departures"});
}

TEST_F(TextModelTest, ReadsRowsLeftToRight) {
  auto observations = model->textObservations(
      render("rows", plain("white") + "," + caption("LEFT", 36, "black", "x=40:y=100") + "," +
                         caption("RIGHT", 36, "black", "x=520:y=104") + "," +
                         caption("BELOW", 36, "black", "x=300:y=250")));
  EXPECT_EQ(confidentReadings(observations), (std::vector<std::string>{"LEFT", "RIGHT", "BELOW"}));
}

TEST_F(TextModelTest, ReadsSlantedCaption) {
  auto observations = model->textObservations(
      render("slanted", plain("0x305020") + "," + caption("OPEN DAILY", 44, "white", "x=(w-tw)/2:y=(h-th)/2") +
                            ",rotate=8*PI/180:fillcolor=0x305020"));
  EXPECT_EQ(confidentReadings(observations), std::vector<std::string>{"OPEN DAILY"});
}

TEST_F(TextModelTest, ReadsWideSpacedLineAsOne) {
  // Monospaced writing leaves word gaps wide enough for the detector to split.
  auto observations = model->textObservations(render(
      "mono", plain("black") + "," + caption("ERROR 404 page not found", 28, "0x00ff00", "x=50:y=300", "DejaVuSansMono.ttf")));
  EXPECT_EQ(confidentReadings(observations), std::vector<std::string>{"ERROR 404 page not found"});
}

TEST_F(TextModelTest, ReadsLowContrastWriting) {
  auto observations = model->textObservations(render(
      "low-contrast", plain("0x4060a0") + "," + caption("low contrast text here", 32, "0x5070b0", "x=50:y=200")));
  EXPECT_EQ(confidentReadings(observations), std::vector<std::string>{"low contrast text here"});
}

TEST_F(TextModelTest, PictureWithoutTextGivesNoLines) {
  EXPECT_TRUE(model->textObservations(render("no-text", "mandelbrot=size=720x405:rate=1,format=rgb24")).empty());
  EXPECT_TRUE(model->textObservations(render("plain", plain("0x808080"))).empty());
}

TEST_F(TextModelTest, MalformedOrTinyPicturesGiveNoLines) {
  EXPECT_TRUE(model->textObservations(Image{}).empty());
  EXPECT_TRUE(model->textObservations(Image{10, 10, std::vector<uint8_t>(5)}).empty());
  EXPECT_TRUE(model->textObservations(Image{1, 1, {255, 255, 255}}).empty());
}

}  // namespace
