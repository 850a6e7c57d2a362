// Files built to hurt the clip reader in ways random mutation rarely finds:
// absurd declared sizes and counts, files that are not files, files that
// name other files, and files made to exhaust time or to make the reader show
// the wrong picture or give a misleading reason. Each must end in a Fail with
// a clear text, quickly and without a large allocation, and nothing beyond
// the file itself is opened. One case per class of fault.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "video/clip.h"
#include "support/clip_harness.h"
#include "support/clips.h"
#include "support/failure.h"
#include "support/ramp.h"
#include "support/run.h"

namespace fs = std::filesystem;

namespace {

uint32_t be32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t k = 0; k < 4; ++k) value = value << 8 | static_cast<uint8_t>(bytes.at(at + k));
  return value;
}

// `value` as `size` bytes, most significant first unless `little`.
std::string encoded(uint32_t value, int size, bool little = false) {
  std::string out;
  for (int k = 0; k < size; ++k) out.push_back(static_cast<char>(value >> 8 * (little ? k : size - 1 - k)));
  return out;
}

// A small H.264 clip in a QuickTime file, its header written after the data
// so that growing the header moves no sample.
std::string plainMovie() {
  return makeClip("hostile-base.mov",
                  "-f lavfi -i testsrc2=size=64x48:rate=10:duration=1 -c:v libx264 -preset ultrafast -g 5 -bf 2");
}

// A copy of plainMovie() that only the calling test opens, so that watching
// it for opens is not disturbed by other tests running beside it.
std::string privateMovie(const std::string& name) {
  return fs::absolute(writeTestFile("hostile-target-" + name + ".mov", bytesOf(plainMovie()))).string();
}

// Offset of the first box of this type in the movie's header; the header
// follows the samples, so no sample data is searched.
size_t boxAt(const std::string& movie, const std::string& type) { return movie.find(type, movie.find("moov")) - 4; }

// What reading the file as a clip ends in: the Fail's text, or "" when all
// went through.
std::string readingFailure(const std::string& path) {
  return failureOf([&] {
    auto source = openFrameSource(openClip(path));
    for (double t : {0.0, 0.5}) source->frameAt(t);
  });
}

// Runs the whole clip harness over the file, which must finish in bounded
// time and memory (growth of the peak resident size, in kB) with nothing but
// Fails.
void expectContained(const std::string& path) {
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_NO_THROW(exerciseClip(path)) << path;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << path;
  getrusage(RUSAGE_SELF, &after);
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 512 * 1024) << path;
}

// A GIF of tiny frames whose header declares a canvas of side x side.
std::string gifWithCanvas(int side, int frames, const std::string& name) {
  std::string bytes = bytesOf(makeClip("hostile-tiny-" + std::to_string(frames) + ".gif",
                                       lavfi("color=red:s=2x2:r=10") + " -frames:v " + std::to_string(frames)));
  bytes.replace(6, 4, encoded(side, 2, true) + encoded(side, 2, true));
  return writeTestFile("hostile-" + name, bytes);
}

// Every JPEG picture header (SOF0) of the file made to declare the size.
std::string withJpegSize(std::string bytes, unsigned width, unsigned height) {
  for (size_t at = bytes.find("\xFF\xC0"); at != std::string::npos; at = bytes.find("\xFF\xC0", at + 2))
    bytes.replace(at + 5, 4, encoded(height, 2) + encoded(width, 2));
  return bytes;
}

// The AVI main header and the video format both made to declare the size.
std::string withAviSize(std::string bytes, uint32_t width, uint32_t height) {
  const size_t header = bytes.find("avih") + 8, format = bytes.find("strf") + 8;
  bytes.replace(header + 32, 8, encoded(width, 4, true) + encoded(height, 4, true));
  bytes.replace(format + 4, 8, encoded(width, 4, true) + encoded(height, 4, true));
  return bytes;
}

TEST(HostileInputs, DeclaredHugePictureEndsInAnErrorDocument) {
  const std::string raw =
      bytesOf(makeClip("hostile-raw.avi", "-f lavfi -i color=gray:s=16x16:r=5:d=0.4 -c:v rawvideo -pix_fmt yuv420p"));
  const std::string jpeg =
      bytesOf(makeClip("hostile-mjpeg.avi", "-f lavfi -i color=gray:s=16x16:r=5:d=0.4 -c:v mjpeg"));
  // Raw video has nothing but the declared size to go by; a JPEG picture
  // header can say at most 65535 x 65535. Sizes whose area alone is too much
  // for the decoder are dropped by it, and then nothing decodes.
  const std::string tooLarge = "the video picture is too large", undecodable = "no frame of this file could be decoded";
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {"raw-100000.avi", withAviSize(raw, 100000, 100000), undecodable},
      {"raw-100000-wide.avi", withAviSize(raw, 100000, 16), tooLarge},
      {"mjpeg-65535.avi", withJpegSize(jpeg, 65535, 65535), undecodable},
      {"gif-canvas-16000.mp4", bytesOf(gifWithCanvas(16000, 250, "canvas-16000.gif")), tooLarge},  // 250 tiny frames on a canvas far beyond the area limit
  };
  for (const auto& [name, bytes, error] : cases) {
    const std::string path = writeTestFile("hostile-" + name, bytes);
    expectContained(path);
    const std::string out = freshTempDir();
    EXPECT_EQ(runStillpick({"frames", "--video", path, "--out", out}),
              (RunResult{R"({"error":")" + error + "\",\"ok\":false}\n", "", 1}));
    EXPECT_TRUE(fs::is_empty(out)) << name;
  }
}

