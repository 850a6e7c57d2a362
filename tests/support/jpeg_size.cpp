#include "support/jpeg_size.h"

#include <turbojpeg.h>

#include "support/clips.h"

std::tuple<int, int, int, int> jpegHeader(const std::string& path) {
  const std::string bytes = bytesOf(path);
  tjhandle handle = tjInitDecompress();
  int width = 0, height = 0, subsampling = 0, colourspace = 0;
  const int status = tjDecompressHeader3(handle, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                         &width, &height, &subsampling, &colourspace);
  tjDestroy(handle);
  return status == 0 ? std::tuple(width, height, subsampling, colourspace) : std::tuple(0, 0, 0, 0);
}

std::pair<int, int> jpegSize(const std::string& path) {
  const auto [width, height, subsampling, colourspace] = jpegHeader(path);
  return {width, height};
}
