// Inputs made to exhaust memory or time, or to make the reader show the
// wrong picture or give a misleading reason.
#include <gtest/gtest.h>

#include "support/clips.h"
#include "support/failure.h"
#include "support/ramp.h"
#include "support/run.h"
#include "video/clip.h"

namespace {

// A GIF of tiny frames whose header declares a canvas of side × side.
std::string gifWithCanvas(int side, int frames, const std::string& name) {
  std::string bytes = bytesOf(makeClip("abuse-tiny-" + std::to_string(frames) + ".gif",
                                       lavfi("color=red:s=2x2:r=10") + " -frames:v " + std::to_string(frames)));
  for (int at : {6, 8}) bytes[at] = char(side & 0xFF), bytes[at + 1] = char(side >> 8);
  return writeTestFile("abuse-" + name, bytes);
}

TEST(Abuse, ReadingTimeIsCheckedWhileDecoding) {
  // Thousands of canvas-sized frames: each request decodes for long without
  // reading the file, and must still stop when the time is up.
  const std::string gif = gifWithCanvas(4000, 3000, "canvas-4000.gif");
  auto source = openFrameSource(openClip(gif, std::chrono::milliseconds(1500)));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(failureOf([&] { source->frameAt(290); }), "the video could not be decoded in time");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(Abuse, ATimeWithoutADecodableFrameGetsNoLaterPicture) {
  // An MPEG-TS stream cut just after its start: its first frames lack their
  // key frame and its parameter sets, and the next key frame comes at 50 s,
  // beyond what opening the file reads.
  const std::string whole =
      makeClip("abuse-key-50.ts", lavfi("color=black:s=160x120:r=10:d=60,format=yuv420p,"
                                        "geq=lum='20+2*mod(N\\,90)':cb=128:cr=128") +
                                      " -c:v libx264 -g 1000 -keyint_min 1000 -force_key_frames 0,50 -bf 0 -qp 4");
  const std::string bytes = bytesOf(whole);
  const std::string cut = writeTestFile("abuse-key-50-cut.ts", bytes.substr(bytes.size() / 50 / 188 * 188));
  auto clip = openClip(cut);
  const double start = 60.0 - clip->info.duration;  // the clip's time 0 on the original's
  auto source = openFrameSource(std::move(clip));
  int shownBeforeTheKey = 0;
  for (double t : {0.35, 5.0, 20.0, 47.0, 49.0, 52.0}) {
    Picture picture;
    failureOf([&] { picture = source->frameAt(t); });
    const int shown = static_cast<int>((start + t) * 10 + 1e-6);
    if (!picture) continue;
    EXPECT_EQ(rampFrameNumber(picture), shown % 90) << "at " << t;
    shownBeforeTheKey += shown < 500;
  }
  EXPECT_EQ(shownBeforeTheKey, 0);
}

TEST(Abuse, EachKindOfFileThatIsNoClipSaysWhatItIs) {
  const std::string stillText = "this is a still picture, not a video";
  struct Case {
    std::string name, ffmpegArgs, error;
    bool prefixed;  // "cannot read PATH: " before the error
  };
  const std::vector<Case> cases = {
      {"sound.aiff", "-f lavfi -i sine=d=1", "this file has no video track", false},
      {"sound.ac3", "-f lavfi -i sine=d=1 -c:a ac3", "this file has no video track", false},
      {"webp.mp4", lavfi("testsrc=s=64x48") + " -frames:v 1 -f webp", stillText, true},
  };
  for (const Case& c : cases) {
    const std::string path = makeClip("abuse-" + c.name, c.ffmpegArgs);
    RunResult result = runStillpick({"frames", "--video", path, "--out", freshTempDir()});
    const std::string error = withEscapedSlashes(c.prefixed ? "cannot read " + path + ": " + c.error : c.error);
    EXPECT_EQ(result.out, "{\"error\":\"" + error + "\",\"ok\":false}\n") << c.name;
  }
  // A video track of a codec no decoder reads: an H.264 track renamed.
  std::string bytes = bytesOf(makeClip("abuse-h264.mkv", lavfi("testsrc=s=64x48:d=1") + " -c:v libx264"));
  const size_t id = bytes.find("V_MPEG4/ISO/AVC");
  ASSERT_NE(id, std::string::npos);
  bytes.replace(id, 15, "V_MPEG4/ISO/XYZ");
  RunResult result = runStillpick({"frames", "--video", writeTestFile("abuse-unknown-codec.mkv", bytes)});
  EXPECT_EQ(result.out, "{\"error\":\"no frame of this file could be decoded\",\"ok\":false}\n");
  // 1,001 tracks, one more than a file may have: an MP4 whose index (at its
  // end) holds its one track 1,001 times.
  bytes = bytesOf(makeClip("abuse-sound.m4a", "-f lavfi -i sine=d=0.2 -c:a aac"));
  const size_t moov = bytes.find("moov") - 4, trak = bytes.find("trak", moov) - 4;
  auto be32 = [&](size_t at) { return uint32_t(uint8_t(bytes[at])) << 24 | uint32_t(uint8_t(bytes[at + 1])) << 16 |
                                      uint32_t(uint8_t(bytes[at + 2])) << 8 | uint8_t(bytes[at + 3]); };
  const std::string track = bytes.substr(trak, be32(trak));
  std::string tracks;
  for (int i = 0; i < 1000; ++i) tracks += track;
  ASSERT_EQ(moov + be32(moov), bytes.size());  // nothing after the index moves
  bytes.insert(trak, tracks);
  const uint32_t size = be32(moov) + uint32_t(tracks.size());
  for (int k = 0; k < 4; ++k) bytes[moov + k] = char(size >> (24 - 8 * k));
  const std::string many = writeTestFile("abuse-tracks-1001.m4a", bytes);
  EXPECT_EQ(failureOf([&] { openClip(many); }), "cannot read " + many + ": the file has more than 1000 streams");
}

}  // namespace
