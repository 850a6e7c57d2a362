#include "pipeline/partner_frames.h"

#include <gtest/gtest.h>

#include "support/fakes.h"
#include "support/failure.h"

namespace {

// Frames exist from 0 to 10 s except in the stretch 5 ... 6 s.
Picture pictureAt(double t) {
  if (t >= 5 && t < 6) throw Fail("damaged");
  return flatPicture(4, 4, static_cast<uint8_t>(t * 10), 0, 0);
}

TEST(PartnerFrames, MotionPairsOfTheCandidatePassComeFromMemory) {
  FakeFrameSource clip(pictureAt);
  PartnerFrames frames(clip, 10.0, 0.12);
  Picture first = frames.frameAt(1.0);
  frames.frameAt(4.95);                  // its partner lies in the damaged stretch
  EXPECT_THROW(frames.frameAt(5.5), Fail);
  frames.frameAt(9.9);                   // its partner would be past the end
  EXPECT_EQ(clip.requests, (std::vector<double>{1.0, 1.0 + 0.12, 4.95, 4.95 + 0.12, 5.5, 5.5 + 0.12, 9.9}));

  frames.stopReadingAhead();
  frames.keepOnly({1.0, 4.95, 5.5});
  clip.requests.clear();
  EXPECT_EQ(frames.frameAt(1.0), first);  // the very same picture
  EXPECT_EQ(frames.frameAt(1.0 + 0.12)->rgb[0], 11);
  EXPECT_EQ(failureOf([&] { frames.frameAt(4.95 + 0.12); }), "damaged");  // a remembered failure is repeated
  EXPECT_THROW(frames.frameAt(5.5 + 0.12), Fail);
  EXPECT_TRUE(clip.requests.empty());

  // Forgotten and new times go to the clip, each once, with no partner.
  frames.frameAt(9.9);
  frames.frameAt(2.0);
  frames.frameAt(2.0);
  EXPECT_EQ(clip.requests, (std::vector<double>{9.9, 2.0, 2.0}));
}

}  // namespace
