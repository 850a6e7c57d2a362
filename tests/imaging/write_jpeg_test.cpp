#include "imaging/write_jpeg.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "base/fail.h"
#include "support/clips.h"

namespace fs = std::filesystem;

namespace {

// A deterministic, busy picture: its JPEG size depends strongly on quality.
Image noise(int width, int height) {
  Image image{width, height, std::vector<uint8_t>(size_t(width) * height * 3)};
  uint32_t state = 12345;
  for (auto& byte : image.rgb) byte = static_cast<uint8_t>((state = state * 1664525u + 1013904223u) >> 24);
  return image;
}

std::vector<fs::path> entries(const fs::path& dir) {
  std::vector<fs::path> list;
  for (const auto& entry : fs::directory_iterator(dir)) list.push_back(entry.path().filename());
  return list;
}

TEST(WriteJPEG, QualityMapsMonotonicallyOntoOneToHundred) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::vector<std::pair<double, int>> cases = {
      {0.72, 72},  {0.0, 1},   {0.004, 1}, {0.005, 1}, {0.02, 2},  {0.5, 50}, {0.994, 99}, {0.996, 100},
      {1.0, 100}, {1.5, 100}, {-0.3, 1},  {inf, 100}, {-inf, 1}, {std::numeric_limits<double>::quiet_NaN(), 1}};
  for (const auto& [quality, expected] : cases) EXPECT_EQ(jpegQuality(quality), expected) << quality;
  for (int i = 0; i < 1000; ++i) ASSERT_LE(jpegQuality(i / 1000.0), jpegQuality((i + 1) / 1000.0)) << i;
}

TEST(WriteJPEG, ReplacesTheFileWithADecodableOneOfThePictureSize) {
  const fs::path dir = freshTempDir(), to = dir / "frame-00.jpg";
  std::ofstream(to) << "old";
  const mode_t previous = umask(022);
  writeJPEG(noise(321, 173), to, 0.9);
  umask(previous);
  std::ifstream in(to, std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  tjhandle decoder = tjInitDecompress();
  int width = 0, height = 0, subsampling = -1, colourspace = -1;
  ASSERT_EQ(tjDecompressHeader3(decoder, bytes.data(), bytes.size(), &width, &height, &subsampling, &colourspace), 0);
  tjDestroy(decoder);
  EXPECT_EQ(std::tuple(width, height, subsampling, colourspace), std::tuple(321, 173, int(TJSAMP_420), int(TJCS_YCbCr)));
  struct stat info {};
  ASSERT_EQ(stat(to.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);  // ordinary permissions, not the temporary file's
  EXPECT_EQ(entries(dir), std::vector<fs::path>{"frame-00.jpg"});  // no temporary file left
  writeJPEG(noise(321, 173), dir / "low.jpg", 0.2);
  EXPECT_GT(fs::file_size(to), fs::file_size(dir / "low.jpg"));  // 0.9 gives a larger file than 0.2
  fs::remove_all(dir);
}

// The write fails with the path and the reason, and the directory it aimed
// at is left as it was (no partial or temporary file).
void expectRefused(const Image& picture, const fs::path& to, const std::string& reason) {
  const fs::path dir = to.parent_path();
  const auto before = fs::exists(dir) ? entries(dir) : std::vector<fs::path>{};
  try {
    writeJPEG(picture, to, 0.72);
    ADD_FAILURE() << to << " was written";
  } catch (const Fail& fail) {
    EXPECT_EQ(fail.message, "cannot write " + to.string() + ": " + reason);
  }
  EXPECT_EQ(fs::exists(dir) ? entries(dir) : std::vector<fs::path>{}, before) << reason;
}

TEST(WriteJPEG, RefusedWritesLeaveNoFile) {
  const fs::path dir = freshTempDir();
  fs::create_directory(dir / "in-the-way.jpg");
  expectRefused(noise(16, 16), dir / "missing" / "frame-00.jpg", "No such file or directory");
  expectRefused(noise(16, 16), dir / "in-the-way.jpg", "Is a directory");
  expectRefused(Image{}, dir / "frame-00.jpg", "the picture is empty or malformed");
  expectRefused(Image{2, 2, {1, 2, 3}}, dir / "frame-00.jpg", "the picture is empty or malformed");
  if (geteuid() != 0) {  // root writes into any directory whatever its permissions
    fs::create_directory(dir / "locked");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    expectRefused(noise(16, 16), dir / "locked" / "frame-00.jpg", "Permission denied");
    fs::permissions(dir / "locked", fs::perms::owner_all);
  }
  fs::remove_all(dir);
}

// A 64 KiB tmpfs mounted for one test and unmounted after it.
struct SmallFileSystem {
  fs::path dir = freshTempDir();
  bool mounted;
  explicit SmallFileSystem(unsigned long flags)
      : mounted(mount("tmpfs", dir.c_str(), "tmpfs", flags, "size=64k") == 0) {}
  ~SmallFileSystem() {
    if (mounted) umount(dir.c_str());
    fs::remove_all(dir);
  }
};

TEST(WriteJPEG, FullDiskAndReadOnlyFileSystemAreRefused) {
  SmallFileSystem small(0), readOnly(MS_RDONLY);
  if (!small.mounted || !readOnly.mounted) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
  expectRefused(noise(720, 720), small.dir / "frame-00.jpg", "No space left on device");  // far over 64 KiB
  expectRefused(noise(16, 16), readOnly.dir / "frame-00.jpg", "Read-only file system");
}

}  // namespace
