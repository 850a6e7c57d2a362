#include "pipeline/stream_facts.h"

#include <gtest/gtest.h>

#include <cmath>

#include "video/clip.h"
#include "support/failure.h"

namespace {

// The facts of real clips, turned or not, are pinned through the frames
// command; what a container may leave out is checked here.
TEST(StreamFacts, DurationIsCheckedBeforeTheTrack) {
  for (double duration : std::initializer_list<double>{0, -1, NAN, INFINITY})
    for (auto track : {std::optional<VideoTrackInfo>{}, std::optional(VideoTrackInfo{2, 2, {}})})
      EXPECT_EQ(failureOf([&] { streamFacts(ClipInfo{duration, track}); }), "this file has no readable duration");
  EXPECT_EQ(failureOf([] { streamFacts(ClipInfo{3.0, std::nullopt}); }), "this file has no video track");
  const StreamFacts tiny = streamFacts(ClipInfo{5e-324, VideoTrackInfo{1279.5, 720, {-1, 0, 0, 1}}});  // mirrored
  EXPECT_EQ(std::tuple(tiny.duration, tiny.width, tiny.height), std::tuple(5e-324, 1280, 720));
}

}  // namespace
