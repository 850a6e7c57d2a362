#pragma once
#include <string>

// OpenCV 4.6 imports a PP-OCR network's hard-swish as four layers (x + 3,
// clip to 0..6, x times that, over 6), each a pass over the whole tensor,
// and a product with a per-channel tensor (a squeeze-and-excitation
// block's gate) as an element-wise product that broadcasts slowly: at the
// text detector's size the gates alone took about a sixth of a pass.
// Returns the ONNX model `model` with each such hard-swish chain made one
// node of the layer of hard_swish_layer.h and each such product a node of
// OpenCV's own Scale layer, which multiplies by per-channel factors
// directly. A tensor is taken for per-channel when it comes from a
// GlobalAveragePool through 1 x 1 convolutions and element-wise activations
// (as in PP-OCR's gates, with one factor for each channel of the other
// tensor). Other nodes, and chains whose intermediate results are read
// elsewhere, are left as they are; Constant nodes left without a reader are
// removed. Throws Fail when the model cannot be parsed.
std::string withFastElementwiseNodes(const std::string& model);
