#include "pipeline/frame_outputs.h"

#include <gtest/gtest.h>

#include "support/clips.h"
#include "support/fakes.h"
#include "support/failure.h"
#include "support/jpeg_size.h"

namespace fs = std::filesystem;

namespace {

// The kept frames: key 10 (a landscape), 30 (a portrait) and 40, whose
// analyses all fail.
std::vector<FrameSample> pool() {
  std::vector<FrameSample> frames(3);
  for (auto [i, width, height, key] : {std::tuple{0, 720, 405, 10}, {1, 405, 720, 30}, {2, 100, 50, 40}})
    frames[i].image = flatPicture(width, height, key, 0, 0);
  return frames;
}

// Records, file names and labels that are not raised are pinned by the
// golden analysis document.
TEST(FrameOutputs, DigestTakesThePeaksOverAllFrames) {
  fs::path out = freshTempDir();
  FakeVision vision;
  vision.labels[10] = {{"dog", 0.6f}};
  vision.labels[30] = {{"dog", 0.8765f}, {"person", 0.87f}};
  vision.people[10] = {{0.9f}, {0.9f}};
  vision.people[30] = {{0.9f}, {0.9f}, {0.9f}, {0.9f}, {0.9f}};
  vision.failing[40] = true;
  const ClipDigest digest = writeFrames(pool(), {0, 1, 2}, 512, out, vision);
  EXPECT_EQ(jpegSize(out / "frame-01.jpg"), std::make_pair(288, 512));
  const FrameRecord& failed = digest.records.at(2);
  EXPECT_EQ(std::tuple(failed.labels.size(), failed.text.size(), failed.people), std::tuple(0u, 0u, 0));
  EXPECT_EQ(digest.labels, (std::vector<std::pair<std::string, float>>{{"dog", 0.8765f}, {"person", 0.87f}}));
  EXPECT_EQ(digest.peakPeople, 5);
  // A size that scales to nothing writes the frame unscaled.
  writeFrames(pool(), {0}, -5, out, vision);
  EXPECT_EQ(jpegSize(out / "frame-00.jpg"), std::make_pair(720, 405));
}

TEST(FrameOutputs, AFailedWriteEndsTheRunAndKeepsEarlierFiles) {
  fs::path out = freshTempDir();
  FakeVision vision;
  fs::create_directories(out / "frame-01.jpg");  // a directory where the second file should go
  EXPECT_NE(failureOf([&] { writeFrames(pool(), {0, 1}, 512, out, vision); }), "");
  EXPECT_EQ(jpegSize(out / "frame-00.jpg"), std::make_pair(512, 288));
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2);  // no temporary left
  // The directory disappears after the first frame is written.
  vision.onClassify = [&] { fs::remove_all(out); };
  EXPECT_EQ(failureOf([&] { writeFrames(pool(), {0, 1}, 512, out, vision); }),
            "cannot write " + (out / "frame-01.jpg").string() + ": No such file or directory");
}

}  // namespace
