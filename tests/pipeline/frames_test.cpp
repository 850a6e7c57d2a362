#include "pipeline/frames.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "app/probe.h"
#include "support/clips.h"
#include "support/jpeg_size.h"
#include "support/run.h"

namespace fs = std::filesystem;

namespace {

std::string stillPicture() {
  return makeClip("e2e-still.png", "-f lavfi -i mandelbrot=size=2560x360:start_scale=1.5 -frames:v 1");
}

// Six seconds of one still picture.
std::string staticClip() {
  return makeClip("e2e-static.mp4", "-loop 1 -i '" + stillPicture() +
                                        "' -vf crop=640:360:0:0 -t 6 -r 30 -c:v libx264 -preset ultrafast -pix_fmt yuv420p");
}

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

struct FramesRun {
  Document document;
  Sizes sizes;  // of the written files, in frame order
};

// Runs frames on the clip, which must succeed with one line and nothing on
// stderr, and reads the files it names: frame-00.jpg, frame-01.jpg ... in a
// new directory below the --out directory.
FramesRun runFrames(const std::string& clip, const std::vector<std::string>& extra = {}) {
  FramesRun run;
  std::string out = freshTempDir();
  std::vector<std::string> args = {"frames", "--video", clip, "--out", out};
  args.insert(args.end(), extra.begin(), extra.end());
  RunResult result = runStillpick(args);
  EXPECT_EQ(result.status, 0) << result.out;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1);
  run.document = Document::parse(result.out);
  EXPECT_EQ(run.document["ok"], true);
  for (const auto& record : run.document["frames"]) {
    fs::path path = record["path"].get<std::string>();
    EXPECT_EQ(path.parent_path().parent_path(), fs::path(out));
    char name[32];
    std::snprintf(name, sizeof name, "frame-%02zu.jpg", run.sizes.size());
    EXPECT_EQ(path.filename(), name);
    run.sizes.push_back(jpegSize(path));
    EXPECT_NE(run.sizes.back(), std::make_pair(0, 0)) << path;
  }
  fs::remove_all(out);
  return run;
}

TEST(FramesCommand, StaticClipIsLockedOff) {
  FramesRun run = runFrames(staticClip(), {"--count", "3", "--size", "320"});
  EXPECT_EQ(run.sizes, Sizes(3, {320, 180}));
  EXPECT_EQ(run.document["motion"], "locked off, no camera movement");
}

TEST(FramesCommand, HardCutsGiveOneFramePerScene) {
  std::string clip = cutsClip();
  Document document = runFrames(clip, {"--count", "3"}).document;
  ASSERT_EQ(document["frames"].size(), 3u);
  std::vector<int> scenes;
  for (const auto& record : document["frames"]) scenes.push_back(static_cast<int>(record["t"].get<double>() / 4.0));
  EXPECT_EQ(scenes, (std::vector<int>{0, 1, 2}));
}

TEST(FramesCommand, PanningRightIsWorded) {
  std::string clip = makeClip("e2e-pan.mp4", "-loop 1 -i '" + stillPicture() +
                                                 "' -vf \"crop=640:360:x='t*100':y=0\" -t 6 -r 30 -c:v libx264 "
                                                 "-preset ultrafast -pix_fmt yuv420p");
  Document document = runFrames(clip, {"--count", "4"}).document;
  EXPECT_EQ(document["motion"], "camera moving right across the frame");
}

TEST(FramesCommand, PortraitClipByRotation) {
  std::string landscape = makeClip("e2e-landscape.mp4", "-loop 1 -i '" + stillPicture() +
                                                            "' -vf crop=640:360:0:0 -t 3 -r 30 -c:v libx264 "
                                                            "-preset ultrafast -pix_fmt yuv420p");
  std::string portrait = makeClip("e2e-portrait.mp4", "-i '" + landscape + "' -c copy -metadata:s:v:0 rotate=90");
  FramesRun run = runFrames(portrait, {"--count", "2"});
  EXPECT_EQ(run.document["facts"],
            (Document{{"duration_s", 3.0}, {"fps", 30.0}, {"height", 640}, {"vertical", true}, {"width", 360}}));
  EXPECT_EQ(run.sizes, Sizes(2, {288, 512}));
}

