#include "imaging/write_jpeg.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <turbojpeg.h>

#include <fstream>

#include "support/clips.h"
#include "support/jpeg_size.h"

namespace fs = std::filesystem;

namespace {

const Image kPicture{321, 173, std::vector<uint8_t>(321 * 173 * 3, 90)};

TEST(WriteJPEG, ReplacesTheFileWithADecodableOneOfThePictureSize) {
  const fs::path dir = freshTempDir(), to = dir / "frame-00.jpg";
  std::ofstream(to) << "old";
  const mode_t previous = umask(022);
  writeJPEG(kPicture, to, 0.72);
  umask(previous);
  EXPECT_EQ(jpegHeader(to), std::tuple(321, 173, int(TJSAMP_420), int(TJCS_YCbCr)));
  EXPECT_EQ(fs::status(to).permissions(), fs::perms(0644));  // ordinary permissions, not the temporary file's
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);  // no temporary file left
}

}  // namespace
