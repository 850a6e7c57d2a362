#include "imaging/write_jpeg.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "app/fail.h"
#include "support/clips.h"

namespace fs = std::filesystem;

namespace {

// A deterministic, busy picture: JPEG size depends strongly on quality.
Image noise(int width, int height) {
  Image image{width, height, std::vector<uint8_t>(size_t(width) * height * 3)};
  uint32_t state = 12345;
  for (auto& byte : image.rgb) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<uint8_t>(state >> 24);
  }
  return image;
}

Image gradient(int width, int height) {
  Image image{width, height, std::vector<uint8_t>(size_t(width) * height * 3)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &image.rgb[(size_t(y) * width + x) * 3];
      p[0] = uint8_t(x * 255 / width), p[1] = uint8_t(y * 255 / height), p[2] = uint8_t((x * y) % 256);
    }
  return image;
}

std::string failureOf(const Image& image, const fs::path& to) {
  try {
    writeJPEG(image, to, 0.72);
  } catch (const Fail& fail) {
    return fail.message;
  }
  return "";
}

std::vector<fs::path> entries(const fs::path& dir) {
  std::vector<fs::path> list;
  for (const auto& entry : fs::directory_iterator(dir)) list.push_back(entry.path().filename());
  return list;
}

TEST(WriteJPEG, QualityMapsMonotonicallyOntoOneToHundred) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double quality;
    int expected;
  };
  const std::vector<Case> cases = {
      {0.72, 72}, {0.0, 1},   {0.004, 1}, {0.005, 1}, {0.02, 2},  {0.5, 50},  {0.994, 99},
      {0.996, 100}, {1.0, 100}, {1.5, 100}, {-0.3, 1}, {inf, 100}, {-inf, 1}, {nan, 1},
  };
  for (const auto& c : cases) EXPECT_EQ(jpegQuality(c.quality), c.expected) << c.quality;
  int previous = 1;
  for (int i = 0; i <= 1000; ++i) {
    const int q = jpegQuality(i / 1000.0);
    ASSERT_GE(q, previous);
    previous = q;
  }
}

TEST(WriteJPEG, WritesADecodableFileOfThePictureSize) {
  const fs::path dir = freshTempDir();
  const fs::path to = dir / "frame-00.jpg";
  writeJPEG(gradient(321, 173), to, 0.72);

  std::ifstream in(to, std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 100u);
  tjhandle decoder = tjInitDecompress();
  int width = 0, height = 0, subsampling = -1, colourspace = -1;
  ASSERT_EQ(tjDecompressHeader3(decoder, bytes.data(), bytes.size(), &width, &height, &subsampling, &colourspace), 0);
  tjDestroy(decoder);
  EXPECT_EQ(width, 321);
  EXPECT_EQ(height, 173);
  EXPECT_EQ(subsampling, TJSAMP_420);
  EXPECT_EQ(colourspace, TJCS_YCbCr);
  EXPECT_EQ(entries(dir), std::vector<fs::path>{"frame-00.jpg"});  // no temporary file left
  fs::remove_all(dir);
}

TEST(WriteJPEG, HigherQualityGivesALargerFile) {
  const fs::path dir = freshTempDir();
  const Image image = noise(200, 120);
  writeJPEG(image, dir / "high.jpg", 0.9);
  writeJPEG(image, dir / "low.jpg", 0.2);
  EXPECT_GT(fs::file_size(dir / "high.jpg"), fs::file_size(dir / "low.jpg"));
  fs::remove_all(dir);
}

