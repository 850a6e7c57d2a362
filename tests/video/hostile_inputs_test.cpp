// Files built to hurt the clip reader in ways random mutation rarely finds:
// absurd declared sizes and counts, files that are not files, and files that
// name other files. Each must end in a Fail with a clear text, quickly and
// without a large allocation, and nothing beyond the file itself is opened.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include "base/fail.h"
#include "base/frame_source.h"
#include "video/clip.h"
#include "support/clip_harness.h"
#include "support/clips.h"
#include "support/run.h"

namespace fs = std::filesystem;

namespace {

std::string bytesOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string writeFile(const std::string& name, const std::string& bytes) {
  const std::string path = testDataDir() + "/hostile-" + name;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  return path;
}

uint32_t be32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t k = 0; k < 4; ++k) value = value << 8 | static_cast<uint8_t>(bytes.at(at + k));
  return value;
}

void putBe32(std::string& bytes, size_t at, uint32_t value) {
  for (size_t k = 0; k < 4; ++k) bytes.at(at + k) = static_cast<char>(value >> (24 - 8 * k));
}

void putLe32(std::string& bytes, size_t at, uint32_t value) {
  for (size_t k = 0; k < 4; ++k) bytes.at(at + k) = static_cast<char>(value >> (8 * k));
}

std::string be16(unsigned value) { return {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)}; }

std::string be32Bytes(uint32_t value) {
  std::string out(4, '\0');
  putBe32(out, 0, value);
  return out;
}

// Offsets of the ISO media boxes along `path` (e.g. moov, trak, ..., stsz),
// outermost first; empty when one is missing. Only the first box of each
// type is followed.
std::vector<size_t> boxPath(const std::string& bytes, const std::vector<std::string>& path) {
  std::vector<size_t> found;
  size_t begin = 0, end = bytes.size();
  for (const std::string& type : path) {
    size_t at = begin;
    while (at + 8 <= end && bytes.compare(at + 4, 4, type) != 0) {
      const uint32_t size = be32(bytes, at);
      if (size < 8) return {};
      at += size;
    }
    if (at + 8 > end) return {};
    found.push_back(at);
    // Children of the full boxes that hold a list start after the version,
    // flags and entry count.
    begin = at + (type == "dref" || type == "stsd" ? 16 : 8);
    end = at + be32(bytes, at);
  }
  return found;
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
  const std::string path = fs::absolute(testDataDir() + "/hostile-target-" + name + ".mov").string();
  fs::copy_file(plainMovie(), path, fs::copy_options::overwrite_existing);
  return path;
}

// Largest resident size of this process so far, in kB.
long peakResidentKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// What reading the file as a clip ends in: the Fail's text, or "" when all
// went through.
std::string readingFailure(const std::string& path) {
  try {
    auto source = openFrameSource(openClip(path));
    for (double t : {0.0, 0.5}) source->frameAt(t);
  } catch (const Fail& fail) {
    return fail.message;
  }
  return "";
}

// Runs the whole clip harness over the file, which must finish in bounded
// time and memory with nothing but Fails.
void expectContained(const std::string& path) {
  const long before = peakResidentKb();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_NO_THROW(exerciseClip(path)) << path;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << path;
  EXPECT_LT(peakResidentKb() - before, 512 * 1024) << path;
}

// Every JPEG picture header (SOF0) of the file made to declare the size.
std::string withJpegSize(std::string bytes, unsigned width, unsigned height) {
  for (size_t at = bytes.find("\xFF\xC0"); at != std::string::npos; at = bytes.find("\xFF\xC0", at + 2))
    bytes.replace(at + 5, 4, be16(height) + be16(width));
  return bytes;
}

// The AVI main header and the video format both made to declare the size.
std::string withAviSize(std::string bytes, uint32_t width, uint32_t height) {
  const size_t header = bytes.find("avih"), format = bytes.find("strf");
  if (header == std::string::npos || format == std::string::npos) return "";
  putLe32(bytes, header + 8 + 32, width);
  putLe32(bytes, header + 8 + 36, height);
  putLe32(bytes, format + 8 + 4, width);
  putLe32(bytes, format + 8 + 8, height);
  return bytes;
}

