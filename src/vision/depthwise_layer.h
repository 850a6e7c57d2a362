#pragma once

// OpenCV 4.6 runs a 5 × 5 depthwise convolution on its general path, about
// twenty times slower than a 3 × 3 one, and the PP-OCR networks' eight of
// them took about a quarter of the CTC recogniser's time; this layer does
// the same sums about four times faster. The networks are
// prepared with those convolutions as nodes of this type (withDepthwiseNodes
// in onnx_depthwise.h), and the object detector's are built as such layers
// (buildNet in tfjs_graph.h): strides of 1 or 2 ("stride_h", "stride_w"),
// padding 2 on every side or, with "pad_mode" "SAME", as TensorFlow pads,
// the C × 1 × 5 × 5 weights and optionally C biases as constant inputs (the
// layer's blobs); either way a side of n gives (n − 1) / stride + 1
// outputs. registerDepthwiseLayer gives OpenCV the layer that computes them.
inline constexpr const char* kDepthwiseLayer = "StillpickDepthwise5x5";

// Whether the layer computes a depthwise convolution (one output channel
// per input channel) with this kernel, these strides and these dilations.
constexpr bool depthwiseLayerComputes(int kernelHeight, int kernelWidth, int strideY, int strideX, int dilationY,
                                      int dilationX) {
  return kernelHeight == 5 && kernelWidth == 5 && (strideY == 1 || strideY == 2) && (strideX == 1 || strideX == 2) &&
         dilationY == 1 && dilationX == 1;
}

// Registers the layer with OpenCV's DNN module, once in a process; later
// calls do nothing. Networks holding such nodes load only after it.
void registerDepthwiseLayer();
