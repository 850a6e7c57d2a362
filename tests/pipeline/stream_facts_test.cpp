#include "pipeline/stream_facts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>

#include "app/fail.h"
#include "platform/clip_info.h"
#include "platform/media_input.h"
#include "support/clips.h"

namespace {

VideoTrackInfo track(double w, double h, double a = 1, double b = 0, double c = 0, double d = 1, float fps = 30) {
  VideoTrackInfo t;
  t.width = w, t.height = h, t.a = a, t.b = b, t.c = c, t.d = d, t.fps = fps;
  return t;
}

std::string failureOf(const ClipInfo& info) {
  try {
    streamFacts(info);
  } catch (const Fail& fail) {
    return fail.message;
  }
  return "";
}

TEST(StreamFacts, DisplaySizeIsTheNaturalSizeTurnedByTheMatrix) {
  struct Case {
    VideoTrackInfo track;
    int64_t width, height;
  };
  const std::vector<Case> cases = {
      {track(1920, 1080), 1920, 1080},
      {track(1920, 1080, 0, 1, -1, 0), 1080, 1920},    // quarter turn
      {track(1920, 1080, -1, 0, 0, -1), 1920, 1080},   // half turn
      {track(1920, 1080, 0, -1, 1, 0), 1080, 1920},    // three quarters
      {track(1279.5, 720), 1280, 720},                 // halves away from zero
      {track(1279.4, 720), 1279, 720},
      {track(1279.5, 720, -1, 0, 0, 1), 1280, 720},    // mirrored: -1279.5
      {track(1080, 1080), 1080, 1080},
  };
  for (const auto& c : cases) {
    StreamFacts facts = streamFacts(ClipInfo{12.5, c.track});
    EXPECT_EQ(facts.width, c.width);
    EXPECT_EQ(facts.height, c.height);
    EXPECT_EQ(facts.duration, 12.5);
  }
  EXPECT_EQ(streamFacts(ClipInfo{1, track(10, 10, 1, 0, 0, 1, 29.97f)}).fps, 29.97f);
}

TEST(StreamFacts, DurationIsCheckedBeforeTheTrack) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double duration : {0.0, -1.0, nan, inf, -inf}) {
    EXPECT_EQ(failureOf(ClipInfo{duration, std::nullopt}), "this file has no readable duration");
    EXPECT_EQ(failureOf(ClipInfo{duration, track(2, 2)}), "this file has no readable duration");
  }
  EXPECT_EQ(failureOf(ClipInfo{3.0, std::nullopt}), "this file has no video track");
  EXPECT_EQ(failureOf(ClipInfo{5e-324, track(2, 2)}), "");
}

// Opens a generated clip the way a frames run does.
std::string factsOrError(const std::string& path, StreamFacts* out) {
  try {
    auto input = MediaInput::open(path);
    *out = streamFacts(readClipInfo(*input));
    return "";
  } catch (const Fail& fail) {
    return fail.message;
  }
}

TEST(StreamFacts, FromGeneratedClips) {
  const std::string src = "-f lavfi -i testsrc2=size=320x180:rate=30:duration=2 ";
  const std::string h264 = "-c:v libx264 -preset ultrafast -pix_fmt yuv420p ";
  std::string landscape = makeClip("facts-landscape.mp4", src + h264);
  std::string rotated = makeClip("facts-rotated.mp4", "-i '" + landscape + "' -c copy -metadata:s:v:0 rotate=90");
  std::string ntsc = makeClip("facts-2997.mp4", "-f lavfi -i testsrc2=size=320x240:rate=30000/1001:duration=2 " + h264);
  std::string twoStreams = makeClip(
      "facts-two-video.mkv",
      src + "-f lavfi -i testsrc=size=640x480:rate=25:duration=2 -map 0:v -map 1:v " + h264);
  std::string anamorphic = makeClip("facts-anamorphic.mp4", src + h264 + "-vf setsar=4/3");
  struct Case {
    std::string path;
    int64_t width, height;
    float fps;
  };
  for (const auto& c : std::vector<Case>{{landscape, 320, 180, 30.0f},
                                         {rotated, 180, 320, 30.0f},
                                         {ntsc, 320, 240, static_cast<float>(30000.0 / 1001.0)},
                                         {twoStreams, 320, 180, 30.0f},
                                         {anamorphic, 427, 180, 30.0f}}) {
    StreamFacts facts;
    ASSERT_EQ(factsOrError(c.path, &facts), "") << c.path;
    EXPECT_EQ(facts.width, c.width) << c.path;
    EXPECT_EQ(facts.height, c.height) << c.path;
    EXPECT_EQ(facts.fps, c.fps) << c.path;
    EXPECT_NEAR(facts.duration, 2.0, 0.05) << c.path;
  }
}

TEST(StreamFacts, BadFilesFailWithAClearText) {
  std::string audio = makeClip("facts-audio-only.m4a", "-f lavfi -i sine=frequency=440:duration=1 -c:a aac");
  std::string empty = testDataDir() + "/facts-empty.mp4";
  std::ofstream(empty).close();
  std::string garbage = testDataDir() + "/facts-garbage.mov";
  {
    std::ofstream out(garbage, std::ios::binary);
    for (int i = 0; i < 4096; ++i) out.put(static_cast<char>((i * 7919) % 251));
  }
  StreamFacts facts;
  EXPECT_EQ(factsOrError(audio, &facts), "this file has no video track");
  EXPECT_EQ(factsOrError(empty, &facts).rfind("cannot read " + empty + ": ", 0), 0u);
  EXPECT_EQ(factsOrError(garbage, &facts).rfind("cannot read " + garbage + ": ", 0), 0u);
  EXPECT_EQ(factsOrError(testDataDir(), &facts), "cannot open " + testDataDir() + ": not a regular file");
  EXPECT_EQ(factsOrError("/no/such/file.mov", &facts), "cannot open /no/such/file.mov: No such file or directory");
}

}  // namespace
