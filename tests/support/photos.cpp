#include "support/photos.h"

#include <filesystem>
#include <stdexcept>

#include "video/clip.h"
#include "support/clips.h"

std::string samplePhoto(const std::string& file) {
  std::string path = "/usr/lib/python3/dist-packages/skimage/data/" + file;
  if (!std::filesystem::exists(path))
    throw std::runtime_error(path + " is missing: install the Debian package python3-skimage");
  return path;
}

std::string streetFootage() {
  std::string path = "/usr/share/doc/opencv-doc/examples/data/vtest.avi";
  if (!std::filesystem::exists(path))
    throw std::runtime_error(path + " is missing: install the Debian package opencv-doc");
  return path;
}

std::string groupPhoto() {
  std::string path = std::string(STILLPICK_SOURCE_DIR) + "/tests/photos/TeamMeeting2019.jpg";
  if (!std::filesystem::exists(path)) throw std::runtime_error(path + " is missing: run scripts/fetch-test-photos");
  return path;
}

Image loadPhoto(const std::string& name, const std::string& inputArgs) {
  // Kept losslessly as one RGB frame and decoded as any clip would be.
  std::string path = makeClip(name + ".mkv", inputArgs + " -frames:v 1 -c:v ffv1 -pix_fmt bgr0");
  return *openFrameSource(openClip(path))->frameAt(0);
}
