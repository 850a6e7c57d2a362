#include <gtest/gtest.h>

#include <filesystem>

#include "app/emit.h"
#include "pipeline/frames.h"
#include "pipeline/stream_facts.h"
#include "support/clips.h"
#include "support/fakes.h"
#include "support/run.h"
#include "support/failure.h"

namespace fs = std::filesystem;

namespace {

// Scenes by time: 0-4 s picture 40, 4-8 s picture 80, 8-10 s picture 120,
// each a flat grey with a bright square whose edge makes it sharp.
Picture scenePicture(double t) {
  uint8_t level = t < 4 ? 40 : t < 8 ? 80 : 120;
  auto image = std::const_pointer_cast<Image>(flatPicture(320, 180, level, level, level));
  for (int y = 60; y < 120; ++y)
    for (int x = 100; x < 160; ++x)
      for (int c = 0; c < 3; ++c) image->rgb[(y * 320 + x) * 3 + c] = 250;
  image->rgb[0] = level;  // the fake vision's key
  return image;
}

const StreamFacts kTenSeconds{10.0, 320, 180, 25.0f};

TEST(AnalyseClip, ThreeScenesGiveTheExactDocument) {
  fs::path base = freshTempDir();
  FakeFrameSource source(scenePicture);
  FakeVision vision;
  vision.labels[40] = {{"dog", 0.8765f}};
  vision.labels[120] = {{"dog", 0.5f}, {"cat", 0.9f}};
  vision.texts[80] = {{RecognizedText{"EXIT", 0.9f}}};
  vision.people[120] = {{0.9f}, {0.7f}};
  RunSettings settings{"clip", 3, 512, base / "stillpick-0000000A", true};
  Document document = analyseClip(kTenSeconds, source, vision, settings);
  const std::string dir = withEscapedSlashes((base / "stillpick-0000000A").string());
  // Eight candidates at 0.2 + i * 9.6 / 7: scene cuts fall before 4.31 and
  // 8.43; the first (sharpest-equal) candidate of each scene is kept, and
  // every motion pair lies inside one scene.
  EXPECT_EQ(encodeJson(document),
            R"({"facts":{"duration_s":10.0,"fps":25.0,"height":180,"vertical":false,"width":320},"frames":[)"
            R"({"labels":[{"confidence":0.8799999952316284,"label":"dog"}],"path":")" + dir +
                R"(\/frame-00.jpg","people":0,"t":0.2,"text":[]},)"
                R"({"labels":[],"path":")" + dir +
                R"(\/frame-01.jpg","people":0,"t":4.31,"text":["EXIT"]},)"
                R"({"labels":[{"confidence":0.5,"label":"dog"},{"confidence":0.8999999761581421,"label":"cat"}],)"
                R"("path":")" + dir +
                R"(\/frame-02.jpg","people":2,"t":8.43,"text":[]}],"motion":"locked off, no camera movement",)"
                R"("ok":true,"vision":{"labels":[{"confidence":0.8999999761581421,"label":"cat"},)"
                R"({"confidence":0.8799999952316284,"label":"dog"}],"people":2,"text":["EXIT"]}})");
}

// A clip of which no frame decodes, with nothing written, is pinned through
// the frames command by the hostile input tests; one whose reading time ran
// out says so instead.
TEST(AnalyseClip, NoDecodableFrameInTimeIsReportedAsOutOfTime) {
  fs::path base = freshTempDir();
  FakeVision vision;
  FakeFrameSource late([](double) -> Picture { throw Fail("no frame could be decoded at this time"); });
  late.readingTimeUsedUp = true;
  const RunSettings settings{"clip", 6, 512, base / "stillpick-0000000B", true};
  EXPECT_EQ(failureOf([&] { analyseClip(kTenSeconds, late, vision, settings); }), kOutOfTimeMessage);
  EXPECT_FALSE(fs::exists(base / "stillpick-0000000B"));
  // Time running out after some frames decoded (early on, and at the last
  // motion partner read ahead) is never a partial success.
  for (size_t decoded : {size_t{5}, size_t{15}}) {
    FakeFrameSource source(nullptr);
    source.draw = [&](double) -> Picture {
      source.readingTimeUsedUp = source.requests.size() > decoded;
      if (source.readingTimeUsedUp) throw Fail(kOutOfTimeMessage);
      return flatPicture(64, 36, 100, 100, 100);
    };
    EXPECT_EQ(failureOf([&] { analyseClip(kTenSeconds, source, vision, settings); }), kOutOfTimeMessage) << decoded;
  }
}

}  // namespace
