// The frames command runs on generated clips, over the process
// boundary.
#include "pipeline/frames.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/clips.h"
#include "support/jpeg_size.h"
#include "support/run.h"

namespace fs = std::filesystem;

namespace {

std::string stillPicture() {
  return makeClip("e2e-still.png", "-f lavfi -i mandelbrot=size=2560x360:start_scale=1.5 -frames:v 1");
}

// `seconds` of 640 x 360 at 30 fps cut from the still picture by the crop
// filter `crop`.
std::string stillClip(const std::string& name, const std::string& crop, int seconds) {
  return makeClip(name, "-loop 1 -i '" + stillPicture() + "' -vf \"" + crop + "\" -t " + std::to_string(seconds) +
                            " -r 30 -c:v libx264 -preset ultrafast -pix_fmt yuv420p");
}

std::string staticClip() { return stillClip("e2e-static.mp4", "crop=640:360:0:0", 6); }

// Twelve seconds: the still picture, colour bars, then a test pattern, four
// seconds each, with hard cuts between them.
std::string cutsClip() {
  return makeClip(
      "e2e-cuts.mp4",
      "-loop 1 -t 4 -i '" + stillPicture() +
          "' -f lavfi -i smptehdbars=size=640x360:rate=30:duration=4 -f lavfi -i "
          "testsrc=size=640x360:rate=30:duration=4 -filter_complex "
          "\"[0:v]crop=640:360:0:0,fps=30,setsar=1[a];[1:v]setsar=1[b];[2:v]setsar=1[c];[a][b][c]concat=n=3:v=1,"
          "format=yuv420p[v]\" -map '[v]' -c:v libx264 -preset ultrafast");
}

using Sizes = std::vector<std::pair<int, int>>;

// Runs frames on the clip, which must succeed with one line and nothing on
// stderr; gives the document and the sizes of the files it names, which lie
// in a new directory below the --out directory.
std::pair<Document, Sizes> runFrames(const std::string& clip, const std::vector<std::string>& extra = {}) {
  const std::string out = freshTempDir();
  std::vector<std::string> args = {"frames", "--video", clip, "--out", out};
  args.insert(args.end(), extra.begin(), extra.end());
  RunResult result = runStillpick(args);
  EXPECT_EQ(result.status, 0) << result.out;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1);
  std::pair<Document, Sizes> run{Document::parse(result.out), {}};
  for (const auto& record : run.first["frames"]) {
    const fs::path path = record["path"].get<std::string>();
    EXPECT_EQ(path.parent_path().parent_path(), fs::path(out));
    run.second.push_back(jpegSize(path));
  }
  return run;
}

TEST(FramesCommand, StillAndPanningClipsAreWorded) {
  auto [document, sizes] = runFrames(staticClip(), {"--count", "3", "--size", "320"});
  EXPECT_EQ(sizes, Sizes(3, {320, 180}));
  EXPECT_EQ(document["motion"], "locked off, no camera movement");
  const std::string panning = stillClip("e2e-pan.mp4", "crop=640:360:x='t*100':y=0", 6);
  EXPECT_EQ(runFrames(panning, {"--count", "4"}).first["motion"], "camera moving right across the frame");
}

TEST(FramesCommand, HardCutsGiveOneFramePerScene) {
  const Document document = runFrames(cutsClip(), {"--count", "3"}).first;
  std::vector<int> scenes;
  for (const auto& record : document["frames"]) scenes.push_back(static_cast<int>(record["t"].get<double>() / 4.0));
  EXPECT_EQ(scenes, (std::vector<int>{0, 1, 2}));
}

TEST(FramesCommand, PortraitClipByRotation) {
  const std::string landscape = stillClip("e2e-landscape.mp4", "crop=640:360:0:0", 3);
  const std::string portrait = makeClip("e2e-portrait.mp4", "-i '" + landscape + "' -c copy -metadata:s:v:0 rotate=90");
  auto [document, sizes] = runFrames(portrait, {"--count", "2"});
  EXPECT_EQ(document["facts"],
            (Document{{"duration_s", 3.0}, {"fps", 30.0}, {"height", 640}, {"vertical", true}, {"width", 360}}));
  EXPECT_EQ(sizes, Sizes(2, {288, 512}));
}

TEST(FramesCommand, CountZeroKeepsNothingButCreatesTheDirectory) {
  const std::string out = freshTempDir();
  EXPECT_EQ(runStillpick({"frames", "--video", staticClip(), "--count", "0", "--out", out}),
            (RunResult{R"({"facts":{"duration_s":6.0,"fps":30.0,"height":360,"vertical":false,"width":640},)"
                       R"("frames":[],"motion":null,"ok":true,"vision":{"labels":[],"people":0,"text":[]}})"
                       "\n",
                       "", 0}));
  ASSERT_EQ(std::distance(fs::directory_iterator(out), {}), 1);
  const fs::path made = fs::directory_iterator(out)->path();
  EXPECT_TRUE(fs::is_directory(made) && fs::is_empty(made)) << made;
}

// The first half of a file, as a copy cut short leaves it.
std::string firstHalf(const std::string& path, const std::string& name) {
  const std::string bytes = bytesOf(path);
  return writeTestFile(name, bytes.substr(0, bytes.size() / 2));
}

TEST(FramesCommand, TruncatedClipGivesTheFramesThatDecode) {
  // With its index in front, the part that arrived is analysed.
  const std::string indexFirst =
      makeClip("e2e-cuts-faststart.mp4", "-i '" + cutsClip() + "' -c copy -movflags +faststart");
  const std::string cut = firstHalf(indexFirst, "e2e-cut-faststart.mp4");
  const Document document = runFrames(cut, {"--count", "30"}).first;
  EXPECT_EQ(document["facts"]["duration_s"], 12.0);  // the container still says so
  ASSERT_FALSE(document["frames"].empty());
  // No frame is claimed for a time after the last one that arrived.
  RunResult probe = runProgram("/usr/bin/ffprobe", {"-v", "error", "-select_streams", "v", "-show_entries",
                                                    "frame=pts_time", "-of", "csv=p=0", cut});
  double lastArrived = std::stod(probe.out.substr(probe.out.rfind('\n', probe.out.size() - 2) + 1));
  EXPECT_LT(lastArrived, 11.0);
  for (const auto& record : document["frames"]) EXPECT_LT(record["t"].get<double>(), lastArrived + 0.04);
  // With its index at the end, nothing can be read.
  const std::string indexLast = firstHalf(cutsClip(), "e2e-cut-index-last.mp4");
  EXPECT_EQ(runStillpick({"frames", "--video", indexLast}),
            (RunResult{R"({"error":"cannot read )" + withEscapedSlashes(indexLast) +
                           R"(: Invalid data found when processing input","ok":false})" + "\n",
                       "", 1}));
}

TEST(FramesCommand, OutputPathThatIsNotUtf8GivesTheFallbackLine) {
  const std::string out = freshTempDir() + "/bad" + std::string(1, '\xFF');
  // The run itself succeeded, and its frame is on disk.
  EXPECT_EQ(runStillpick({"frames", "--video", staticClip(), "--count", "1", "--out", out}),
            (RunResult{"{\"ok\":false,\"error\":\"could not encode the result\"}\n", "", 0}));
  int frames = 0;
  for (const auto& entry : fs::recursive_directory_iterator(out)) frames += entry.path().extension() == ".jpg";
  EXPECT_EQ(frames, 1);
}

}  // namespace
