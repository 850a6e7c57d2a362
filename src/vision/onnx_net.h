#pragma once
#include <cstdint>
#include <opencv2/dnn.hpp>
#include <span>
#include <string>

// The ONNX network `model` loaded for OpenCV's own CPU backend, with the
// 5 × 5 depthwise layer of depthwise_layer.h and the hard-swish layer of
// hard_swish_layer.h registered. Throws Fail
// "loading the WHAT failed: ..." (or "WHAT: the model did not load") when it
// cannot be loaded; running out of memory stays std::bad_alloc.
cv::dnn::Net onnxNet(std::span<const uint8_t> model, const std::string& what);
