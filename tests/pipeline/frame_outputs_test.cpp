#include "pipeline/frame_outputs.h"

#include <gtest/gtest.h>

#include "support/clips.h"
#include "support/fakes.h"
#include "support/failure.h"
#include "support/jpeg_size.h"

namespace fs = std::filesystem;

namespace {

FrameSample sample(double time, Picture image) {
  FrameSample s;
  s.time = time;
  s.image = std::move(image);
  return s;
}

TEST(FrameOutputs, DistinctLinesCompareCanonicalForms) {
  std::vector<std::string> lines;
  for (const std::string line : {"caf\xC3\xA9", "cafe\xCC\x81", "Caf\xC3\xA9", "EXIT", "EXIT", "EXIT ", "bad\xFF",
                                 "bad\xFF", "\xE2\x84\xAB", "\xC3\x85"})
    addDistinctLine(lines, line);
  // U+212B ANGSTROM SIGN is canonically U+00C5, so the second is a repeat.
  EXPECT_EQ(lines, (std::vector<std::string>{"caf\xC3\xA9", "Caf\xC3\xA9", "EXIT", "EXIT ", "bad\xFF", "\xE2\x84\xAB"}));
  std::vector<std::pair<std::string, float>> table;
  for (auto [label, confidence] : {std::pair{"dog", 0.6f}, {"person", 0.3f}, {"dog", 0.8f}, {"person", 0.2f}})
    raiseLabel(table, label, confidence);
  EXPECT_EQ(table, (std::vector<std::pair<std::string, float>>{{"dog", 0.8f}, {"person", 0.3f}}));
}

TEST(FrameOutputs, WritesEachKeptFrameAndGathersTheDigest) {
  fs::path out = freshTempDir();
  std::vector<FrameSample> pool = {sample(0.125, flatPicture(720, 405, 10, 0, 0)),
                                   sample(1.0, flatPicture(720, 405, 20, 0, 0)),
                                   sample(2.3456, flatPicture(405, 720, 30, 0, 0)),
                                   sample(3.0, flatPicture(100, 50, 40, 0, 0))};
  FakeVision vision;
  vision.labels[10] = {{"dog", 0.6f}};
  vision.labels[30] = {{"dog", 0.8765f}, {"person", 0.87f}};
  vision.people[10] = {{0.9f}, {0.9f}};
  vision.people[30] = {{0.9f}, {0.9f}, {0.9f}, {0.9f}, {0.9f}};
  vision.failing[40] = true;  // every analysis of the last frame fails
  ClipDigest digest = writeFrames(pool, {0, 2, 3}, 512, out, vision);
  ASSERT_EQ(digest.records.size(), 3u);
  EXPECT_EQ(digest.records[1].path, (out / "frame-01.jpg").string());
  EXPECT_EQ(digest.records[1].time, 2.3456);
  EXPECT_EQ(jpegSize(out / "frame-01.jpg"), std::make_pair(288, 512));  // the second kept frame, a portrait
  EXPECT_EQ(std::tuple(digest.records[2].labels.size(), digest.records[2].text.size(), digest.records[2].people),
            std::tuple(0u, 0u, 0));
  EXPECT_EQ(digest.labels, (std::vector<std::pair<std::string, float>>{{"dog", 0.8765f}, {"person", 0.87f}}));
  EXPECT_EQ(digest.peakPeople, 5);
  EXPECT_FALSE(fs::exists(out / "frame-03.jpg"));
  // A size that scales to nothing writes the frame unscaled.
  writeFrames(pool, {0}, -5, out, vision);
  EXPECT_EQ(jpegSize(out / "frame-00.jpg"), std::make_pair(720, 405));
  fs::remove_all(out);
}

TEST(FrameOutputs, AFailedWriteEndsTheRunAndKeepsEarlierFiles) {
  fs::path out = freshTempDir();
  FakeVision vision;
  std::vector<FrameSample> pool = {sample(1.0, flatPicture(64, 36, 10, 0, 0)),
                                   sample(2.0, flatPicture(64, 36, 20, 0, 0))};
  fs::create_directories(out / "frame-01.jpg");  // a directory where the second file should go
  EXPECT_NE(failureOf([&] { writeFrames(pool, {0, 1}, 512, out, vision); }), "");
  EXPECT_EQ(jpegSize(out / "frame-00.jpg"), std::make_pair(64, 36));
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2);  // no temporary left
  // The directory disappears after the first frame is written.
  vision.onClassify = [&] { fs::remove_all(out); };
  EXPECT_EQ(failureOf([&] { writeFrames(pool, {0, 1}, 512, out, vision); }),
            "cannot write " + (out / "frame-01.jpg").string() + ": No such file or directory");
}

}  // namespace
