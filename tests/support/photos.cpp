#include "support/photos.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "support/clips.h"

std::string samplePhoto(const std::string& file) {
  std::string path = "/usr/lib/python3/dist-packages/skimage/data/" + file;
  if (!std::filesystem::exists(path))
    throw std::runtime_error(path + " is missing: install the Debian package python3-skimage");
  return path;
}

Image loadPhoto(const std::string& name, const std::string& inputArgs) {
  std::string path = makeClip(name + ".ppm", inputArgs + " -frames:v 1 -pix_fmt rgb24 -c:v ppm");
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maximum = 0;
  Image image;
  in >> magic >> image.width >> image.height >> maximum;
  in.get();
  if (magic != "P6" || maximum != 255 || image.width <= 0 || image.height <= 0)
    throw std::runtime_error(path + " is not an 8-bit PPM picture");
  image.rgb.resize(size_t(image.width) * size_t(image.height) * 3);
  in.read(reinterpret_cast<char*>(image.rgb.data()), std::streamsize(image.rgb.size()));
  if (!in) throw std::runtime_error(path + " is truncated");
  return image;
}
