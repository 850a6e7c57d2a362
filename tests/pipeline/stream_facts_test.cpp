#include "pipeline/stream_facts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <tuple>

#include "video/clip.h"
#include "support/clips.h"
#include "support/failure.h"

namespace {

// A file's facts read the way a frames run reads them.
StreamFacts factsOf(const std::string& path) { return streamFacts(openClip(path)->info); }

TEST(StreamFacts, DisplaySizeIsTheNaturalSizeTurnedByTheMatrix) {
  struct Case {
    VideoTrackInfo track;  // width, height, a, b, c, d, fps
    int64_t width, height;
  };
  const std::vector<Case> cases = {
      {{1920, 1080, {}}, 1920, 1080}, {{1920, 1080, {0, 1, -1, 0}}, 1080, 1920},          // upright, quarter turn
      {{1279.5, 720, {}}, 1280, 720}, {{1279.4, 720, {}, 29.97f}, 1279, 720},            // halves away from zero
      {{1279.5, 720, {-1, 0, 0, 1}}, 1280, 720},                                      // mirrored: -1279.5
  };
  for (const auto& c : cases) {
    StreamFacts f = streamFacts(ClipInfo{12.5, c.track});
    EXPECT_EQ(std::tuple(f.width, f.height, f.duration, f.fps), std::tuple(c.width, c.height, 12.5, c.track.fps))
        << c.track.width << " x " << c.track.height << " turned by " << c.track.matrix.a << " " << c.track.matrix.b;
  }
}

TEST(StreamFacts, DurationIsCheckedBeforeTheTrack) {
  for (double duration : std::initializer_list<double>{0, -1, NAN, INFINITY, -INFINITY})
    for (auto track : {std::optional<VideoTrackInfo>{}, std::optional(VideoTrackInfo{2, 2, {}})})
      EXPECT_EQ(failureOf([&] { streamFacts(ClipInfo{duration, track}); }), "this file has no readable duration");
  EXPECT_EQ(failureOf([] { streamFacts(ClipInfo{3.0, std::nullopt}); }), "this file has no video track");
  EXPECT_EQ(failureOf([] { streamFacts(ClipInfo{5e-324, VideoTrackInfo{2, 2, {}}}); }), "");
}

// Sizes and rotation of real clips are pinned through the frames command.
TEST(StreamFacts, FromGeneratedClips) {
  const std::string src = "-f lavfi -i testsrc2=size=320x180:rate=30:duration=2 ";
  const std::string h264 = "-c:v libx264 -preset ultrafast -pix_fmt yuv420p ";
  for (auto [path, width, height, fps] : std::vector<std::tuple<std::string, int64_t, int64_t, float>>{
           {makeClip("facts-2997.mp4", "-f lavfi -i testsrc2=size=320x240:rate=30000/1001:duration=2 " + h264), 320,
            240, static_cast<float>(30000.0 / 1001.0)},
           // The first of two video tracks counts.
           {makeClip("facts-two-video.mkv",
                     src + "-f lavfi -i testsrc=size=640x480:rate=25:duration=2 -map 0:v -map 1:v " + h264),
            320, 180, 30.0f},
           {makeClip("facts-anamorphic.mp4", src + h264 + "-vf setsar=4/3"), 427, 180, 30.0f}}) {
    StreamFacts f = factsOf(path);
    EXPECT_EQ(std::tuple(f.width, f.height, f.fps), std::tuple(width, height, fps)) << path;
    EXPECT_NEAR(f.duration, 2.0, 0.05) << path;
  }
}

TEST(StreamFacts, FilesWithoutAVideoTrackOrAnyContent) {
  const std::string empty = testDataDir() + "/facts-empty.mp4";
  std::ofstream(empty).close();
  const std::string audio = makeClip("facts-audio-only.m4a", "-f lavfi -i sine=frequency=440:duration=1 -c:a aac");
  EXPECT_EQ(failureOf([&] { factsOf(audio); }), "this file has no video track");
  EXPECT_EQ(failureOf([&] { factsOf(empty); }).rfind("cannot read " + empty + ": ", 0), 0u);  // then FFmpeg's reason
}

}  // namespace
