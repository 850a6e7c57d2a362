#include "platform/text_model.h"

#include <gtest/gtest.h>

#include "support/photos.h"

namespace {

// A 720 × 405 picture of `ground` with captions drawn on it.
Image render(const std::string& name, const std::string& ground, const std::string& captions = "") {
  std::string graph = ground.find('=') == std::string::npos ? "color=c=" + ground + ":size=720x405" : ground;
  return loadPhoto(name, "-f lavfi -i \"" + graph + ",format=rgb24" + captions + "\"");
}

std::string caption(const std::string& text, int size, const std::string& colour, const std::string& where,
                    const std::string& face = "DejaVuSans") {
  return ",drawtext=fontfile=/usr/share/fonts/truetype/dejavu/" + face + ".ttf:text='" + text +
         "':fontsize=" + std::to_string(size) + ":fontcolor=" + colour + ":" + where;
}

const std::string centred = "x=(w-tw)/2:y=(h-th)/2";

TEST(TextModel, ReadsRenderedCaptionsExactlyInReadingOrder) {
  struct Case {
    const char* name;
    std::string ground, captions;
    std::vector<std::string> lines;
  } cases[] = {
      {"centred", "0x203050", caption("HARBOUR VIEW", 48, "white", centred), {"HARBOUR VIEW"}},
      {"two-lines", "0x202020",
       caption("Welcome to the harbour", 36, "white", "x=(w-tw)/2:y=150") +
           caption("Boats leave every hour", 36, "white", "x=(w-tw)/2:y=210"),
       {"Welcome to the harbour", "Boats leave every hour"}},
      {"small-dark", "0xe0e0d0", caption("Platform 4 departures", 20, "black", "x=40:y=40"), {"Platform 4 departures"}},
      {"rows", "white",
       caption("LEFT", 36, "black", "x=40:y=100") + caption("RIGHT", 36, "black", "x=520:y=104") +
           caption("BELOW", 36, "black", "x=300:y=250"),
       {"LEFT", "RIGHT", "BELOW"}},
      {"slanted", "0x305020", caption("OPEN DAILY", 44, "white", centred) + ",rotate=8*PI/180:fillcolor=0x305020",
       {"OPEN DAILY"}},
      // Monospaced writing leaves word gaps wide enough for the detector to split.
      {"mono", "black", caption("ERROR 404 page not found", 28, "0x00ff00", "x=50:y=300", "DejaVuSansMono"),
       {"ERROR 404 page not found"}},
      {"low-contrast", "0x4060a0", caption("low contrast text here", 32, "0x5070b0", "x=50:y=200"),
       {"low contrast text here"}},
      {"no-text", "mandelbrot=size=720x405:rate=1", "", {}},
      {"plain", "0x808080", "", {}},
  };
  TextModel model;
  for (const Case& c : cases) {
    std::vector<std::string> lines;
    for (const TextObservation& o : model.textObservations(render(c.name, c.ground, c.captions))) {
      ASSERT_TRUE(o.top) << c.name;
      EXPECT_GT(o.top->confidence, 0.8f) << c.name << ": " << o.top->string;
      EXPECT_LE(o.top->confidence, 1.0f) << c.name;
      lines.push_back(o.top->string);
    }
    EXPECT_EQ(lines, c.lines) << c.name;
  }
  EXPECT_TRUE(model.textObservations(Image{}).empty());
  EXPECT_TRUE(model.textObservations(Image{10, 10, std::vector<uint8_t>(5)}).empty());
  EXPECT_TRUE(model.textObservations(Image{1, 1, {255, 255, 255}}).empty());
}

}  // namespace