TEST(WriteJPEG, ReplacesAnExistingFileWithOrdinaryPermissions) {
  const fs::path dir = freshTempDir();
  const fs::path to = dir / "frame-01.jpg";
  std::ofstream(to) << "old";
  const mode_t previous = umask(022);
  writeJPEG(gradient(64, 64), to, 0.72);
  umask(previous);
  EXPECT_GT(fs::file_size(to), 3u);
  struct stat info {};
  ASSERT_EQ(stat(to.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
  EXPECT_EQ(entries(dir).size(), 1u);
  fs::remove_all(dir);
}

TEST(WriteJPEG, MissingDirectoryFailsWithTheSystemReason) {
  const fs::path dir = freshTempDir();
  const fs::path to = dir / "missing" / "frame-00.jpg";
  EXPECT_EQ(failureOf(gradient(16, 16), to), "cannot write " + to.string() + ": No such file or directory");
  EXPECT_FALSE(fs::exists(to));
  fs::remove_all(dir);
}

TEST(WriteJPEG, ADirectoryInTheWayFailsAndLeavesNoTemporaryFile) {
  const fs::path dir = freshTempDir();
  const fs::path to = dir / "frame-00.jpg";
  fs::create_directory(to);
  EXPECT_EQ(failureOf(gradient(16, 16), to), "cannot write " + to.string() + ": Is a directory");
  EXPECT_EQ(entries(dir), std::vector<fs::path>{"frame-00.jpg"});
  EXPECT_TRUE(fs::is_empty(to));
  fs::remove_all(dir);
}

TEST(WriteJPEG, EmptyPictureFails) {
  const fs::path dir = freshTempDir();
  const fs::path to = dir / "frame-00.jpg";
  EXPECT_EQ(failureOf(Image{}, to), "cannot write " + to.string() + ": the picture is empty or malformed");
  EXPECT_EQ(failureOf(Image{2, 2, {1, 2, 3}}, to),
            "cannot write " + to.string() + ": the picture is empty or malformed");
  EXPECT_TRUE(fs::is_empty(dir));
  fs::remove_all(dir);
}

// A 64 KiB tmpfs mounted for one test and unmounted after it.
struct SmallFileSystem {
  fs::path dir = freshTempDir();
  bool mounted;
  explicit SmallFileSystem(unsigned long flags = 0)
      : mounted(mount("tmpfs", dir.c_str(), "tmpfs", flags, "size=64k") == 0) {}
  ~SmallFileSystem() {
    if (mounted) umount(dir.c_str());
    fs::remove_all(dir);
  }
};

TEST(WriteJPEG, ReadOnlyDirectoryFails) {
  if (geteuid() != 0) {
    const fs::path dir = freshTempDir();
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    const fs::path to = dir / "frame-00.jpg";
    EXPECT_EQ(failureOf(gradient(16, 16), to), "cannot write " + to.string() + ": Permission denied");
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_TRUE(fs::is_empty(dir));
    fs::remove_all(dir);
    return;
  }
  // Root writes into any directory whatever its permissions; only a
  // read-only file system stops it.
  SmallFileSystem readOnly(MS_RDONLY);
  if (!readOnly.mounted) GTEST_SKIP() << "running as root but cannot mount a read-only tmpfs here";
  const fs::path to = readOnly.dir / "frame-00.jpg";
  EXPECT_EQ(failureOf(gradient(16, 16), to), "cannot write " + to.string() + ": Read-only file system");
  EXPECT_TRUE(fs::is_empty(readOnly.dir));
}

TEST(WriteJPEG, FullDiskFailsWithoutLeavingAnyFile) {
  SmallFileSystem small;
  if (!small.mounted) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root and mount permission)";
  const fs::path to = small.dir / "frame-00.jpg";
  try {
    writeJPEG(noise(720, 720), to, 1.0);  // far more than 64 KiB
    FAIL() << "the write did not fail";
  } catch (const Fail& fail) {
    EXPECT_EQ(fail.message, "cannot write " + to.string() + ": No space left on device");
  }
  EXPECT_TRUE(fs::is_empty(small.dir));
  // A picture that fits still goes in afterwards.
  writeJPEG(gradient(32, 32), to, 0.72);
  EXPECT_EQ(entries(small.dir), std::vector<fs::path>{"frame-00.jpg"});
}

}  // namespace
