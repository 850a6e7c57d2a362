// Rewrites a PP-OCR network, once at build time, into the form OpenCV 4.6's
// ONNX importer reads: Clip bounds as attributes, 5 x 5 depthwise
// convolutions as nodes of stillpick's own layer for them, hard-swish chains
// and per-channel products as the layers OpenCV runs fast and, given a fixed
// input size, the input shape pinned and its per-channel constants tiled.
// Usage: stillpick_prepare_model IN OUT [HEIGHT WIDTH STEPS]
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/fail.h"
#include "vision/onnx_clip_rewrite.h"
#include "vision/onnx_depthwise.h"
#include "vision/onnx_elementwise.h"
#include "vision/onnx_fixed_input.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 6) {
    std::fprintf(stderr, "usage: %s IN OUT [HEIGHT WIDTH STEPS]\n", argv[0]);
    return 2;
  }
  try {
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) throw Fail(std::string("cannot read ") + argv[1]);
    std::string model = withFastElementwiseNodes(withDepthwiseNodes(clipBoundsAsAttributes(bytes)));
    if (argc == 6)
      model = withFixedInput(model, {1, 3, std::stoll(argv[3]), std::stoll(argv[4])}, std::stoll(argv[5]));
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(model.data(), static_cast<std::streamsize>(model.size()));
    if (!out.good()) throw Fail(std::string("cannot write ") + argv[2]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
    return 1;
  }
  return 0;
}
