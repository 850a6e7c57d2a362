#pragma once
#include <cstdint>
#include <span>
#include <string_view>

// The model files linked into the binary at build time.
std::span<const uint8_t> centernetGraph();      // centernet.json: TensorFlow.js graph of the object detector
std::span<const uint8_t> centernetWeights();    // centernet.bin: its float16 weights
std::span<const uint8_t> faceDetectorGraph();    // blazeface-back.json: TensorFlow.js graph of the face detector
std::span<const uint8_t> faceDetectorWeights();  // blazeface-back.bin: its weights
std::span<const uint8_t> textDetectorOnnx();    // text-line detector (PP-OCRv4), ready for OpenCV
// Text-line recogniser (PP-OCRv4, CTC) for input 192 pixels wide and 48
// tall, ready for OpenCV.
std::span<const uint8_t> textRecogniserOnnx();
std::string_view textRecogniserKeys();  // ppocr_keys_v1.txt: its symbols, one per line
// English words, lower-case ASCII letters, one a line in byte order.
std::string_view englishWords();
