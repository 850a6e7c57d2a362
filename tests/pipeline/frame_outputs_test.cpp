#include "pipeline/frame_outputs.h"

#include <gtest/gtest.h>

#include <fstream>

#include "app/emit.h"
#include "support/clips.h"
#include "support/jpeg_size.h"
#include "support/fakes.h"

namespace fs = std::filesystem;

namespace {

FrameSample sample(double time, Picture image) {
  FrameSample s;
  s.time = time;
  s.image = std::move(image);
  s.sharp = 1.0;
  s.lum = 0.5;
  return s;
}

TEST(FrameOutputs, FileNamesArePaddedToTwoDigits) {
  EXPECT_EQ(frameFileName(0), "frame-00.jpg");
  EXPECT_EQ(frameFileName(7), "frame-07.jpg");
  EXPECT_EQ(frameFileName(29), "frame-29.jpg");
  EXPECT_EQ(frameFileName(100), "frame-100.jpg");
}

TEST(FrameOutputs, DistinctLinesCompareCanonicalForms) {
  std::vector<std::string> lines;
  for (const std::string line : {"caf\xC3\xA9", "cafe\xCC\x81", "Caf\xC3\xA9", "EXIT", "EXIT", "EXIT ", "bad\xFF",
                                 "bad\xFF", "\xE2\x84\xAB", "\xC3\x85"})
    addDistinctLine(lines, line);
  // U+212B ANGSTROM SIGN is canonically U+00C5, so the second is a repeat.
  EXPECT_EQ(lines, (std::vector<std::string>{"caf\xC3\xA9", "Caf\xC3\xA9", "EXIT", "EXIT ", "bad\xFF", "\xE2\x84\xAB"}));
}

TEST(FrameOutputs, LabelTableKeepsTheHighestConfidenceInFirstAppearanceOrder) {
  std::vector<std::pair<std::string, float>> table;
  raiseLabel(table, "dog", 0.6f);
  raiseLabel(table, "person", 0.3f);
  raiseLabel(table, "dog", 0.8f);
  raiseLabel(table, "person", 0.2f);
  raiseLabel(table, "car", 0.5f);
  EXPECT_EQ(table, (std::vector<std::pair<std::string, float>>{{"dog", 0.8f}, {"person", 0.3f}, {"car", 0.5f}}));
}

TEST(FrameOutputs, WritesEachKeptFrameAndGathersTheDigest) {
  fs::path out = fs::path(freshTempDir()) / "nested" / "stillpick-ABCDEF01";
  std::vector<FrameSample> pool = {sample(0.125, flatPicture(720, 405, 10, 0, 0)),
                                   sample(1.0, flatPicture(720, 405, 20, 0, 0)),
                                   sample(2.3456, flatPicture(405, 720, 30, 0, 0)),
                                   sample(3.0, flatPicture(100, 50, 40, 0, 0))};
  FakeVision vision;
  vision.labels[10] = {{"dog", 0.6f}, {"grass", 0.125f}};
  vision.labels[30] = {{"dog", 0.8765f}, {"person", 0.87f}};
  vision.texts[10] = {{RecognizedText{"EXIT", 0.9f}}, {RecognizedText{"EXIT", 0.9f}}};
  vision.texts[30] = {{RecognizedText{"EXIT", 0.9f}}, {RecognizedText{"caf\xC3\xA9 / bar", 0.9f}}};
  vision.people[10] = {{0.9f}, {0.9f}};
  vision.people[30] = {{0.9f}, {0.9f}, {0.9f}, {0.9f}, {0.9f}};
  vision.failing[40] = true;

  ClipDigest digest = writeFrames(pool, {0, 2, 3}, 512, out, true, vision);
  EXPECT_EQ(out.filename(), "stillpick-ABCDEF01");
  std::string dir = out.string();
  std::string expected =
      R"([{"labels":[{"confidence":0.6000000238418579,"label":"dog"},{"confidence":0.12999999523162842,"label":"grass"}],)"
      R"("path":")" + dir + R"(/frame-00.jpg","people":2,"t":0.13,"text":["EXIT","EXIT"]},)"
      R"({"labels":[{"confidence":0.8799999952316284,"label":"dog"},{"confidence":0.8700000047683716,"label":"person"}],)"
      R"("path":")" + dir + R"(/frame-01.jpg","people":5,"t":2.35,"text":["EXIT","café \/ bar"]},)"
      R"({"labels":[],"path":")" + dir + R"(/frame-02.jpg","people":0,"t":3.0,"text":[]}])";
  for (size_t at = 0; (at = expected.find('/', at)) != std::string::npos; at += 2)
    if (expected[at - 1] != '\\') expected.insert(at, "\\");
  EXPECT_EQ(encodeJson(digest.records), expected);
  EXPECT_EQ(digest.labels,
            (std::vector<std::pair<std::string, float>>{{"dog", 0.8765f}, {"grass", 0.125f}, {"person", 0.87f}}));
  EXPECT_EQ(digest.texts, (std::vector<std::string>{"EXIT", "caf\xC3\xA9 / bar"}));
  EXPECT_EQ(digest.peakPeople, 5);

  EXPECT_EQ(jpegSize(out / "frame-00.jpg"), std::make_pair(512, 288));
  EXPECT_EQ(jpegSize(out / "frame-01.jpg"), std::make_pair(288, 512));
  EXPECT_EQ(jpegSize(out / "frame-02.jpg"), std::make_pair(100, 50));  // never enlarged
  EXPECT_FALSE(fs::exists(out / "frame-03.jpg"));
}

TEST(FrameOutputs, SizeThatScalesToNothingWritesTheFrameUnscaled) {
  for (int64_t size : {0, -5}) {
    fs::path out = fs::path(freshTempDir()) / "stillpick-00000001";
    FakeVision vision;
    writeFrames({sample(1.0, flatPicture(720, 405, 10, 0, 0))}, {0}, size, out, true, vision);
    EXPECT_EQ(jpegSize(out / "frame-00.jpg"), std::make_pair(720, 405)) << size;
  }
}

TEST(FrameOutputs, NothingKeptStillCreatesTheDirectory) {
  fs::path out = fs::path(freshTempDir()) / "a" / "stillpick-00000002";
  FakeVision vision;
  ClipDigest digest = writeFrames({sample(1.0, flatPicture(8, 8, 1, 1, 1))}, {}, 512, out, true, vision);
  EXPECT_TRUE(fs::is_directory(out));
  EXPECT_TRUE(fs::is_empty(out));
  EXPECT_EQ(digest.records, Document::array());
  EXPECT_TRUE(digest.labels.empty() && digest.texts.empty());
  EXPECT_EQ(digest.peakPeople, 0);
}

TEST(FrameOutputs, AFailedWriteEndsTheRunAndKeepsEarlierFiles) {
  fs::path out = fs::path(freshTempDir()) / "stillpick-selftest";
  fs::create_directories(out / "frame-01.jpg");  // a directory where the second file should go
  FakeVision vision;
  std::vector<FrameSample> pool = {sample(1.0, flatPicture(64, 36, 10, 0, 0)),
                                   sample(2.0, flatPicture(64, 36, 20, 0, 0))};
  EXPECT_THROW(writeFrames(pool, {0, 1}, 512, out, false, vision), Fail);
  EXPECT_EQ(jpegSize(out / "frame-00.jpg"), std::make_pair(64, 36));
  EXPECT_TRUE(fs::is_directory(out / "frame-01.jpg"));
  for (const auto& entry : fs::directory_iterator(out))
    EXPECT_TRUE(entry.path().filename() == "frame-00.jpg" || entry.path().filename() == "frame-01.jpg")
        << entry.path();
}

TEST(FrameOutputs, OutputDirectoryRemovedDuringTheRun) {
  fs::path base = freshTempDir();
  fs::path out = base / "stillpick-00000003";
  FakeVision vision;
  vision.onClassify = [&] { fs::remove_all(out); };  // gone after the first frame is written
  std::vector<FrameSample> pool = {sample(1.0, flatPicture(64, 36, 10, 0, 0)),
                                   sample(2.0, flatPicture(64, 36, 20, 0, 0))};
  try {
    writeFrames(pool, {0, 1}, 512, out, true, vision);
    ADD_FAILURE() << "the second write did not fail";
  } catch (const Fail& fail) {
    EXPECT_EQ(fail.message, "cannot write " + (out / "frame-01.jpg").string() + ": No such file or directory");
  }
  EXPECT_TRUE(fs::is_empty(base));
  fs::remove_all(base);
}

}  // namespace