TEST(HostileInputs, FilesThatAreNotRegularFilesAreRefusedWithoutWaiting) {
  const std::string dir = freshTempDir(), fifo = dir + "/clip.mp4", link = dir + "/zero.mp4";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", link);
  // Opening the FIFO for reading would block until some writer came along.
  for (const std::string& path : {fifo, std::string("/dev/zero"), link, dir}) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(failureOf([&] { openClip(path); }), "cannot open " + path + ": not a regular file");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << path;
  }
}

TEST(HostileInputs, GigabytesOfNothingEndQuickly) {
  // Sparse: all zeros, and a clip followed by gigabytes of zeros, which
  // still decodes.
  const std::string dir = freshTempDir(), zeros = dir + "/zeros.mp4", tail = dir + "/tail.mov";
  std::ofstream(zeros, std::ios::binary).close();
  fs::resize_file(zeros, uint64_t{8} << 30);
  fs::copy_file(plainMovie(), tail);
  fs::resize_file(tail, uint64_t{8} << 30);
  EXPECT_EQ(readingFailure(zeros).rfind("cannot read " + zeros + ": ", 0), 0u);
  EXPECT_EQ(readingFailure(tail), "");
  for (const std::string& path : {zeros, tail}) expectContained(path);
}

TEST(HostileInputs, SampleTablesClaimingHugeCountsEndCleanly) {
  // The box, the offset of a field in it, and what the field claims: far
  // more sample sizes, samples per chunk, or time than the file holds.
  for (auto [box, field, value] : std::vector<std::tuple<std::string, size_t, uint32_t>>{
           {"stsz", 16, 0xFFFFFFF0}, {"stsc", 20, 0x7FFFFFFF}, {"mvhd", 24, 0xFFFFFFFF}}) {
    std::string bytes = bytesOf(plainMovie());
    bytes.replace(boxAt(bytes, box) + field, 4, encoded(value, 4));
    expectContained(writeTestFile("hostile-" + box + "-claim.mov", bytes));
  }
}

// Watches a file for being opened or read while it lives.
struct OpenWatch {
  int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  explicit OpenWatch(const std::string& path) { inotify_add_watch(fd, path.c_str(), IN_OPEN | IN_ACCESS); }
  ~OpenWatch() { close(fd); }
  bool touched() const {
    char events[4096];
    return read(fd, events, sizeof events) > 0;
  }
};

TEST(HostileInputs, FilesNamingOtherFilesOpenNothingElse) {
  // Each lies beside the clip it names, so that a relative name would resolve.
  const std::string target = privateMovie("named"), name = fs::path(target).filename().string();
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"hls.mp4", "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:1\n#EXTINF:1.0,\n" + name +
                      "\n#EXTINF:1.0,\n" + target + "\n#EXT-X-ENDLIST\n"},
      {"ffconcat.mp4", "ffconcat version 1.0\nfile '" + target + "'\nfile '" + name + "'\n"},
      {"sdp.mp4", "v=0\no=- 0 0 IN IP4 127.0.0.1\ns=x\nc=IN IP4 127.0.0.1\nt=0 0\nm=video 5004 RTP/AVP 96\n"
                  "a=rtpmap:96 H264/90000\n"},
  };
  OpenWatch watch(target);
  for (const auto& [file, text] : cases) {
    const std::string path = writeTestFile("hostile-" + file, text);
    EXPECT_EQ(readingFailure(path).rfind("cannot read " + path + ": ", 0), 0u) << file;
    expectContained(path);
    EXPECT_FALSE(watch.touched()) << file << " opened the clip it names";
  }
}

// A QuickTime data reference (an alias record) naming another file as the
// holder of the track's samples.
std::string aliasTo(const std::string& target) {
  const std::string body = encoded(0, 4) + std::string(150, '\0') + encoded(2, 2) + encoded(target.size(), 2) +
                           target + std::string(target.size() % 2, '\0') + encoded(0xFFFF, 2) + encoded(0, 2);
  return encoded(8 + body.size(), 4) + "alis" + body;
}