TEST(FramesCommand, CountZeroKeepsNothingButCreatesTheDirectory) {
  std::string out = freshTempDir();
  RunResult result = runStillpick({"frames", "--video", staticClip(), "--count", "0", "--out", out});
  EXPECT_EQ(result.out, R"({"facts":{"duration_s":6.0,"fps":30.0,"height":360,"vertical":false,"width":640},)"
                        R"("frames":[],"motion":null,"ok":true,"vision":{"labels":[],"people":0,"text":[]}})"
                        "\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  int directories = 0;
  for (const auto& entry : fs::directory_iterator(out)) directories += entry.is_directory() && fs::is_empty(entry);
  EXPECT_EQ(directories, 1);
  fs::remove_all(out);
}

// The first half of a file, as a copy cut short leaves it.
std::string firstHalf(const std::string& path, const std::string& name) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  std::string cut = testDataDir() + "/" + name;
  std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  return cut;
}

TEST(FramesCommand, TruncatedClipGivesTheFramesThatDecode) {
  std::string whole = cutsClip();
  // With its index in front, the part that arrived is analysed.
  std::string indexFirst = makeClip("e2e-cuts-faststart.mp4", "-i '" + whole + "' -c copy -movflags +faststart");
  std::string cut = firstHalf(indexFirst, "e2e-cut-faststart.mp4");
  Document document = runFrames(cut, {"--count", "30"}).document;
  EXPECT_EQ(document["facts"]["duration_s"], 12.0);  // the container still says so
  ASSERT_FALSE(document["frames"].empty());
  // No frame is claimed for a time after the last one that arrived.
  RunResult probe = runProgram("/usr/bin/ffprobe", {"-v", "error", "-select_streams", "v", "-show_entries",
                                                    "frame=pts_time", "-of", "csv=p=0", cut});
  double lastArrived = std::stod(probe.out.substr(probe.out.rfind('\n', probe.out.size() - 2) + 1));
  EXPECT_LT(lastArrived, 11.0);
  for (const auto& record : document["frames"]) EXPECT_LT(record["t"].get<double>(), lastArrived + 0.04);
  // With its index at the end, nothing can be read.
  std::string indexLast = firstHalf(whole, "e2e-cut-index-last.mp4");
  RunResult result = runStillpick({"frames", "--video", indexLast});
  EXPECT_EQ(result.out, R"({"error":"cannot read )" + std::regex_replace(indexLast, std::regex("/"), "\\/") +
                            R"(: Invalid data found when processing input","ok":false})" + "\n");
  EXPECT_EQ(result.status, 1);
}

TEST(FramesCommand, OutputPathThatIsNotUtf8GivesTheFallbackLine) {
  std::string clip = staticClip();
  std::string out = freshTempDir() + "/bad" + std::string(1, '\xFF');
  RunResult result = runStillpick({"frames", "--video", clip, "--count", "1", "--out", out});
  EXPECT_EQ(result.out, "{\"ok\":false,\"error\":\"could not encode the result\"}\n");
  EXPECT_EQ(result.status, 0);  // the run itself succeeded; its frame is on disk
  EXPECT_EQ(result.err, "");
  int frames = 0;
  for (const auto& entry : fs::recursive_directory_iterator(out)) frames += entry.path().extension() == ".jpg";
  EXPECT_EQ(frames, 1);
}

TEST(FramesCommand, SelftestNestsTheFramesDocument) {
  std::string tmp = freshTempDir();
  RunResult result =
      runStillpick({"selftest", "--video", staticClip(), "--count", "2", "--out", "/nowhere"}, {"TMPDIR=" + tmp});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.err, "");
  Document document = Document::parse(result.out);
  EXPECT_EQ(document.size(), 3u);
  EXPECT_EQ(document["ok"], true);
  EXPECT_EQ(document["probe"], probe());
  EXPECT_EQ(document["frames"]["ok"], true);
  EXPECT_EQ(document["frames"]["frames"].size(), 6u);  // count 6 whatever the command line says
  EXPECT_TRUE(fs::exists(fs::path(tmp) / "stillpick-selftest" / "frame-05.jpg"));
  fs::remove_all(tmp);
}

}  // namespace