TEST(HostileInputs, DeclaredHugePictureEndsInAnErrorDocument) {
  const std::string raw =
      bytesOf(makeClip("hostile-raw.avi", "-f lavfi -i color=gray:s=16x16:r=5:d=0.4 -c:v rawvideo -pix_fmt yuv420p"));
  const std::string jpeg =
      bytesOf(makeClip("hostile-mjpeg.avi", "-f lavfi -i color=gray:s=16x16:r=5:d=0.4 -c:v mjpeg"));
  struct Case {
    const char* name;
    std::string bytes;
    std::string error;
  };
  // Raw video has nothing but the declared size to go by; a JPEG picture
  // header can say at most 65535 x 65535. Sizes whose area alone is too much
  // for the decoder are dropped by it, and then nothing decodes.
  const std::string tooLarge = "the video picture is too large", undecodable = "no frame of this file could be decoded";
  const std::vector<Case> cases = {
      {"raw-100000.avi", withAviSize(raw, 100000, 100000), undecodable},
      {"raw-100000-wide.avi", withAviSize(raw, 100000, 16), tooLarge},
      {"raw-100000-high.avi", withAviSize(raw, 16, 100000), tooLarge},
      {"mjpeg-65535.avi", withJpegSize(jpeg, 65535, 65535), undecodable},
      {"mjpeg-65535-both.avi", withAviSize(withJpegSize(jpeg, 65535, 65535), 65535, 65535), undecodable},
  };
  for (const Case& c : cases) {
    ASSERT_FALSE(c.bytes.empty()) << c.name;
    const std::string path = writeFile(c.name, c.bytes);
    EXPECT_NE(readingFailure(path), "") << c.name;
    expectContained(path);
    const std::string out = freshTempDir();
    RunResult result = runStillpick({"frames", "--video", path, "--out", out});
    EXPECT_EQ(result.out, R"({"error":")" + c.error + R"(","ok":false})"
                                                      "\n")
        << c.name;
    EXPECT_EQ(result.status, 1) << c.name;
    EXPECT_TRUE(fs::is_empty(out)) << c.name;
  }
}

TEST(HostileInputs, FilesThatAreNotRegularFilesAreRefusedWithoutWaiting) {
  const std::string dir = freshTempDir();
  const std::string fifo = dir + "/clip.mp4";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string link = dir + "/zero.mp4";
  fs::create_symlink("/dev/zero", link);
  // Opening the FIFO for reading would block until some writer came along.
  for (const std::string& path : {fifo, std::string("/dev/zero"), link, dir}) {
    const auto start = std::chrono::steady_clock::now();
    try {
      openClip(path);
      ADD_FAILURE() << "opened " << path;
    } catch (const Fail& fail) {
      EXPECT_EQ(fail.message, "cannot open " + path + ": not a regular file");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << path;
  }
  fs::remove_all(dir);
}

TEST(HostileInputs, GigabytesOfNothingEndQuickly) {
  const std::string dir = freshTempDir();
  // Sparse: all zeros, and a clip followed by gigabytes of zeros, which
  // still decodes.
  const std::string zeros = dir + "/zeros.mp4";
  std::ofstream(zeros, std::ios::binary).close();
  fs::resize_file(zeros, uint64_t{8} << 30);
  const std::string tail = dir + "/tail.mov";
  fs::copy_file(plainMovie(), tail);
  fs::resize_file(tail, uint64_t{8} << 30);
  EXPECT_EQ(readingFailure(zeros).rfind("cannot read " + zeros + ": ", 0), 0u);
  expectContained(zeros);
  EXPECT_EQ(readingFailure(tail), "");
  expectContained(tail);
  fs::remove_all(dir);
}

// Sample tables whose counts claim far more samples than the file holds.
TEST(HostileInputs, SampleTablesClaimingHugeCountsEndCleanly) {
  struct Case {
    const char* name;
    std::vector<std::string> box;
    size_t field;  // from the start of the box
    uint32_t value;
  };
  const std::vector<std::string> table = {"moov", "trak", "mdia", "minf", "stbl"};
  auto in = [&](const char* last) {
    auto path = table;
    path.push_back(last);
    return path;
  };
  const std::vector<Case> cases = {
      {"stsz-count-4g", in("stsz"), 16, 0xFFFFFFF0},
      {"stts-count-max", in("stts"), 16, 0xFFFFFFFF},
      {"stsc-samples-per-chunk", in("stsc"), 20, 0x7FFFFFFF},
      {"stco-count-max", in("stco"), 12, 0xFFFFFFFF},
      {"mvhd-duration-max", {"moov", "mvhd"}, 24, 0xFFFFFFFF},
  };
  const std::string base = bytesOf(plainMovie());
  for (const Case& c : cases) {
    std::string bytes = base;
    const std::vector<size_t> boxes = boxPath(bytes, c.box);
    ASSERT_EQ(boxes.size(), c.box.size()) << c.name;
    putBe32(bytes, boxes.back() + c.field, c.value);
    expectContained(writeFile(std::string(c.name) + ".mov", bytes));
  }
}

// Watches files for being opened or read while it lives.
class OpenWatch {
 public:
  explicit OpenWatch(const std::vector<std::string>& paths) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    for (const auto& path : paths) inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_ACCESS);
  }
  ~OpenWatch() { close(fd_); }
  bool touched() const {
    char events[4096];
    return read(fd_, events, sizeof events) > 0;
  }

 private:
  int fd_;
};

