#include <gtest/gtest.h>

#include "pipeline/frames.h"
#include "pipeline/stream_facts.h"
#include "support/clips.h"
#include "support/failure.h"
#include "support/fakes.h"

namespace {

// A clip whose reading time runs out after `frames` decoded frames.
class RunningOutOfTime : public FakeFrameSource {
 public:
  explicit RunningOutOfTime(size_t frames)
      : FakeFrameSource([this](double) {
          if (requests.size() > frames_) throw Fail("the video could not be decoded in time");
          return flatPicture(64, 36, 100, 100, 100);
        }),
        frames_(frames) {}
  bool outOfTime() const override { return requests.size() > frames_; }

 private:
  size_t frames_;
};

TEST(RunBounds, RunningOutOfTimeIsNeverAPartialSuccess) {
  StreamFacts facts;
  facts.duration = 60, facts.width = 64, facts.height = 36, facts.fps = 30;
  FakeVision vision;
  // Out of time early among the candidates, and at the very last motion partner they read ahead.
  for (size_t frames : {size_t{5}, size_t{59}}) {
    RunningOutOfTime source(frames);
    RunSettings settings{"clip", 6, 512, std::filesystem::path(freshTempDir()) / "stillpick-00000001", true};
    EXPECT_EQ(failureOf([&] { analyseClip(facts, source, vision, settings); }),
              "the video could not be decoded in time")
        << frames;
  }
}

}  // namespace