TEST(HostileInputs, ExternalDataReferenceIsNotFollowed) {
  const std::string target = privateMovie("referenced");
  std::string bytes = bytesOf(target);
  // Replace the track's one self-contained entry with the alias, and grow
  // every enclosing box by the difference.
  const size_t entry = boxAt(bytes, "dref") + 16;
  const uint32_t oldSize = be32(bytes, entry);
  const std::string alias = aliasTo(target);
  bytes.replace(entry, oldSize, alias);
  for (const char* box : {"moov", "trak", "mdia", "minf", "dinf", "dref"})
    bytes.replace(boxAt(bytes, box), 4, encoded(be32(bytes, boxAt(bytes, box)) + alias.size() - oldSize, 4));
  const std::string external = writeTestFile("hostile-external-dref.mov", bytes);
  OpenWatch watch(target);
  EXPECT_EQ(readingFailure(external), "no frame could be decoded at this time");
  expectContained(external);
  EXPECT_FALSE(watch.touched()) << "followed the data reference";
}

// Every input the fuzzer ever found a fault with stays in
// tests/data/fuzz-regressions and must keep ending in a clean failure or
// real frames.
TEST(HostileInputs, SavedFuzzFindingsEndCleanly) {
  for (const auto& entry : fs::directory_iterator(fs::path(STILLPICK_SOURCE_DIR) / "tests/data/fuzz-regressions"))
    if (entry.is_regular_file() && entry.path().filename() != "README") expectContained(entry.path().string());
}

TEST(HostileInputs, ReadingTimeIsCheckedWhileDecoding) {
  // Thousands of canvas-sized frames: each request decodes for long without
  // reading the file, and must still stop when the time is up.
  const std::string gif = gifWithCanvas(4000, 3000, "canvas-4000.gif");
  auto source = openFrameSource(openClip(gif, std::chrono::milliseconds(1500)));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(failureOf([&] { source->frameAt(290); }), kOutOfTimeMessage);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  // Every later frame fails at once, and so does an open without time.
  EXPECT_EQ(failureOf([&] { source->frameAt(0); }), kOutOfTimeMessage);
  EXPECT_TRUE(source->outOfTime());
  EXPECT_EQ(failureOf([&] { openClip(gif, std::chrono::milliseconds(0)); }), kOutOfTimeMessage);
}

TEST(HostileInputs, ATimeWithoutADecodableFrameGetsNoLaterPicture) {
  // An MPEG-TS stream cut just after its start: its first frames lack their
  // key frame and its parameter sets, and the next key frame comes at 50 s,
  // beyond what opening the file reads.
  const std::string whole =
      makeClip("hostile-key-50.ts", lavfi("color=black:s=160x120:r=10:d=60,format=yuv420p,"
                                        "geq=lum='20+2*mod(N\\,90)':cb=128:cr=128") +
                                      " -c:v libx264 -g 1000 -keyint_min 1000 -force_key_frames 0,50 -bf 0 -qp 4");
  const std::string bytes = bytesOf(whole);
  const std::string cut = writeTestFile("hostile-key-50-cut.ts", bytes.substr(bytes.size() / 50 / 188 * 188));
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

TEST(HostileInputs, EachKindOfFileThatIsNoClipSaysWhatItIs) {
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
    const std::string path = makeClip("hostile-" + c.name, c.ffmpegArgs);
    RunResult result = runStillpick({"frames", "--video", path, "--out", freshTempDir()});
    const std::string error = withEscapedSlashes(c.prefixed ? "cannot read " + path + ": " + c.error : c.error);
    EXPECT_EQ(result.out, "{\"error\":\"" + error + "\",\"ok\":false}\n") << c.name;
  }
  // A video track of a codec no decoder reads: an H.264 track renamed.
  std::string bytes = bytesOf(makeClip("hostile-h264.mkv", lavfi("testsrc=s=64x48:d=1") + " -c:v libx264"));
  const size_t id = bytes.find("V_MPEG4/ISO/AVC");
  ASSERT_NE(id, std::string::npos);
  bytes.replace(id, 15, "V_MPEG4/ISO/XYZ");
  RunResult result = runStillpick({"frames", "--video", writeTestFile("hostile-unknown-codec.mkv", bytes)});
  EXPECT_EQ(result.out, "{\"error\":\"no frame of this file could be decoded\",\"ok\":false}\n");
  // 1,001 tracks, one more than a file may have: an MP4 whose index (at its
  // end) holds its one track 1,001 times.
  bytes = bytesOf(makeClip("hostile-sound.m4a", "-f lavfi -i sine=d=0.2 -c:a aac"));
  const size_t moov = bytes.find("moov") - 4, trak = bytes.find("trak", moov) - 4;
  const std::string track = bytes.substr(trak, be32(bytes, trak));
  std::string tracks;
  for (int i = 0; i < 1000; ++i) tracks += track;
  ASSERT_EQ(moov + be32(bytes, moov), bytes.size());  // nothing after the index moves
  bytes.insert(trak, tracks);
  const uint32_t size = be32(bytes, moov) + uint32_t(tracks.size());
  bytes.replace(moov, 4, encoded(size, 4));
  const std::string many = writeTestFile("hostile-tracks-1001.m4a", bytes);
  EXPECT_EQ(failureOf([&] { openClip(many); }), "cannot read " + many + ": the file has more than 1000 streams");
}

}  // namespace