TEST(HostileInputs, FilesNamingOtherFilesOpenNothingElse) {
  const std::string target = privateMovie("named");
  const std::string name = fs::path(target).filename().string();
  const std::string dir = fs::path(target).parent_path().string();
  struct Case {
    const char* name;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"hls.mp4", "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:1\n#EXTINF:1.0,\n" + name +
                      "\n#EXTINF:1.0,\n" + target + "\n#EXT-X-ENDLIST\n"},
      {"ffconcat.mp4", "ffconcat version 1.0\nfile '" + target + "'\nfile '" + name + "'\n"},
      {"sdp.mp4", "v=0\no=- 0 0 IN IP4 127.0.0.1\ns=x\nc=IN IP4 127.0.0.1\nt=0 0\nm=video 5004 RTP/AVP 96\n"
                  "a=rtpmap:96 H264/90000\n"},
      {"file-url.mp4", "file:" + target + "\n"},
  };
  OpenWatch watch({target});
  for (const Case& c : cases) {
    const std::string path = writeFile(c.name, c.text);
    // Beside the clip it names, so that a relative name would resolve.
    ASSERT_EQ(fs::path(path).parent_path().string(), dir);
    const std::string failure = readingFailure(path);
    EXPECT_EQ(failure.rfind("cannot read " + path + ": ", 0), 0u) << c.name << ": " << failure;
    expectContained(path);
    EXPECT_FALSE(watch.touched()) << c.name << " opened the clip it names";
  }
}

// A QuickTime data reference (an alias record) naming another file as the
// holder of the track's samples.
std::string aliasTo(const std::string& target) {
  std::string record(150, '\0');
  std::string path = target;
  if (path.size() % 2) path.push_back('\0');
  std::string body = be32Bytes(0) + record + be16(2) + be16(target.size()) + path + be16(0xFFFF) + be16(0);
  return be32Bytes(8 + body.size()) + "alis" + body;
}

TEST(HostileInputs, ExternalDataReferenceIsNotFollowed) {
  const std::string target = privateMovie("referenced");
  std::string bytes = bytesOf(target);
  const std::vector<std::string> path = {"moov", "trak", "mdia", "minf", "dinf", "dref"};
  const std::vector<size_t> boxes = boxPath(bytes, path);
  ASSERT_EQ(boxes.size(), path.size());
  // Replace the track's one self-contained entry with the alias, and grow
  // every enclosing box by the difference.
  const size_t entry = boxes.back() + 16;
  const uint32_t oldSize = be32(bytes, entry);
  const std::string alias = aliasTo(target);
  bytes.replace(entry, oldSize, alias);
  for (size_t box : boxes) putBe32(bytes, box, be32(bytes, box) + alias.size() - oldSize);
  const std::string external = writeFile("external-dref.mov", bytes);

  OpenWatch watch({target});
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

}  // namespace
