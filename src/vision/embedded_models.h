#pragma once
#include <cstdint>
#include <span>

// The model files linked into the binary at build time.
std::span<const uint8_t> centernetGraph();      // centernet.json: TensorFlow.js graph of the object detector
std::span<const uint8_t> centernetWeights();    // centernet.bin: its float16 weights
std::span<const uint8_t> textDetectorOnnx();    // ch_PP-OCRv4_det_infer.onnx: text-line detector
