#include "support/jpeg_size.h"

#include <turbojpeg.h>

#include <fstream>
#include <iterator>
#include <vector>

std::pair<int, int> jpegSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
  tjhandle handle = tjInitDecompress();
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  int status = tjDecompressHeader3(handle, bytes.data(), bytes.size(), &width, &height, &subsampling, &colorspace);
  tjDestroy(handle);
  return status == 0 ? std::make_pair(width, height) : std::make_pair(0, 0);
}
