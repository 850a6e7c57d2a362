#pragma once
#include <string>

// Returns the ONNX model `model` with every 5 × 5 depthwise convolution that
// the layer of depthwise_layer.h computes (padding 2 on every side, no
// dilation, strides of 1 or 2, constant weights) made a node of that layer's
// type, its strides as "stride_h" and "stride_w"; other nodes are left as
// they are. Throws Fail when the model cannot be parsed.
std::string withDepthwiseNodes(const std::string& model);
